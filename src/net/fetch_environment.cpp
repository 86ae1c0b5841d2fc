#include "net/fetch_environment.h"

namespace wg {

FetchEnvironment& DefaultFetchEnvironment() {
    static FetchEnvironment environment;
    return environment;
}

}  // namespace wg
