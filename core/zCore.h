// Program-wide framework state, the log and the trap convention.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "core/zRuntime.h"

namespace zun {

class iChunk;

inline constexpr const char* ZUN_VERSION = "1.3.1";

struct zCoreState {
    bool Initialized = false;
    std::string CurrentProc;
    int32_t LastError = 0;
    std::string LogText;  // every line followed by CRLF; the newest lines only, see LogTextLimit
    // Past this size the oldest lines leave LogText, which then starts with a
    // line saying how many have gone; the debug file still gets every line.
    size_t LogTextLimit = size_t(4) << 20;
    int64_t LogLinesDropped = 0;
    // The same line logged again is counted instead of written (the count
    // follows when another line comes, and once a frame while the repeats go
    // on). The program switches it on; a tool that reads every line leaves it off.
    bool CountRepeats = false;
    // Keys of the notes LogOnce has written in this run.
    std::unordered_set<std::string> LoggedOnce;
    bool DebugToFile = false;  // debug.log is open: it existed at start-up and is a plain file
    std::string DebugLogPath;
    // The log also goes to standard error (the program's own runs; or with
    // ZUN_LOG_STDERR set).
    bool LogToStderr = false;
    // What each place the log goes may hold: standard error takes this much
    // a run; debug.log, which lasts from run to run, this much in all, what
    // earlier runs wrote included. Past it one line says so (once in the
    // file's life) and further lines are counted, not written: a script that
    // logs without end cannot fill the disk, in one run or in many. 64 MB is
    // thousands of times what a normal run writes (the demo's start writes
    // 2 KB) and holds three hours of an error repeated every frame (a line of
    // a hundred bytes a frame at 60 frames a second).
    int64_t LogSinkBudget = int64_t(64) << 20;
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::vector<std::shared_ptr<iChunk>> Classes;  // the class registry, in order of registration
    int32_t Ticks = 0;
    int32_t FrameCounter = 0;
    bool DirectX = false;  // the platform root object exists
    // While a chunk is read (zFile), the warnings about what it holds, which
    // are told once the chunk's name is known; null otherwise.
    std::vector<std::pair<std::string, std::string>>* HeldContentWarnings = nullptr;
};
extern zCoreState zCore;

// One value of a log entry. An object (anything without a text form) is kept as
// "none" and skipped when the line is built. Of a text only the start that a
// line shows is kept, with the text's full size: a script can hand any text
// to a function that logs it.
class LogValue {
public:
    LogValue() = default;
    LogValue(const char* s) : LogValue(std::string_view(s ? s : "")) {}
    LogValue(const std::string& s) : LogValue(std::string_view(s)) {}
    LogValue(std::string_view s);
    LogValue(bool b) : v_(b) {}
    LogValue(int v) : v_(int64_t(v)) {}
    LogValue(long v) : v_(int64_t(v)) {}
    LogValue(long long v) : v_(int64_t(v)) {}
    LogValue(unsigned v) : v_(int64_t(v)) {}
    LogValue(unsigned long v) : v_(int64_t(v)) {}
    LogValue(unsigned char v) : v_(int64_t(v)) {}
    LogValue(short v) : v_(int64_t(v)) {}
    LogValue(float v) : v_(v) {}
    LogValue(double v) : v_(v) {}
    template <class T>
    LogValue(const std::shared_ptr<T>&) {}
    static LogValue None() { return LogValue(); }
    // A value the line writes as iText while a message box shows iShown in
    // its place: a stated line keeps its form (an empty place for the
    // graphics library's error text) and the box still tells the reason.
    static LogValue Showing(std::string_view iText, std::string_view iShown);

    bool HasText() const { return v_.index() != 0; }
    std::string Text() const;
    // What a message box shows of the value: Showing's iShown when it gave
    // one, else its Text.
    std::string Shown() const;
    // The size of the whole text the value was made from (its Text's size for
    // anything but a text).
    size_t FullSize() const;

private:
    std::variant<std::monostate, bool, int64_t, double, float, std::string> v_;
    size_t size_ = 0;
    std::string shown_;
};

// Hooks through which the framework calls the game; empty slots do nothing.
struct CoreHooks {
    std::function<void(const std::string& line, const std::vector<LogValue>& values)> OnLogEntry;
};
extern CoreHooks gCoreHooks;

// Where an "ERR" line came from when its own values cannot say (the script
// engine: the script function running, which a maker can search for): the
// values of a line written right after it, or none. Asked once for each error
// line written; a line the log only counts as a repeat gets none.
extern std::function<std::vector<LogValue>()> gLogPlace;

// Log(level, subject, ...): values joined by TAB, appended to zCore.LogText,
// handed to the log hook, then appended to debug.log when that is switched on.
void LogValues(const std::vector<LogValue>& values);
template <class... A>
void Log(A&&... a) {
    LogValues(std::vector<LogValue>{LogValue(std::forward<A>(a))...});
}
// Log, but only the first time iKey comes by in a run: for notes that code
// called many times a frame would otherwise repeat without end.
template <class... A>
void LogOnce(const std::string& iKey, A&&... a) {
    if (zCore.LoggedOnce.insert(iKey).second) Log(std::forward<A>(a)...);
}

// A "WARN" about what a stored object holds (a picture without a file name):
// inside a chunk file's reading it waits for the file and the chunk's name
// and is then logged with both, else it is logged at once.
void LogContentWarning(const std::string& iProc, const std::string& iText);

// Starts the core's own state: ticks, random seed, locale separators, paths,
// the debug-log switch, the header line and the system-file check. Returns
// the number of missing system files, for the caller to tell the user.
int32_t Core_Start();
// The end of a run's log: a count still open, and for each place the log
// budget ran out in, the number of lines not written.
void Core_Release();
// Resets the state for a later start (and closes debug.log).
void Core_Reset();
// The last line of a run that cannot end in order, from any thread: written
// straight to standard error and to the debug log as it is open, never
// opening a file; the log text is left alone, and the file's budget holds.
void LogLastWord(const std::string& line);

int32_t CheckSystemFiles(bool SystemOnly);
constexpr bool InIDE() { return false; }
std::string GetDXErrorText(int32_t ErrorCode);
// Locale items: 22 = monetary decimal separator, 23 = monetary thousands separator.
std::string GetLocaleString(int32_t Item);

// A failure of a procedure that traps: logs "ERR", the procedure's name and the
// description, and gives the procedure's failure value.
void LogTrapped(const std::string& proc, const std::string& description);

// Runs body() as the procedure `proc`: CurrentProc is set on entry, a run-time
// failure is logged as "ERR", proc, description, and `fail` is returned.
template <class R, class F>
R Trap(const char* proc, R fail, F&& body) {
    zCore.CurrentProc = proc;
    try {
        return body();
    } catch (const RuntimeError& e) {
        LogTrapped(proc, e.Description);
    } catch (const std::bad_alloc&) {
        LogTrapped(proc, "Out of memory");
    } catch (const std::exception& e) {
        LogTrapped(proc, e.what());
    }
    return fail;
}

// Runs each step; a failing step is logged and skipped, the next one runs.
template <class F>
void SkipOnFailure(const char* proc, F&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        LogTrapped(proc, e.Description);
    } catch (const std::exception& e) {
        LogTrapped(proc, e.what());
    }
}

}  // namespace zun
