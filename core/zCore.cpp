#include "core/zCore.h"

#include <langinfo.h>
#include <locale.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "core/zFileSystem.h"
#include "core/zHostFile.h"

namespace zun {

zCoreState zCore;
CoreHooks gCoreHooks;
std::function<std::vector<LogValue>()> gLogPlace;

namespace {

// A value longer than this is cut, with its full size stated: one line must
// stay readable in a message box and small in the log file.
constexpr size_t kLogValueMax = 1000;

}  // namespace

// Escaping only lengthens a text, so its first kLogValueMax characters are
// all a line can show of it.
LogValue::LogValue(std::string_view s) : v_(std::string(s.substr(0, kLogValueMax))), size_(s.size()) {}

size_t LogValue::FullSize() const { return v_.index() == 5 ? size_ : Text().size(); }

LogValue LogValue::Showing(std::string_view iText, std::string_view iShown) {
    LogValue v(iText);
    v.shown_ = std::string(iShown.substr(0, kLogValueMax));
    return v;
}

std::string LogValue::Shown() const { return shown_.empty() ? Text() : shown_; }

std::string LogValue::Text() const {
    switch (v_.index()) {
        case 1: return FormatBool(std::get<bool>(v_));
        case 2: return FormatLong(std::get<int64_t>(v_));
        case 3: return FormatDouble(std::get<double>(v_));
        case 4: return FormatSingle(std::get<float>(v_));
        case 5: return std::get<std::string>(v_);
        default: return "";
    }
}

namespace {

// One place the log is written to, with what it holds: for debug.log, which
// lasts from run to run, the file's own size counts too.
struct LogSink {
    int Fd = -1;
    int64_t Written = 0;
    int64_t Unwritten = 0;  // lines past the budget
    bool Spent = false;
    // The budget line is in the file already: past the budget nothing at all
    // is written, not even the count at the end.
    bool Quiet = false;
};
LogSink gStderrSink{2};
LogSink gFileSink;
// The debug log's descriptor is opened, closed and written on the main
// thread and written by the last word from another: each holds this.
std::mutex gFileMutex;

constexpr std::string_view kBudgetNote = "LOG\tLog budget spent\t";
// Room kept below the budget for the budget line and the count after it, so
// that a file that fills stays within its budget.
constexpr int64_t kBudgetNoteRoom = 256;

void WriteToSink(LogSink& s, const std::string& line, const char* end) {
    if (s.Fd < 0) return;
    if (s.Spent) {
        ++s.Unwritten;
        return;
    }
    std::string out = line + end;
    if (s.Written + int64_t(out.size()) + kBudgetNoteRoom > zCore.LogSinkBudget) {
        s.Spent = true;
        s.Unwritten = 1;
        if (s.Quiet) return;
        out = std::string(kBudgetNote) + FormatLong(int64_t(s.Written)) +
              " bytes written here; further lines are counted, not written" + end;
    }
    s.Written += int64_t(out.size());
    WriteHostDescriptor(s.Fd, out.data(), out.size());
}

void WriteUnwritten(LogSink& s, const char* end) {
    if (s.Fd < 0 || s.Unwritten == 0 || s.Quiet) return;
    const std::string out = "LOG\tLines past the log budget, not written\t" + FormatLong(s.Unwritten) + end;
    s.Unwritten = 0;
    s.Written += int64_t(out.size());
    WriteHostDescriptor(s.Fd, out.data(), out.size());
}

void CloseDebugLog() {
    std::lock_guard<std::mutex> lock(gFileMutex);
    if (gFileSink.Fd >= 0) ::close(gFileSink.Fd);
    gFileSink = LogSink{};
    zCore.DebugToFile = false;
}

// Opens debug.log for the run when it exists: only a plain file of one name
// in the program folder, never a link nor a FIFO. "" when it is open or not
// there, else why it was refused.
std::string OpenDebugLog() {
    CloseDebugLog();
    const std::string host = ToHostPath(zCore.DebugLogPath);
    if (!StatHostEntry(host).Exists) return "";
    std::string why;
    const int fd = OpenHostLogFile(host, why);
    if (fd < 0) return why;
    // What earlier runs left counts against the budget; a file whose budget
    // line is already written takes nothing more.
    int64_t size = 0;
    std::string tail;
    ReadHostFileEnd(fd, kBudgetNoteRoom * 2, size, tail);
    std::lock_guard<std::mutex> lock(gFileMutex);
    gFileSink.Fd = fd;
    gFileSink.Written = size;
    gFileSink.Quiet = tail.find(kBudgetNote) != std::string::npos;
    gFileSink.Spent = gFileSink.Quiet;
    zCore.DebugToFile = true;
    return "";
}

constexpr std::string_view kDroppedNote = "LOG\tOlder lines dropped from this view\t";

// Keeps the newest half of the limit, cut at a line end, behind a first line
// that counts every line dropped so far.
void BoundLogText() {
    std::string& t = zCore.LogText;
    if (t.size() <= zCore.LogTextLimit) return;
    size_t cut = t.find("\r\n", t.size() - zCore.LogTextLimit / 2);
    cut = cut == std::string::npos ? t.size() : cut + 2;
    int64_t lines = 0;
    for (size_t p = t.find("\r\n"); p != std::string::npos && p < cut; p = t.find("\r\n", p + 2)) ++lines;
    // The note of an earlier drop is no line of the log.
    if (t.compare(0, kDroppedNote.size(), kDroppedNote) == 0) --lines;
    zCore.LogLinesDropped += lines;
    t = std::string(kDroppedNote) + FormatLong(zCore.LogLinesDropped) + "\r\n" + t.substr(cut);
}

}  // namespace

namespace {

// Appends one value (the kept start `v` of a text of iFullSize bytes):
// control characters shown escaped, so that no value can end the line or
// forge the TAB between two values; cut past kLogValueMax.
void AppendValue(std::string& line, const std::string& v, size_t iFullSize) {
    static const char kHex[] = "0123456789ABCDEF";
    const size_t start = line.size();
    size_t i = 0;
    for (; i < v.size() && line.size() - start < kLogValueMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(v[i]);
        switch (c) {
            case 0: line += "\\0"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    line += "\\x";
                    line += kHex[c >> 4];
                    line += kHex[c & 15];
                } else {
                    line += char(c);
                }
        }
    }
    if (i < v.size() || iFullSize > v.size()) line += "... (" + FormatLong(int64_t(iFullSize)) + " bytes)";
}

// The last line written and how often it came again since; the repeats are
// counted, not written, and the count is written when another line comes or
// once a frame while they go on, so an error repeated without end costs a
// line a frame instead of a line (and a box) each time.
struct RepeatState {
    std::string Last;
    bool HasLast = false;
    int64_t Repeats = 0;
    int32_t Frame = 0;  // frame of the last line or count written
};
RepeatState gRepeat;

void WriteLine(const std::string& line, const std::vector<LogValue>& values) {
    try {
        zCore.LogText += line;
        zCore.LogText += "\r\n";
        BoundLogText();
    } catch (...) {
    }
    // Before the hook, whose message boxes log lines of their own.
    if (zCore.LogToStderr || std::getenv("ZUN_LOG_STDERR")) {
        try {
            WriteToSink(gStderrSink, Cp1252ToUtf8(line), "\n");
        } catch (...) {
        }
    }
    if (gCoreHooks.OnLogEntry) {
        // A copy: the hook may log again, or replace itself.
        auto hook = gCoreHooks.OnLogEntry;
        try {
            hook(line, values);
        } catch (...) {
        }
    }
    if (zCore.DebugToFile) {
        try {
            std::lock_guard<std::mutex> lock(gFileMutex);
            WriteToSink(gFileSink, line, "\r\n");
        } catch (...) {
        }
    }
}

// An entry's values joined by TAB into oLine (what is joined stays there
// when joining fails).
void JoinValues(const std::vector<LogValue>& values, std::string& oLine) {
    for (const auto& v : values) {
        if (!v.HasText()) continue;
        AppendValue(oLine, v.Text(), v.FullSize());
        oLine += '\t';
    }
    if (!oLine.empty()) oLine.pop_back();
}

// The place line of the error just written. It is no line of its own for the
// count of repeats: the error's repeats are still counted as such.
void WritePlace() {
    std::vector<LogValue> place;
    std::string line;
    try {
        place = gLogPlace();
        JoinValues(place, line);
    } catch (...) {
        return;
    }
    if (!line.empty()) WriteLine(line, place);
}

void WriteRepeats() {
    if (gRepeat.Repeats == 0) return;
    const std::string times = FormatLong(gRepeat.Repeats) + (gRepeat.Repeats == 1 ? " time" : " times");
    gRepeat.Repeats = 0;
    gRepeat.Frame = zCore.FrameCounter;
    WriteLine("LOG\tLast line repeated\t" + times, {LogValue("LOG"), LogValue("Last line repeated"), LogValue(times)});
}

}  // namespace

