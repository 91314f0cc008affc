// The program's input box for the script function "inputBox": the prompt,
// a one-line text field that takes typed text, OK and Cancel, in a modal
// window of its own whose caption is the title. Enter answers OK, Escape
// and the window's close box Cancel. OK answers the typed text, Cancel "".
// The field edits as a text box does: Left, Right, Home and End move the
// caret, Backspace and Delete take the character before or after it, typed
// and pasted (Ctrl+V, Shift+Insert) text goes in at it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/shell/gForm.h"
#include "game/shell/gToolWindow.h"
#include "platform/Window.h"

namespace tarv {

// The text field's background (ARGB).
inline constexpr int32_t kInputFieldBack = int32_t(0xFFF4F4F0u);

class frmInputBoxForm {
public:
    gForm Form;
    gToolWindow Window;
    // Font of the texts; 0 takes gCharTest.FontArial.
    int32_t Font = 0;

    // Opens the box; the field starts with iDefault.
    void Show(const std::string& iPrompt, const std::string& iTitle, const std::string& iDefault);
    bool Visible() const { return Window.IsOpen(); }
    // True once OK or Cancel ended it; Answer() is then the answer.
    bool Answered() const { return answered_; }
    const std::string& Answer() const { return answer_; }

    void cmdOK_Click();
    void cmdCancel_Click();

    // True when the event is this window's; it is then handled.
    bool HandleEvent(const zun::WindowEvent& e);
    void KeyDown(int32_t iKey, int32_t iShift);
    // Typed characters (Windows-1252; "?" stands for what it cannot show).
    void TypeText(const std::string& iText);
    void MouseDown(int32_t iButton, float iX, float iY);
    void MouseUp(int32_t iButton, float iX, float iY);

    void Render();

    std::shared_ptr<gFormControl> txtValue() const { return Form.Find("txtValue"); }

    // With a display: shows the box and waits for the answer, drawing it and
    // handing it its events; other windows' input waits until it closes,
    // except that a key let go anywhere is let go in the game at once. A stop
    // signal cancels it. Without a device to draw it with, the answer is ""
    // at once, with a logged warning.
    static std::string Ask(const std::string& iPrompt, const std::string& iTitle, const std::string& iDefault);

private:
    std::vector<std::string> promptLines_;
    std::shared_ptr<gFormControl> pressed_;
    // The first character of the text shown in the field.
    size_t scroll_ = 0;
    bool answered_ = false;
    std::string answer_;
    int32_t FontHandle() const;
    void Finish(bool iOk);
    // Puts text in at the caret (the first line of it, up to the field's
    // length).
    void Insert(const std::string& iText);
};

}  // namespace tarv
