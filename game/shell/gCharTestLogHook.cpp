// The game's log hook: errors pop up as a message box while the console is
// hidden; with the console open they are only listed there.
#include <deque>

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

struct BoxedError {
    std::string Text;
    int32_t Tick;
};

// True when the same error text came by lately; notes that it came now.
bool SeenLately(const std::string& iText) {
    static std::deque<BoxedError> recent;
    const int32_t now = zCore.Ticks;
    for (auto& e : recent) {
        if (e.Text != iText) continue;
        const bool lately = uint32_t(now) - uint32_t(e.Tick) < kBoxQuietMs;
        e.Tick = now;
        return lately;
    }
    recent.push_back({iText, now});
    if (recent.size() > kBoxesRemembered) recent.pop_front();
    return false;
}

}  // namespace

bool gCharTestModule::OnLogEntry(const std::string& iText, const std::vector<LogValue>& iEntry) {
    if (frmLog.Visible()) return false;
    if (iEntry.empty() || !iEntry[0].HasText() || iEntry[0].Text() != "ERR") return false;
    // A box that itself logs an error must not open another one.
    static bool showing = false;
    if (showing) return false;
    if (SeenLately(iText)) return false;
    std::string text;
    text.reserve(iText.size() + 16);
    for (char c : iText) {
        if (c == '\t') text += "\r\n";
        else text += c;
    }
    struct Guard {
        Guard() { showing = true; }
        ~Guard() { showing = false; }
    } guard;
    ShowMessageBox(text, MsgBoxStyle::Critical);
    return false;
}

}  // namespace tarv
