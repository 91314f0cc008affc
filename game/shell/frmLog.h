// The console "Console": the whole log of the run in a multi-line box
// (txtLog) and a one-line command box below it (txtInput). It is drawn over
// the top of the game window; while it has the focus it takes the keys.
// Commands: "exit", "end", "mute", "help".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/shell/gForm.h"

namespace tarv {

class frmLogForm {
public:
    gForm Form;
    // Unloads the main window (the command "end"); empty does nothing.
    std::function<void()> UnloadMain;
    // Font of the texts; 0 takes gCharTest.FontArial.
    int32_t Font = 0;
    // Keys go to the console while it is visible and focused.
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

    // ---- input from the main window (screen pixels); True when taken --------
    bool KeyDown(int32_t iKey, int32_t iShift);
    bool MouseDown(int32_t iButton, float iX, float iY);
    bool MouseWheel(int32_t iSteps, float iX, float iY);

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
    int32_t laidOutW_ = -1, laidOutH_ = -1;
    int32_t FontHandle() const;
    // The place of the console for the current screen size.
    void Place();
    int32_t VisibleLines() const;
};
extern frmLogForm frmLog;

}  // namespace tarv