void LogValues(const std::vector<LogValue>& values) {
    std::string line;
    try {
        JoinValues(values, line);
    } catch (...) {
    }
    if (zCore.CountRepeats && gRepeat.HasLast && line == gRepeat.Last) {
        ++gRepeat.Repeats;
        if (gRepeat.Frame != zCore.FrameCounter) WriteRepeats();
        return;
    }
    WriteRepeats();
    // Set before the line goes out: the hook may log lines of its own.
    try {
        gRepeat.Last = line;
        gRepeat.HasLast = true;
    } catch (...) {
        gRepeat.HasLast = false;
    }
    gRepeat.Frame = zCore.FrameCounter;
    WriteLine(line, values);
    if (gLogPlace && !values.empty() && values[0].HasText() && values[0].Text() == "ERR") WritePlace();
}

void LogContentWarning(const std::string& iProc, const std::string& iText) {
    // A chunk full of such faults is told a bounded number of times.
    constexpr size_t kMaxHeld = 64;
    if (auto* held = zCore.HeldContentWarnings) {
        if (held->size() < kMaxHeld) held->emplace_back(iProc, iText);
        return;
    }
    Log("WARN", iProc, iText);
}

void LogTrapped(const std::string& proc, const std::string& description) { Log("ERR", proc, description); }

