// A window's controls as plain data: there is no native dialog toolkit under
// the game, so the settings dialog and the console keep their controls here
// and draw them into the game window themselves. The rules the dialogs rely
// on: a value outside a check box's or scroll bar's range is refused with
// "Invalid property value", a selection outside the list likewise, and setting
// a value raises the control's Click or Change handler only when the value
// really changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarv {

// The error number of a refused property value, as the run-time rules number it.
inline constexpr int kErrInvalidPropertyValue = 380;

class gFormControl {
public:
    // Name and index within a control array (-1 for a single control).
    std::string Name;
    int32_t Index = -1;
    // "CheckBox", "HScrollBar", "VScrollBar", "TextBox", "ListBox",
    // "ComboBox", "CommandButton" or "Label".
    std::string Kind;
    std::string Caption;
    // Binding: "type:key[:default]"; empty = not bound.
    std::string Tag;

    std::string Text;
    // Caret position in Text (a text box) and the length of the selected
    // text that starts there.
    int32_t SelStart = 0;
    int32_t SelLength = 0;
    // Check box: 0 clear, 1 ticked, 2 greyed. Scroll bar: Min..Max.
    int16_t Value = 0;
    int16_t Min = 0, Max = 32767;
    int16_t SmallChange = 1, LargeChange = 1;
    // List entries with their item data; ListIndex -1 = nothing selected.
    std::vector<std::string> Items;
    std::vector<int32_t> ItemData;
    int32_t ListIndex = -1;

    bool Enabled = true;
    bool Visible = true;
    // Place within the form, in screen pixels.
    float Left = 0, Top = 0, Width = 0, Height = 0;

    // Raised by a check box or button press and by a list selection change
    // (Click), by a scroll bar or text change (Change).
    std::function<void(gFormControl&)> Click;
    std::function<void(gFormControl&)> Change;

    // Property setters; a refused value raises and changes nothing.
    void SetValue(double iValue);
    void SetText(const std::string& iText);
    void SetListIndex(int32_t iIndex);
    void AddItem(const std::string& iText, int32_t iItemData = 0);
    // What a user's click does to the control: a check box toggles, a button
    // and a label raise Click.
    void UserClick();

    // Raises one of the two handlers.
    void RaiseEvent(const std::function<void(gFormControl&)>& iHandler);

    bool Contains(float iX, float iY) const {
        return iX >= Left && iX < Left + Width && iY >= Top && iY < Top + Height;
    }
};

class gForm {
public:
    std::string Caption;
    // The control collection, in the order the binding walks it.
    std::vector<std::shared_ptr<gFormControl>> Controls;
    // Place of the form on the screen.
    float Left = 0, Top = 0, Width = 0, Height = 0;

    gFormControl& Add(const std::string& iKind, const std::string& iName, int32_t iIndex, const std::string& iCaption,
                      const std::string& iTag = "");
    // The control of that name (and array index); null when there is none.
    // Shared, so a control stays alive while its own handler unloads the form.
    std::shared_ptr<gFormControl> Find(const std::string& iName, int32_t iIndex = -1) const;
    // The visible, enabled control under a point given relative to the form.
    std::shared_ptr<gFormControl> ControlAt(float iX, float iY) const;
};

// A tag split at ":" into type, key and default; missing parts are empty and
// a type other than "str" takes "0" for an empty default.
struct gControlTag {
    std::string Type, Key, Default;
};
gControlTag SplitControlTag(const std::string& iTag);

}  // namespace tarv
