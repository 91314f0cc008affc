// The console "Console": the whole log of the run in a multi-line box
// (txtLog) and a one-line command box below it (txtInput), in a window of its
// own that can be moved and resized. The log can be scrolled, and text marked
// in it with the mouse (or all of it with Ctrl+A) is copied by Ctrl+C.
// Commands: "exit", "end", "mute", "help".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/shell/gForm.h"
#include "game/shell/gToolWindow.h"
#include "platform/Window.h"

namespace tarv {

// The console's size when it opens, and the colour of marked text (ARGB).
inline constexpr int32_t kConsoleW = 640, kConsoleH = 240;
inline constexpr int32_t kConsoleMarked = int32_t(0xFF2F5AA0u);

class frmLogForm {
public:
    gForm Form;
    gToolWindow Window;
    // Unloads the main window (the command "end"); empty does nothing.
    std::function<void()> UnloadMain;
    // Font of the texts; 0 takes gCharTest.FontArial.
    int32_t Font = 0;
    // Keys go to the console while its window has the focus.
    bool Focused = false;
    // Lines scrolled back from the newest one.
    int32_t ScrollBack = 0;

    bool Loaded() const { return loaded_; }
    bool Visible() const { return loaded_ && visible_; }
    // Loads the console when needed and shows it.
    void Show();
    void Unload();

    // ---- events ------------------------------------------------------------
    void Form_Load();
    void Form_Resize();
    void Form_KeyDown(int16_t KeyCode, int16_t Shift);
    void txtInput_KeyPress(int16_t KeyAscii);

    // The log into txtLog, without its final line break, caret at the end.
    void ShowLog();
    // Runs one command as typed (trimmed, compared in lower case).
    void RunCommand(const std::string& iInput);

    // ---- input: the window's own events (window pixels) ---------------------
    // True when the event is this window's; it is then handled.
    bool HandleEvent(const zun::WindowEvent& e);
    bool KeyDown(int32_t iKey, int32_t iShift);
    // Typed characters (Windows-1252) into the command box.
    void TypeText(const std::string& iText);
    bool MouseDown(int32_t iButton, float iX, float iY);
    bool MouseMove(int32_t iButton, float iX, float iY);
    bool MouseUp(int32_t iButton, float iX, float iY);
    bool MouseWheel(int32_t iSteps, float iX, float iY);
    // The marked text of the log onto the clipboard, line ends as "\n".
    void CopySelection();

    // Draws the console into its window.
    void Render();

    std::shared_ptr<gFormControl> txtLog() const { return Form.Find("txtLog"); }
    std::shared_ptr<gFormControl> txtInput() const { return Form.Find("txtInput"); }
    // The lines of txtLog.
    int32_t LineCount() const { return int32_t(lineStarts_.size()); }
    std::string Line(int32_t iIndex) const;

private:
    bool loaded_ = false;
    bool visible_ = false;
    std::vector<size_t> lineStarts_;
    // Marking with the mouse: where the button went down, in txtLog.Text.
    bool marking_ = false;
    int32_t anchor_ = 0;
    int32_t FontHandle() const;
    int32_t VisibleLines() const;
    int32_t FirstShownLine() const;
    // The place in txtLog.Text nearest to a point of the window.
    int32_t TextIndexAt(float iX, float iY) const;
};
extern frmLogForm frmLog;

}  // namespace tarv
