#include "game/shell/frmSettings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cmath>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/shell/mOverlayDraw.h"
#include "game/shell/mSettings.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"

using namespace zun;

namespace tarv {

frmSettingsForm frmSettings;

namespace {

// The window's size; the layout below was made with a caption bar of kTitleH
// above it, which the window system now draws.
constexpr float kPanelW = 460, kPanelH = 404, kTitleH = 22;

struct CheckDef {
    const char* Caption;
    const char* Tag;
};
// The check boxes in the order of the control collection.
constexpr CheckDef kChecks[] = {
    {"High quality buffers", "byte:HighQualityBuffers"},
    {"Enable deco objects", "byte:EnableDeco"},
    {"Particle system", "byte:ParticleSystem"},
    {"Particles", "byte:ParticleLights"},
    {"Enable lighting", "byte:Lighting"},
    {"Mirror objects", "byte:MirrorObjects"},
    {"Mirror particles", "byte:MirrorParticles"},
    {"Enable Mirrors", "byte:Mirrors"},
    {"Enable shadows", "byte:Shadows"},
    {"From cursor light", "byte:CursorShadows"},
    {"From map lights", "byte:LightsShadows"},
    {"Sprite shadows", "byte:SpriteShadows"},
    {"Ambient shadows", "byte:AmbientShadows"},
    {"Base shadows", "byte:BaseShadows"},
};

// Windows-1252 texts of the quality note.
const char* const kNoteTitle = "Qualit\xE4tshinweis";
const char* const kNoteText =
    "Die \"High Quality Buffers\" sind f\xFCr die korrekte Darstellung der Schatteneffekte notwendig. Sie sollten "
    "nur dann deaktiviert werden, wenn das Spiel selbst mit \"Low Scenery\" noch immer nicht fl\xFCssig l\xE4uft.";

// A bar refuses a value outside its range; the pointer or key then changes
// nothing. Logged as a warning: an error would pop up a box over the dialog.
void SetBarValue(gFormControl& bar, double value) {
    try {
        bar.SetValue(value);
    } catch (const RuntimeError& e) {
        Log("WARN", "scrValues", e.Description);
    }
}

bool Focusable(const gFormControl& c) {
    return c.Visible && c.Enabled &&
           (c.Kind == "CheckBox" || c.Kind == "HScrollBar" || c.Kind == "CommandButton" ||
            (c.Kind == "Label" && c.Click));
}

int32_t Grey(float v, float a = 1) { return ColorFromComponents(v, v, v, a); }

// The documentation beside the program, as a file address.
std::string DocumentationAddress() {
    static const char* const kHex = "0123456789ABCDEF";
    std::string address = "file://";
    std::error_code ec;
    const std::filesystem::path file = ToHostPath(zFileSystem.AppPath + "README.md");
    // A file address needs the whole path.
    const std::filesystem::path whole = std::filesystem::absolute(file, ec);
    for (unsigned char c : (ec ? file : whole).string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            address += char(c);
        } else {
            address += '%';
            address += kHex[c >> 4];
            address += kHex[c & 15];
        }
    }
    return Utf8ToCp1252(address);
}

}  // namespace

int32_t frmSettingsForm::FontHandle() const { return Font ? Font : gCharTest.FontArial; }

bool frmSettingsForm::AutoApply() const {
    auto c = Form.Find("chkAutoApply");
    return c && c->Value == 1;
}

void frmSettingsForm::Show() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    visible_ = true;
    Focused = true;
    Window.Open(Form.Caption, int32_t(Form.Width), int32_t(Form.Height), false, 0);
}

void frmSettingsForm::Unload() {
    if (!loaded_) return;
    Form_Unload();
    loaded_ = false;
    visible_ = false;
    Focused = false;
    pressed_.reset();
    dragging_.reset();
    focus_.reset();
    Form.Controls.clear();
    Window.Close();
}

