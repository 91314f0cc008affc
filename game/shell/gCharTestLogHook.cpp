// The game's log hook: errors pop up as a message box while the console is
// hidden; with the console open they are only listed there.
#include "core/zCore.h"
#include "game/shell/frmLog.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"

using namespace zun;

namespace tarv {

bool gCharTestModule::OnLogEntry(const std::string& iText, const std::vector<LogValue>& iEntry) {
    if (frmLog.Visible()) return false;
    if (iEntry.empty() || !iEntry[0].HasText() || iEntry[0].Text() != "ERR") return false;
    // A box that itself logs an error must not open another one.
    static bool showing = false;
    if (showing) return false;
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
