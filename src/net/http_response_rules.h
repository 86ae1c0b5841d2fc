// Rules of the answer shared by the header reader and the transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wg {

class BodySink;
class HttpConnection;
struct HttpAnswer;

// The decimal number at the start of `text` (0 when none; capped at 2^32-1).
std::uint32_t LeadingNumber(std::string_view text);

// 200, 206, 301 and 302 are taken; every other status refuses the answer.
bool AcceptedStatus(int status);

// The URL of a refused answer to `requestName` as the URL error log shows it.
std::string RefusedUrlText(const HttpConnection& connection, std::string_view requestName);

// The absolute URL a Location value names: a value with a ':' as it is, else
// completed with the connection's scheme, host (and port when it is not the
// scheme's own) and, for a relative name, its path.
std::string RedirectTarget(const HttpConnection& connection, std::string_view value);

// The sink's verdict on the answer's announced length: true when it refuses
// the answer (which is then left unread and the connection closed).
bool RefusedByLength(HttpConnection& connection, HttpAnswer& answer, BodySink& sink);

}  // namespace wg