void frmSettingsForm::CreateControls() {
    Form = gForm{};
    Form.Caption = "Demo Settings";
    Form.Width = kPanelW;
    Form.Height = kPanelH - kTitleH;
    auto place = [](gFormControl& c, float x, float y, float w, float h) {
        c.Left = x;
        c.Top = y - kTitleH;
        c.Width = w;
        c.Height = h;
    };
    for (int16_t i = 0; i < int16_t(std::size(kChecks)); ++i) {
        gFormControl& c = Form.Add("CheckBox", "chkValues", i, kChecks[i].Caption, kChecks[i].Tag);
        place(c, i < 7 ? 12.0f : 236.0f, 100.0f + float(i % 7) * 20.0f, 212, 18);
        c.Max = 2;
        c.Click = [this, i](gFormControl&) { chkValues_Click(i); };
    }
    const char* const bars[] = {"sng:SoundVolume", "sng:MusicVolume"};
    for (int16_t i = 0; i < 2; ++i) {
        gFormControl& s = Form.Add("HScrollBar", "scrValues", i, "", bars[i]);
        place(s, 12, 268.0f + float(i) * 24.0f, 300, 16);
        s.Min = 0;
        s.Max = 100;
        s.SmallChange = 1;
        s.LargeChange = 20;
        s.Change = [this, i](gFormControl&) { scrValues_Change(i); };
    }
    gFormControl& autoApply = Form.Add("CheckBox", "chkAutoApply", -1, "Apply changes at once");
    place(autoApply, 12, 320, 300, 18);
    autoApply.Max = 2;
    autoApply.Click = [this](gFormControl&) { chkAutoApply_Click(); };

    struct ButtonDef {
        const char* Name;
        const char* Caption;
        float X, Y;
        void (frmSettingsForm::*Handler)();
    };
    const ButtonDef buttons[] = {
        {"cmdMinimum", "OFF", 12, 48, &frmSettingsForm::cmdMinimum_Click},
        {"cmdLow", "Low", 90, 48, &frmSettingsForm::cmdLow_Click},
        {"cmdMedium", "Medium", 168, 48, &frmSettingsForm::cmdMedium_Click},
        {"cmdHigh", "High", 246, 48, &frmSettingsForm::cmdHigh_Click},
        {"cmdOK", "OK", kPanelW - 246, kPanelH - 34, &frmSettingsForm::cmdOK_Click},
        {"cmdApply", "Apply", kPanelW - 166, kPanelH - 34, &frmSettingsForm::cmdApply_Click},
        {"cmdCancel", "Close", kPanelW - 86, kPanelH - 34, &frmSettingsForm::cmdCancel_Click},
    };
    for (const ButtonDef& b : buttons) {
        gFormControl& c = Form.Add("CommandButton", b.Name, -1, b.Caption);
        place(c, b.X, b.Y, 72, 24);
        c.Click = [this, h = b.Handler](gFormControl&) { (this->*h)(); };
    }
    if (LinkAddress.empty()) LinkAddress = DocumentationAddress();
    gFormControl& link = Form.Add("Label", "lblLink", -1, LinkAddress);
    place(link, 12, 344, 300, 18);
    link.Click = [this](gFormControl&) { lblLink_Click(); };

    const std::pair<const char*, float> headings[] = {{"Presets", 30}, {"Decoration", 82}, {"Sound / Music", 248}};
    for (const auto& [text, y] : headings) place(Form.Add("Label", "lblHeading", -1, text), 12, y, 300, 16);
}

void frmSettingsForm::Form_Load() {
    CreateControls();
    gCharTest.ValuesToForm(SettingsStore(), Form);
    if (auto a = Form.Find("chkAutoApply")) a->SetValue(1);
    // The "OFF" preset is for the development environment only.
    if (auto m = Form.Find("cmdMinimum")) m->Visible = InIDE();
    MoveFocus(1);
}

void frmSettingsForm::Form_Unload() {
    zValues& s = SettingsStore();
    if (s.GetByte("HighQualityBuffers", 0) != 0 || s.GetByte("QualityNote", 0) != 0) return;
    s.SetByte("QualityNote", 1);
    if (!InIDE()) ShowMessageBox(kNoteText, MsgBoxStyle::Exclamation, kNoteTitle);
}

void frmSettingsForm::chkValues_Click(int16_t /*Index*/) {
    if (showingPreset_) {
        presetChanged_ = true;
        return;
    }
    if (AutoApply()) cmdApply_Click();
}

void frmSettingsForm::scrValues_Change(int16_t /*Index*/) {
    if (AutoApply()) cmdApply_Click();
}

void frmSettingsForm::chkAutoApply_Click() {
    if (auto a = Form.Find("cmdApply")) a->Enabled = !AutoApply();
}

void frmSettingsForm::cmdApply_Click() {
    gCharTest.FormToValues(SettingsStore(), Form);
    gCharTest.ApplySettings();
}

