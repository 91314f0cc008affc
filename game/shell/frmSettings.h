// The settings dialog "Demo Settings": the drawing switches as check boxes
// and the two volumes as scroll bars, bound to the settings store by their
// tags, four quality presets, Apply / OK / Close and a link to the program's
// documentation. A window of its own beside the game, not modal, so the
// player watches the game change while ticking the boxes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "game/shell/gForm.h"
#include "game/shell/gToolWindow.h"
#include "platform/Window.h"

namespace tarv {

// The eight keys a preset sets, and the four presets' values in that order.
inline constexpr std::array<const char*, 8> kPresetKeys = {"Mirrors",       "Lighting",      "Shadows",
                                                           "MirrorParticles", "MirrorObjects", "SpriteShadows",
                                                           "LightsShadows", "EnableDeco"};
using SettingsPreset = std::array<uint8_t, 8>;
inline constexpr SettingsPreset kPresetMinimum = {0, 0, 0, 0, 0, 0, 0, 0};
inline constexpr SettingsPreset kPresetLow = {0, 1, 1, 0, 1, 0, 0, 0};
inline constexpr SettingsPreset kPresetMedium = {1, 1, 1, 0, 0, 1, 1, 0};
inline constexpr SettingsPreset kPresetHigh = {1, 1, 1, 1, 1, 1, 1, 1};

// The dialog's background (ARGB).
inline constexpr int32_t kSettingsBack = int32_t(0xFF1F2129u);

class frmSettingsForm {
public:
    gForm Form;
    gToolWindow Window;
    // The address the link label shows and opens; empty: the documentation
    // in the program folder.
    std::string LinkAddress;
    // Called by OK after applying (the main window takes the focus back).
    std::function<void()> FocusMain;
    // Called after the link was handed on (the main window is minimised).
    std::function<void()> MinimizeMain;
    // Opens an address and tells whether it was; empty: the desktop's
    // opener (none without a display).
    std::function<bool(const std::string&)> OpenLink;
    // Font of the texts; 0 takes gCharTest.FontArial.
    int32_t Font = 0;
    bool Focused = false;

    bool Loaded() const { return loaded_; }
    bool Visible() const { return loaded_ && visible_; }
    // Loads the dialog when needed and shows it.
    void Show();
    // Runs Form_Unload, then drops the controls.
    void Unload();

    // ---- events ------------------------------------------------------------
    void Form_Load();
    void Form_Unload();
    void chkValues_Click(int16_t Index);
    void scrValues_Change(int16_t Index);
    void chkAutoApply_Click();
    void cmdMinimum_Click() { ApplyPreset(kPresetMinimum); }
    void cmdLow_Click() { ApplyPreset(kPresetLow); }
    void cmdMedium_Click() { ApplyPreset(kPresetMedium); }
    void cmdHigh_Click() { ApplyPreset(kPresetHigh); }
    void cmdOK_Click();
    void cmdApply_Click();
    void cmdCancel_Click() { Unload(); }
    void lblLink_Click();
    void ApplyPreset(const SettingsPreset& iValues);

    // ---- input: the window's own events (window pixels) ---------------------
    // True when the event is this window's; it is then handled.
    bool HandleEvent(const zun::WindowEvent& e);
    bool KeyDown(int32_t iKey, int32_t iShift);
    bool MouseDown(int32_t iButton, float iX, float iY);
    bool MouseMove(int32_t iButton, float iX, float iY);
    bool MouseUp(int32_t iButton, float iX, float iY);

    // Draws the dialog into its window.
    void Render();

    // The control that has the keyboard focus (null for none).
    std::shared_ptr<gFormControl> FocusedControl() const { return focus_.lock(); }
    // Moves the keyboard focus to the next (iStep 1) or previous (-1) control.
    void MoveFocus(int32_t iStep);

private:
    bool loaded_ = false;
    bool visible_ = false;
    // A preset is being shown: check boxes changed by it apply once after.
    bool showingPreset_ = false;
    bool presetChanged_ = false;
    std::weak_ptr<gFormControl> focus_;
    std::shared_ptr<gFormControl> pressed_;
    std::shared_ptr<gFormControl> dragging_;

    void CreateControls();
    bool AutoApply() const;
    int32_t FontHandle() const;
    bool Inside(float iX, float iY) const;
    // A scroll bar's value for a pointer at iX (window pixels).
    void DragTo(gFormControl& iBar, float iX);
};
extern frmSettingsForm frmSettings;

}  // namespace tarv
