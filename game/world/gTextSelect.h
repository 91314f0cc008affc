// One message or question on screen: the text typed out in the shell's
// message area together with a list of answer rows below it, each a wrapped
// gTextField. While shown it is the active input controller: digit keys, W,
// S, Space and the mouse pick a row, and the answer calls a script function
// with the chosen row's value. Always held by std::shared_ptr.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/world/gTextField.h"
#include "game/world/iController.h"
#include "script/zScriptArray.h"
#include "script/zScriptObject.h"

namespace zun {
class zSprite;
}

namespace tarv {

class gTextSelect : public iController, public std::enable_shared_from_this<gTextSelect> {
public:
    float x = 0, y = 0;  // top left of the first row
    int32_t W = 0, H = 0;
    float Alpha = 0;     // handed to every row before it is drawn
    float AlphaBG = 0;   // of the highlight box
    std::vector<std::shared_ptr<gTextField>> Options;
    int32_t Selected = 0;  // 1-based; 0 = none
    // Carried for the script functions and the shell.
    std::string Message;
    bool Mirrored = false;
    std::string FaceName;
    std::shared_ptr<zun::zSprite> Face;
    std::string ScriptFunction;
    std::shared_ptr<zun::zScriptObject> ScriptCaller;
    zun::ArrayRef ScriptValues;

    // "#" adds a blank row; "[c]text" colours the row by the marker c (+ blue,
    // - red, = green, ! gold). An empty text adds nothing.
    void AddOption(const std::string& iText, int32_t iValue);
    void SetBounds(float iX, float iY, float iW, float iH);
    void UpdateSize();
    void Render();
    void CheckKeys();
    void CheckMouse();
    // Finishes the typing of the message, or answers with the selected row.
    void MouseDown();

    // iController: every mouse event is taken while the list is active.
    bool MouseDown(float iX, float iY, int16_t iButton) override;
    bool MouseMove(float iX, float iY, int16_t iButton) override { return true; }
    bool MouseUp(float iX, float iY, int16_t iButton) override { return true; }
    void CheckInput() override;

private:
    bool LastBlank = false;  // the row added last was a blank row

    void PlayCursor();
};

}  // namespace tarv
