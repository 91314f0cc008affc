// The game's log hook: errors pop up as a message box while the console is
// hidden; with the console open they are only listed there. The boxes that
// errors and scripts open share one budget.
#include "core/zCore.h"
#include "game/shell/frmLog.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"

using namespace zun;

namespace tarv {

namespace {

// An error that comes again within this time of its last coming shows no new
// box: a mistake made every frame would otherwise open a box every frame.
// The log still lists it (its repeats counted there).
constexpr uint32_t kBoxQuietMs = 10000;
constexpr size_t kBoxesRemembered = 32;
constexpr uint32_t kBoxMinuteMs = 60000;

// True when the same error text came by lately; notes that it came now.
bool SeenLately(gCharTestModule::BoxState& ioState, const std::string& iText) {
    auto& recent = ioState.Texts;
    const int32_t now = zCore.Ticks;
    for (auto& [text, tick] : recent) {
        if (text != iText) continue;
        const bool lately = uint32_t(now) - uint32_t(tick) < kBoxQuietMs;
        tick = now;
        return lately;
    }
    recent.emplace_back(iText, now);
    if (recent.size() > kBoxesRemembered) recent.pop_front();
    return false;
}

// The box's text: each value of the line on a line of its own, and where a
// value shows a box more than the line holds (a reason the stated form of
// the line has no place for), that.
std::string BoxText(const std::string& iText, const std::vector<LogValue>& iEntry) {
    std::vector<std::string> lines(1);
    for (char c : iText) {
        if (c == '\t') lines.emplace_back();
        else lines.back() += c;
    }
    std::vector<const LogValue*> shown;
    for (const LogValue& v : iEntry)
        if (v.HasText()) shown.push_back(&v);
    if (shown.size() == lines.size()) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (std::string s = shown[i]->Shown(); s != shown[i]->Text()) lines[i] = std::move(s);
    }
    std::string text;
    text.reserve(iText.size() + 16);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace

bool gCharTestModule::TakeBox() {
    auto& shown = Boxes.Shown;
    const int32_t now = zCore.Ticks;
    while (!shown.empty() && uint32_t(now) - uint32_t(shown.front()) >= kBoxMinuteMs) shown.pop_front();
    if (shown.size() >= kBoxesPerMinute) {
        if (!Boxes.Holding) {
            Boxes.Holding = true;
            Log("WARN", "Boxes", "Too many boxes to show: the next ones are only logged for a while");
        }
        return false;
    }
    Boxes.Holding = false;
    shown.push_back(now);
    return true;
}

bool gCharTestModule::ShowErrorBox(const std::string& iText, int32_t iStyle, const std::string& iTitle) {
    if (!TakeBox()) return false;
    ShowMessageBox(iText, iStyle, iTitle);
    return true;
}

int32_t gCharTestModule::ShowScriptMessageBox(const std::string& iText, const std::string& iTitle, int32_t iStyle) {
    if (TakeBox()) return ShowMessageBox(iText, iStyle, iTitle);
    Log("INF", "Box not shown", iTitle.empty() ? gProgramTitle : iTitle, iText);
    return CancelAnswer(iStyle);
}

std::string gCharTestModule::ShowScriptInputBox(const std::string& iPrompt, const std::string& iTitle) {
    if (TakeBox()) return ShowInputBox(iPrompt, iTitle);
    Log("INF", "Box not shown", iTitle.empty() ? gProgramTitle : iTitle, iPrompt);
    return "";
}

bool gCharTestModule::OnLogEntry(const std::string& iText, const std::vector<LogValue>& iEntry) {
    if (frmLog.Visible()) return false;
    if (iEntry.empty() || !iEntry[0].HasText() || iEntry[0].Text() != "ERR") return false;
    // A box that itself logs an error must not open another one.
    static bool showing = false;
    if (showing) return false;
    const std::string text = BoxText(iText, iEntry);
    if (SeenLately(Boxes, text)) return false;
    struct Guard {
        Guard() { showing = true; }
        ~Guard() { showing = false; }
    } guard;
    ShowErrorBox(text, MsgBoxStyle::Critical);
    return false;
}

}  // namespace tarv