void frmSettingsForm::cmdOK_Click() {
    cmdApply_Click();
    if (FocusMain) FocusMain();
    Unload();
}

void frmSettingsForm::lblLink_Click() {
    auto link = Form.Find("lblLink");
    const std::string address = link ? link->Caption : LinkAddress;
    std::string why = "not taken";
    const bool opened = OpenLink ? OpenLink(address) : OpenUrl(Cp1252ToUtf8(address), &why);
    if (!opened) {
        // Without a desktop opener the game stays as it is.
        Log("WARN", "OpenLink", address, why);
        return;
    }
    if (MinimizeMain) MinimizeMain();
}

void frmSettingsForm::ApplyPreset(const SettingsPreset& iValues) {
    zValues& s = SettingsStore();
    gCharTest.FormToValues(s, Form);
    for (size_t i = 0; i < kPresetKeys.size(); ++i) s.SetByte(kPresetKeys[i], iValues[i]);
    // Each box the preset changes would apply on its own and write the boxes
    // not yet updated back over the preset; one apply at the end instead.
    showingPreset_ = true;
    presetChanged_ = false;
    gCharTest.ValuesToForm(s, Form);
    showingPreset_ = false;
    if (presetChanged_ && AutoApply()) cmdApply_Click();
}

// ---- input -------------------------------------------------------------------

bool frmSettingsForm::Inside(float iX, float iY) const {
    return iX >= 0 && iX < Form.Width && iY >= 0 && iY < Form.Height;
}

