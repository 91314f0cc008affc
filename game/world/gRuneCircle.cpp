#include "game/world/gRuneCircle.h"

#include <algorithm>
#include <cmath>

#include "core/zMath.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "game/world/gCharTest.h"
#include "game/world/mClock.h"

namespace tarv {

using namespace zun;

namespace {

constexpr int32_t kSlots = 12;

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

}  // namespace

void gRuneCircle::SetupRunes() {
    RuneCount = kSlots;
    Runes.assign(size_t(kSlots) + 1, RuneSlot{});
    for (int32_t i = 1; i <= kSlots; ++i) {
        RuneSlot& r = Runes[size_t(i)];
        r.Angle = zMath::PI2 / 12 * float(i);
        r.BaseSize = Size / 8;
        r.Distance = (Size - r.BaseSize) / 2;
    }
}

void gRuneCircle::AddRune(uint8_t iChar) {
    for (int32_t i = 1; i <= RuneCount; ++i) {
        RuneSlot& r = Runes[size_t(i)];
        if (r.Used) continue;
        r.Used = true;
        r.Code = iChar;
        r.State = 4;
        r.CurSize = r.BaseSize;
        r.Glow = r.Pulse = r.PulseHalf = 0;
        r.Fade = 1;
        return;
    }
}

void gRuneCircle::AddRunes(const std::string& iRunes) {
    for (const char c : iRunes) AddRune(uint8_t(c));
}

void gRuneCircle::AddLetter(uint8_t iChar) {
    RuneLetter l;
    l.Code = iChar;
    l.Fade = 1;
    l.State = 0;
    l.BaseSize = 16;
    Letters.push_back(l);
    LetterCount += 1;
    for (int32_t i = 1; i <= LetterCount; ++i)
        Letters[size_t(i)].TargetX = (float(i) - 0.5f - float(LetterCount) / 2) * 16;
}

void gRuneCircle::SetState(int32_t iState) {
    State = iState;
    for (int32_t i = 1; i <= RuneCount; ++i) {
        RuneSlot& r = Runes[size_t(i)];
        r.State = iState == 1 ? 5 : 6;
        r.Glow = r.Pulse = r.PulseHalf = 0;
    }
    if (iState == 0) {
        for (int32_t i = 1; i <= LetterCount; ++i) Letters[size_t(i)].State = 2;
    } else if (iState == 1) {
        LetterCount = 0;
        Letters.resize(1);
    }
}

void gRuneCircle::Update() {
    const double T = mClock.Timer();
    const float wave = float(std::sin(5 * T) * 0.5 + 0.5);

    if (State == 0) {
        Alpha = std::min(Alpha + 0.1f, 1.0f);
        Angle = Alpha / 2 * zMath::PI;
    } else if (State == 1) {
        Alpha = std::max(Alpha - 0.2f, 0.0f);
    }
    RenderSize = Size * (Alpha * 0.2f + 1);

    const float mx = gCharTest.MouseViewX, my = gCharTest.MouseViewY;
    for (int32_t i = 1; i <= RuneCount; ++i) {
        RuneSlot& r = Runes[size_t(i)];
        // An empty slot shows nothing and cannot be lit or picked.
        if (!r.Used) continue;
        if (r.State < 2) {
            const float a = r.Angle + Angle;
            const float cx = x + r.Distance * std::cos(a), cy = y + r.Distance * std::sin(a);
            r.State = zMath::GetDistance(cx, cy, mx, my) < r.BaseSize * 0.7f ? 1 : 0;
        }
        switch (r.State) {
            case 0:
                if (r.Glow > 0) r.Glow -= 0.05f;
                r.Glow = Clamp01(r.Glow);
                r.Pulse = wave * r.Glow;
                r.PulseHalf = r.Pulse / 2;
                r.CurSize = (1 + r.Glow) * r.BaseSize;
                break;
            case 1:
                if (r.Glow < 1) r.Glow += 0.25f;
                r.Glow = Clamp01(r.Glow);
                r.Pulse = wave * r.Glow * 0.8f;
                r.PulseHalf = r.Pulse / 2;
                r.CurSize = (1 + r.Glow) * r.BaseSize;
                break;
            case 2:
                r.Fade += 0.1f;
                r.CurSize = (10 * r.Fade + 1) * r.BaseSize;
                if (r.Fade > 1) {
                    r.Fade = 1;
                    r.State = 4;
                }
                break;
            case 3:
                r.Fade -= 0.1f;
                r.CurSize = (10 * r.Fade + 1) * r.BaseSize;
                if (r.Fade < 0) {
                    r.Fade = 0;
                    r.State = 0;
                }
                break;
            case 5:
                r.Fade -= 0.1f;
                if (r.Fade < 0) {
                    r.Fade = 0;
                    r.State = 0;
                }
                r.CurSize = (1 + r.Fade) * r.BaseSize;
                break;
            case 6:
                r.Fade += 0.1f;
                if (r.Fade > 1) {
                    r.Fade = 1;
                    r.State = 4;
                }
                r.CurSize = (1 - r.Fade) * r.BaseSize;
                break;
            default: break;
        }
    }

    for (int32_t i = 1; i <= LetterCount; ++i) {
        RuneLetter& l = Letters[size_t(i)];
        switch (l.State) {
            case 0:
                l.Fade -= 0.1f;
                if (l.Fade < 0) {
                    l.Fade = 0;
                    l.State = 1;
                }
                l.CurSize = (1 + l.Fade) * l.BaseSize;
                break;
            case 1: l.CurSize = l.BaseSize; break;
            case 2: {
                l.Fade += 0.1f;
                if (l.Fade > 1) {
                    l.Fade = 1;
                    l.State = 3;
                }
                const float grow = 2 * l.Fade + 1;
                l.CurSize = l.BaseSize * grow * grow;
                l.TargetX = l.TargetX * (l.Fade / 3 + 1);
                break;
            }
            default: break;
        }
        l.X = (l.X + l.TargetX) / 2;
        if (std::floor(l.X) == std::floor(l.TargetX)) l.X = l.TargetX;
    }

    if (zDInput.MouseButtons[1]) {
        for (int32_t i = 1; i <= RuneCount; ++i) {
            RuneSlot& r = Runes[size_t(i)];
            if (r.Used && r.State == 1) {
                r.State = 2;
                AddLetter(r.Code);
                break;
            }
        }
    }
}

void gRuneCircle::Render() {
    for (int pass = 0; pass < 2; ++pass) {
        const float circleShift = pass == 0 ? 0.5f : -0.5f;
        const float glyphShift = -circleShift;
        zDDraw.SetAlphaMode(pass == 0 ? 20 : 12);

        if (Alpha < 1) {
            const float half = RenderSize / 2;
            zDDraw.BltRotate(Texture, x - half + circleShift, y - half + circleShift, RenderSize, RenderSize, 0, 0,
                             256, 256, zDDrawModule::GetColorRGBA(1, 1, 1, 1 - Alpha), Angle, half, half, 1, 0);
        }
        for (int32_t i = 1; i <= RuneCount; ++i) {
            const RuneSlot& r = Runes[size_t(i)];
            if (!r.Used || r.Fade >= 1) continue;
            const float a = r.Angle + Angle;
            const float half = r.CurSize / 2;
            zDDraw.BltRotate(RuneTexture, x + r.Distance * std::cos(a) - half + glyphShift,
                             y + r.Distance * std::sin(a) - half + glyphShift, r.CurSize, r.CurSize,
                             (r.Code % 16) * 16, (r.Code / 16) * 16, 16, 16,
                             zDDrawModule::GetColorRGBA(1 - r.Glow, 1 - r.Pulse, 1 - r.PulseHalf, 1 - r.Fade),
                             a + zMath::PI_2, half, half, 1, 0);
        }
        for (int32_t i = 1; i <= LetterCount; ++i) {
            const RuneLetter& l = Letters[size_t(i)];
            if (l.Fade >= 1) continue;
            const float half = l.CurSize / 2;
            zDDraw.Blt(RuneTexture, x + l.X - half + glyphShift, y + l.Y - half + glyphShift, l.CurSize, l.CurSize,
                       (l.Code % 16) * 16, (l.Code / 16) * 16, 16, 16,
                       zDDrawModule::GetColorRGBA(1, 1, 1, 1 - l.Fade), 1);
        }
    }
}

}  // namespace tarv