std::string GetLocaleString(int32_t Item) {
    nl_item item;
    if (Item == 22) item = MON_DECIMAL_POINT;
    else if (Item == 23) item = MON_THOUSANDS_SEP;
    else return "";
    locale_t loc = newlocale(LC_MONETARY_MASK, "", (locale_t)0);
    if (loc == (locale_t)0) return "";
    std::string s = Utf8ToCp1252(nl_langinfo_l(item, loc));
    freelocale(loc);
    return s;
}

std::string GetDXErrorText(int32_t) { return ""; }

int32_t CheckSystemFiles(bool) {
    // zlib is linked into the program, so the one system file can never be missing.
    return zlibVersion() != nullptr ? 0 : 1;
}

int32_t Core_Start() {
    const char* proc = "ZUN_Initialize";
    zCore.CurrentProc = proc;
    // A new run: standard error starts its budget afresh (debug.log counts
    // what it holds when it is opened).
    gStderrSink = LogSink{2};
    SkipOnFailure(proc, [] {
        zCore.Ticks = GetTickCount();
        zCore.FrameCounter = 0;
    });
    SkipOnFailure(proc, [] { SeedRandomFromClock(); });
    SkipOnFailure(proc, [] {
        // An empty separator (the C locale has none) would break every
        // number <-> text conversion, so fall back to the usual ones.
        zCore.DecimalSeparator = GetLocaleString(22);
        zCore.ThousandSeparator = GetLocaleString(23);
        if (zCore.DecimalSeparator.empty()) zCore.DecimalSeparator = ".";
        if (zCore.ThousandSeparator.empty()) zCore.ThousandSeparator = ",";
        if (const char* sep = std::getenv("ZUN_DECIMAL_SEPARATOR"); sep && *sep) zCore.DecimalSeparator = sep;
    });
    SkipOnFailure(proc, [] { FileSystem_Initialize(); });
    std::string refused;
    SkipOnFailure(proc, [&] {
        zCore.DebugLogPath = zFileSystem.AppPath + "debug.log";
        refused = OpenDebugLog();
    });
    Log(std::string("[ZUN ") + ZUN_VERSION + "]");
    // The player is told why the log file stays empty.
    if (!refused.empty()) Log("WARN", proc, "Log file refused: " + refused, "<" + zCore.DebugLogPath + ">");
    if (zCore.DebugToFile && gFileSink.Quiet)
        Log("WARN", proc, "Log file full: nothing more is written to it", "<" + zCore.DebugLogPath + ">");
    int32_t missing = 0;
    SkipOnFailure(proc, [&] {
        missing = CheckSystemFiles(false);
        if (missing > 0) Log("ERR", "Missing system files");
    });
    return missing;
}

void Core_Release() {
    WriteRepeats();
    WriteUnwritten(gStderrSink, "\n");
    std::lock_guard<std::mutex> lock(gFileMutex);
    if (zCore.DebugToFile) WriteUnwritten(gFileSink, "\r\n");
}

void Core_Reset() {
    // A count still open would be lost with the run.
    Core_Release();
    gRepeat = RepeatState{};
    zCore.Initialized = false;
    CloseDebugLog();
    zCore.DirectX = false;
}

void LogLastWord(const std::string& line) {
    const std::string text = Cp1252ToUtf8(line) + "\n";
    WriteHostDescriptor(2, text.data(), text.size());
    // The file's budget holds for the last word too: a run stopped again and
    // again cannot grow it.
    std::lock_guard<std::mutex> lock(gFileMutex);
    WriteToSink(gFileSink, line, "\r\n");
}

}  // namespace zun
