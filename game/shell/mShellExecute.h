// Starting other programs: the script compiler before the game starts (the
// game waits for it and reads how it ended) and the desktop's opener for a
// web address (not waited for). No shell is involved: the program gets its
// arguments as given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv::mShellExecute {

// Runs File (a host path) in the folder Folder (a host path; empty = the
// current one) with Parameters as its one argument (an empty string gives no
// argument) and waits until it ends. True when it was started and has ended;
// oExitCode then holds its exit status (128 + the signal number when a signal
// ended it). False when it could not be started. hWnd and ShowCmd are kept
// for the callers' sake; no window is shown either way.
bool ShellExecuteWait(int32_t hWnd, const std::string& File, const std::string& Parameters,
                      const std::string& Folder, int32_t ShowCmd, int32_t* oExitCode = nullptr);
// The same with any number of arguments, each handed over as it is. With
// oOutput, what the program writes to its standard output and error output
// is kept there (its first kMaxOutput bytes) instead of reaching ours.
bool ShellExecuteWait(int32_t hWnd, const std::string& File, const std::vector<std::string>& Arguments,
                      const std::string& Folder, int32_t ShowCmd, int32_t* oExitCode = nullptr,
                      std::string* oOutput = nullptr);
inline constexpr size_t kMaxOutput = 64 * 1024;

// Hands Target (UTF-8) to "xdg-open" and returns at once; the opener runs
// detached from the game. False when no opener is found or it cannot start.
bool ShellOpen(const std::string& Target);

// The first executable of that name on PATH, or "" when there is none.
std::string FindOnPath(const std::string& Name);

}  // namespace tarv::mShellExecute
