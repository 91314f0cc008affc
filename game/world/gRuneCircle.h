// An animated ring of twelve rune slots around a point on screen, drawn over a
// rotating circle image. The mouse lights up the rune under it; a left click
// picks it: the rune flares up and disappears while the same character joins
// a row of letters that slides out from the centre. The ring fades in and
// out as a whole.
//
// The owner calls SetupRunes once, fills the slots with AddRune or AddRunes,
// switches the ring with SetState and calls Update and Render every frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv {

struct RuneSlot {
    bool Used = false;
    int32_t State = 0;  // 0 idle, 1 under the mouse, 2 picked, 3 coming back, 4 hidden, 5 appearing, 6 vanishing
    uint8_t Code = 0;
    float Angle = 0;  // place on the ring
    float Distance = 0;
    float BaseSize = 0;
    float CurSize = 0;
    float Glow = 0;
    float Pulse = 0;
    float PulseHalf = 0;
    float Fade = 0;  // transparency 0..1
};

struct RuneLetter {
    uint8_t Code = 0;
    float X = 0;  // offset from the centre
    float Y = 0;
    float TargetX = 0;
    float TargetY = 0;  // never moves
    float BaseSize = 16;
    float CurSize = 0;
    float Fade = 1;
    int32_t State = 0;  // 0 appearing, 1 shown, 2 leaving, 3 gone
};

class gRuneCircle {
public:
    int32_t State = 0;  // 1 shown, 0 hidden
    float x = 0, y = 0;
    float Angle = 0;
    float Alpha = 1;  // of the circle; 1 invisible
    float Size = 0;
    float RenderSize = 0;
    int32_t Texture = 0;      // circle image: its top left 256 x 256 pixels
    int32_t RuneTexture = 0;  // 16 x 16 cells of 16 pixels by character code

    void SetupRunes();
    void AddRune(uint8_t iChar);
    void AddRunes(const std::string& iRunes);
    void AddLetter(uint8_t iChar);
    void SetState(int32_t iState);
    void Update();
    void Render();

    int32_t GetRuneCount() const { return RuneCount; }
    const RuneSlot& GetRune(int32_t i) const { return Runes[size_t(i)]; }
    int32_t GetLetterCount() const { return LetterCount; }
    const RuneLetter& GetLetter(int32_t i) const { return Letters[size_t(i)]; }

private:
    int32_t RuneCount = 0;
    std::vector<RuneSlot> Runes = std::vector<RuneSlot>(1);  // 1..RuneCount
    int32_t LetterCount = 0;
    std::vector<RuneLetter> Letters = std::vector<RuneLetter>(1);  // 1..LetterCount
};

}  // namespace tarv
