#include "game/world/gTextSelect.h"

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDSound.h"
#include "game/world/gCharTest.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextCommon.h"

namespace tarv {

using namespace zun;

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && s[a] == ' ') ++a;
    while (b > a && s[b - 1] == ' ') --b;
    return s.substr(a, b - a);
}

constexpr int32_t kSpace = 32, kW = 87, kS = 83, kFirstDigit = 48;

}  // namespace

void gTextSelect::AddOption(const std::string& iText, int32_t iValue) {
    if (iText.empty()) return;
    auto row = std::make_shared<gTextField>();
    row->SelColor = zDDrawModule::GetColorRGB(0, 0, 0);
    row->TextColor = zDDrawModule::GetColorRGB(1, 1, 1);
    if (iText == "#") {
        row->SetText(gCharTest.FontGeorgia, "", 1);
        LastBlank = true;
    } else {
        std::string text = iText;
        if (text.size() >= 3 && text[0] == '[' && text[2] == ']') {
            switch (text[1]) {
                case '+':
                    row->SelColor = zDDrawModule::GetColorRGB(0, 0, 1);
                    row->TextColor = zDDrawModule::GetColorRGB(0.5f, 0.5f, 1);
                    break;
                case '-':
                    row->SelColor = zDDrawModule::GetColorRGB(1, 0, 0);
                    row->TextColor = zDDrawModule::GetColorRGB(1, 0.5f, 0.5f);
                    break;
                case '=':
                    row->SelColor = zDDrawModule::GetColorRGB(0, 1, 0);
                    row->TextColor = zDDrawModule::GetColorRGB(0.5f, 1, 0.5f);
                    break;
                case '!':
                    row->SelColor = zDDrawModule::GetColorRGB(1, 0.85f, 0);
                    row->TextColor = zDDrawModule::GetColorRGB(1, 0.85f, 0);
                    break;
                default: break;
            }
            text = TrimBlanks(text.substr(3));
        }
        const std::string label = std::to_string(Options.size() + 1) + ".  " + text;
        row->SetText(gCharTest.FontGeorgia, label, 1);
        LastBlank = false;
    }
    row->Tag = iValue;
    Options.push_back(std::move(row));
    UpdateSize();
}

void gTextSelect::SetBounds(float iX, float iY, float iW, float iH) {
    x = iX;
    y = iY;
    W = SafeRound(iW);
    H = SafeRound(iH);
    UpdateSize();
}

void gTextSelect::UpdateSize() {
    float top = y;
    for (const auto& row : Options) {
        row->SetBounds(x, top, float(W), 16);
        row->UpdateSize();
        const int32_t h = row->GetTextHeight();
        row->SetBounds(x, top, float(W), float(h));
        row->UpdateSize();
        top += float(h);
    }
}

void gTextSelect::Render() {
    const int32_t count = int32_t(Options.size());
    if (Selected >= 1 && Selected <= count) {
        const gTextField& row = *Options[size_t(Selected - 1)];
        const float left = float(SafeRound(row.x - 4)), top = float(SafeRound(row.y - 1));
        const float w = float(row.W) + 8, h = float(row.H) + 1;
        zDDraw.SetAlphaMode(2);
        zDDraw.SetAlphaValue(AlphaBG, 100);
        zDDraw.BltSurface(left, top, w, h, row.SelColor);
        zDDraw.SetAlphaValue(Alpha, 100);
        const int32_t white = zDDrawModule::GetGrayColor(1.0f);
        zDDraw.BltLine(left - 1, top, left + w, top, white, white);
        zDDraw.BltLine(left, top, left, top + h, white, white);
        zDDraw.BltLine(left, top + h, left + w, top + h, white, white);
        zDDraw.BltLine(left + w, top, left + w, top + h, white, white);
    }
    for (const auto& row : Options) {
        row->Alpha = Alpha;
        row->Render();
    }
}

void gTextSelect::PlayCursor() { PlayWaveFile("cursor.wav", false, 0.85f, 1.0f, false, 0); }

void gTextSelect::CheckKeys() {
    const int32_t count = int32_t(Options.size());
    for (int32_t i = 1; i <= count && kFirstDigit + i <= 255; ++i) {
        if (zDInput.Keys[size_t(kFirstDigit + i)]) {
            Selected = i;
            MouseDown();
        }
    }
    if (zDInput.Keys[kSpace]) {
        zDInput.Keys[kSpace] = false;
        MouseDown();
    }
    const int32_t rows = int32_t(Options.size());
    if (rows >= 1) {
        if (zDInput.Keys[kW]) {
            Selected = Selected <= 1 ? rows : Selected - 1;
            PlayCursor();
        }
        if (zDInput.Keys[kS]) {
            Selected = Selected >= rows ? 1 : Selected + 1;
            PlayCursor();
        }
    }
    // A blank row cannot be chosen.
    if (Selected > 0 && Selected <= int32_t(Options.size()) && Options[size_t(Selected - 1)]->Text == "\n")
        Selected = 0;
    zDInput.ResetKeyStates();
}

void gTextSelect::CheckMouse() {
    if (LastBlank) return;
    const float zoom = zDDraw.RenderZoom;
    const float mx = zDInput.MouseX, my = zDInput.MouseY;
    for (size_t i = 0; i < Options.size(); ++i) {
        const gTextField& row = *Options[i];
        const bool inside = row.x * zoom <= mx && mx < (row.x + float(row.W)) * zoom && row.y * zoom <= my &&
                            my < (row.y + float(row.H)) * zoom;
        if (inside && Selected != int32_t(i + 1)) {
            Selected = int32_t(i + 1);
            PlayCursor();
            break;
        }
    }
}

void gTextSelect::MouseDown() {
    if (const auto area = gCharTest.MessageArea; area && area->ShowChars < area->CharsMax) {
        area->ShowChars = area->CharsMax - 1;
        return;
    }
    const int32_t count = int32_t(Options.size());
    if (LastBlank) Selected = 1;
    if (count >= 1 && Selected < 1) return;

    // Leaving the stack and the message slot may drop the last holders.
    const auto keep = weak_from_this().lock();
    gCharTest.RemoveController(this);
    gCharTest.Message = nullptr;
    if (count >= 1 && ScriptCaller && Selected >= 1 && Selected <= count) {
        const auto caller = ScriptCaller;
        const std::string fn = ScriptFunction;
        caller->Execute(fn, {HostValue(Options[size_t(Selected - 1)]->Tag)});
    }
}

bool gTextSelect::MouseDown(float, float, int16_t) {
    MouseDown();
    return true;
}

void gTextSelect::CheckInput() {
    const auto keep = weak_from_this().lock();
    CheckKeys();
    CheckMouse();
}

}  // namespace tarv