bool frmSettingsForm::HandleEvent(const WindowEvent& e) {
    if (!Visible() || e.WindowId == 0 || e.WindowId != Window.Id()) return false;
    switch (e.Type) {
    case WindowEventType::Close: cmdCancel_Click(); break;
    case WindowEventType::Activated: Focused = true; break;
    case WindowEventType::Deactivated: Focused = false; break;
    case WindowEventType::KeyDown: KeyDown(e.Key, e.Shift); break;
    case WindowEventType::MouseDown: MouseDown(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseMove: MouseMove(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseUp: MouseUp(e.Button, float(e.X), float(e.Y)); break;
    default: break;
    }
    return true;
}

void frmSettingsForm::MoveFocus(int32_t iStep) {
    const auto& cs = Form.Controls;
    if (cs.empty()) return;
    const auto current = focus_.lock();
    int32_t at = -1;
    for (size_t i = 0; i < cs.size(); ++i)
        if (cs[i] == current) at = int32_t(i);
    const int32_t n = int32_t(cs.size());
    const int32_t dir = iStep < 0 ? -1 : 1;
    // With nothing focused, forward starts at the first control, backward at the last.
    const int32_t from = at >= 0 ? at : (dir > 0 ? n - 1 : 0);
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t i = ((from + dir * k) % n + n) % n;
        if (Focusable(*cs[size_t(i)])) {
            focus_ = cs[size_t(i)];
            return;
        }
    }
    focus_.reset();
}

void frmSettingsForm::DragTo(gFormControl& iBar, float iX) {
    const float x = iX - iBar.Left;
    const float span = std::max(1.0f, iBar.Width - 12);
    const double frac = std::clamp(double(x - 6) / double(span), 0.0, 1.0);
    const double v = double(iBar.Min) + frac * (double(iBar.Max) - double(iBar.Min));
    SetBarValue(iBar, RoundHalfEven(v));
}

bool frmSettingsForm::KeyDown(int32_t iKey, int32_t iShift) {
    if (!Visible() || !Focused) return false;
    const bool shift = (iShift & 1) != 0;
    auto c = FocusedControl();
    switch (iKey) {
    case 27: cmdCancel_Click(); return true;
    case 9: MoveFocus(shift ? -1 : 1); return true;
    case 38: MoveFocus(-1); return true;
    case 40: MoveFocus(1); return true;
    case 13:
    case 32:
        if (!c) return false;
        if (c->Kind == "HScrollBar") return true;
        c->UserClick();
        return true;
    case 37:
    case 39:
    case 33:
    case 34: {
        if (!c || c->Kind != "HScrollBar") return iKey == 37 || iKey == 39;
        const int32_t step = (iKey == 33 || iKey == 34 || shift) ? c->LargeChange : c->SmallChange;
        const int32_t dir = (iKey == 37 || iKey == 33) ? -1 : 1;
        const int32_t v = std::clamp(int32_t(c->Value) + dir * step, int32_t(c->Min), int32_t(c->Max));
        SetBarValue(*c, v);
        return true;
    }
    default: return false;
    }
}

bool frmSettingsForm::MouseDown(int32_t /*iButton*/, float iX, float iY) {
    if (!Visible() || !Inside(iX, iY)) return false;
    Focused = true;
    auto c = Form.ControlAt(iX, iY);
    pressed_ = c;
    if (c && Focusable(*c)) focus_ = c;
    if (c && c->Kind == "HScrollBar") {
        dragging_ = c;
        DragTo(*c, iX);
    }
    return true;
}

bool frmSettingsForm::MouseMove(int32_t /*iButton*/, float iX, float iY) {
    if (!Visible()) return false;
    if (auto bar = dragging_) {
        DragTo(*bar, iX);
        return true;
    }
    return Inside(iX, iY);
}

bool frmSettingsForm::MouseUp(int32_t /*iButton*/, float iX, float iY) {
    if (!Visible()) return false;
    const bool wasPressed = pressed_ || dragging_;
    dragging_.reset();
    // A click counts where the button went down and came up on the same control.
    auto c = std::move(pressed_);
    pressed_.reset();
    if (c && c->Kind != "HScrollBar" && c->Contains(iX, iY)) c->UserClick();
    return wasPressed || Inside(iX, iY);
}

// ---- drawing -----------------------------------------------------------------

void frmSettingsForm::Render() {
    if (!Visible() || !Window.BeginDraw(kSettingsBack)) return;
    mOverlayDraw::Begin();
    const int32_t font = FontHandle();
    const float x0 = 0, y0 = 0;

    const auto focus = FocusedControl();
    for (const auto& cp : Form.Controls) {
        const gFormControl& c = *cp;
        if (!c.Visible) continue;
        const float x = x0 + c.Left, y = y0 + c.Top;
        const int32_t text = c.Enabled ? Grey(0.92f) : Grey(0.5f);
        if (c.Kind == "CheckBox") {
            mOverlayDraw::Fill(x, y + 3, 12, 12, Grey(0.05f));
            mOverlayDraw::Outline(x, y + 3, 12, 12, Grey(0.7f));
            if (c.Value == 1) mOverlayDraw::Fill(x + 3, y + 6, 6, 6, ColorFromComponents(0.5f, 0.8f, 1, 1));
            else if (c.Value == 2) mOverlayDraw::Fill(x + 3, y + 6, 6, 6, Grey(0.5f));
            mOverlayDraw::Text(font, x + 18, y + 1, c.Caption, text, c.Width - 18);
        } else if (c.Kind == "HScrollBar") {
            mOverlayDraw::Fill(x, y, c.Width, c.Height, Grey(0.05f));
            mOverlayDraw::Outline(x, y, c.Width, c.Height, Grey(0.5f));
            const double range = double(c.Max) - double(c.Min);
            const double frac = range != 0 ? (double(c.Value) - double(c.Min)) / range : 0.0;
            mOverlayDraw::Fill(x + 1 + float(frac) * (c.Width - 14), y + 1, 12, c.Height - 2, Grey(0.75f));
            mOverlayDraw::Text(font, x + c.Width + 10, y, FormatLong(c.Value), text);
        } else if (c.Kind == "CommandButton") {
            mOverlayDraw::Fill(x, y, c.Width, c.Height, pressed_.get() == &c ? Grey(0.35f) : Grey(0.25f));
            mOverlayDraw::Outline(x, y, c.Width, c.Height, Grey(0.65f));
            const float w = mOverlayDraw::TextWidth(font, c.Caption);
            mOverlayDraw::Text(font, x + std::floor((c.Width - w) / 2), y + 4, c.Caption, text);
        } else if (c.Kind == "Label") {
            const bool link = bool(c.Click);
            mOverlayDraw::Text(font, x, y, c.Caption, link ? ColorFromComponents(0.45f, 0.7f, 1, 1) : Grey(0.7f),
                               c.Width);
            if (link)
                mOverlayDraw::Fill(x, y + 15, std::min(c.Width, mOverlayDraw::TextWidth(font, c.Caption)), 1,
                                   ColorFromComponents(0.45f, 0.7f, 1, 1));
        }
        if (Focused && focus.get() == &c)
            mOverlayDraw::Outline(x - 2, y - 1, c.Width + 4, c.Height + 2, ColorFromComponents(1, 0.85f, 0.3f, 1));
    }
    Window.EndDraw();
}

}  // namespace tarv
