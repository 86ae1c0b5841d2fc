// The program files an update swaps, and the stages of the swap. The running
// program is "webgrubbler"; a fetched update waits beside it as
// "webgrubbler2"; the replaced program is kept as "webgrubbler.previous".
//
// The hand-over: the program that fetched an update starts "webgrubbler2 1"
// as it ends. Stage "1" (run by the new program under its waiting name)
// moves "webgrubbler" to "webgrubbler.previous", puts a copy of itself in
// its place and starts "webgrubbler 2". Stage "2" removes "webgrubbler2" and
// goes on as the program. The remaining arguments travel along.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wg {

struct ProgramFiles {
    std::filesystem::path current;   // "webgrubbler"
    std::filesystem::path previous;  // "webgrubbler.previous"
    std::filesystem::path staged;    // "webgrubbler2"
};

// The program files beside `binary`. `binaryIsStaged`: the binary is the
// waiting update itself ("webgrubbler2"), as in stage "1".
ProgramFiles ProgramFilesOf(const std::filesystem::path& binary, bool binaryIsStaged = false);

enum class UpdateStage { None, Replace, Tidy };  // none, "1", "2"

// The stage named by the first argument ("1" or "2").
UpdateStage UpdateStageOf(int argc, char** argv);

// The arguments after the stage (or all of them when there is none).
std::vector<std::string> ArgumentsAfterStage(int argc, char** argv);

// Stage "1": after `settleMs` (the old program is ending), the old program
// becomes the previous one and a copy of the staged one, executable, takes
// its place; a swap that fails half-way puts the old program back. Then the
// program is started with "2" and `args`. Returns the errno of the first file
// operation that failed, 0 when all went well; `*pid` names the started one.
int ReplaceProgram(const ProgramFiles& files, const std::vector<std::string>& args, int settleMs,
                   int* pid = nullptr);

// Stage "2": the staged copy has served; 0 or the errno of its removal.
int RemoveStagedProgram(const ProgramFiles& files);

// The end of a run that fetched an update: starts the staged program with
// "1" and `args`. 0 or the errno of the start.
int HandOverUpdate(const ProgramFiles& files, const std::vector<std::string>& args,
                   int* pid = nullptr);

}  // namespace wg
