#include "app/update_stages.h"

#include <cerrno>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"

namespace wg {

namespace fs = std::filesystem;

ProgramFiles ProgramFilesOf(const fs::path& binary, bool binaryIsStaged) {
    std::string name = binary.filename().string();
    if (binaryIsStaged && name.size() > 1 && name.back() == '2') {
        name.pop_back();
    }
    const fs::path dir = binary.parent_path();
    return {dir / name, dir / (name + ".previous"), dir / (name + "2")};
}

UpdateStage UpdateStageOf(int argc, char** argv) {
    if (argc < 2 || argv[1] == nullptr) {
        return UpdateStage::None;
    }
    const std::string_view first = argv[1];
    if (first == "1") {
        return UpdateStage::Replace;
    }
    if (first == "2") {
        return UpdateStage::Tidy;
    }
    return UpdateStage::None;
}

std::vector<std::string> ArgumentsAfterStage(int argc, char** argv) {
    const int first = UpdateStageOf(argc, argv) == UpdateStage::None ? 1 : 2;
    std::vector<std::string> args;
    for (int i = first; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return args;
}

namespace {

// The swap itself: the new program is copied beside the old one first, so
// that the old one is moved away only when its successor is ready, and
// comes back when the successor cannot take its name.
int SwapProgramFiles(const ProgramFiles& files) {
    if (!platform::FileExists(files.staged)) {
        return ENOENT;
    }
    fs::path incoming = files.current;
    incoming += ".incoming";
    if (const int error = platform::CopyFile(files.staged, incoming, true); error != 0) {
        (void)platform::ForceDelete(incoming);
        return error;
    }
    if (const int error = platform::MakeExecutable(incoming); error != 0) {
        (void)platform::ForceDelete(incoming);
        return error;
    }
    if (platform::FileExists(files.previous)) {
        (void)platform::ForceDelete(files.previous);
    }
    const bool hadCurrent = platform::FileExists(files.current);
    if (hadCurrent) {
        if (const int error = platform::MoveFile(files.current, files.previous); error != 0) {
            (void)platform::ForceDelete(incoming);
            return error;
        }
    }
    if (const int error = platform::MoveFile(incoming, files.current); error != 0) {
        if (hadCurrent) {
            (void)platform::MoveFile(files.previous, files.current);
        }
        (void)platform::ForceDelete(incoming);
        return error;
    }
    return 0;
}

std::vector<std::string> WithStage(std::string_view stage, const std::vector<std::string>& args) {
    std::vector<std::string> all;
    all.reserve(args.size() + 1);
    all.emplace_back(stage);
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

}  // namespace

int ReplaceProgram(const ProgramFiles& files, const std::vector<std::string>& args, int settleMs,
                   int* pid) {
    platform::SleepMs(settleMs);
    const int swapError = SwapProgramFiles(files);
    // Whatever became of the swap, the program named "webgrubbler" starts.
    const int startError = platform::StartProgram(files.current, WithStage("2", args), pid);
    return swapError != 0 ? swapError : startError;
}

int RemoveStagedProgram(const ProgramFiles& files) {
    if (!platform::PathExists(files.staged)) {
        return 0;
    }
    return platform::ForceDelete(files.staged);
}

int HandOverUpdate(const ProgramFiles& files, const std::vector<std::string>& args, int* pid) {
    if (!platform::IsExecutable(files.staged)) {
        return ENOENT;
    }
    return platform::StartProgram(files.staged, WithStage("1", args), pid);
}

}  // namespace wg
