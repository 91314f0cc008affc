// The controller of ordinary play: every frame it turns the held keys into
// the player's movement (W, A, S, D; Shift doubles the step), lets the digit
// keys trigger the player's items, lets Space use the door in front of the
// player, tells the door underfoot that the player walks over it, and walks
// the planned player path while no movement key is held. Mouse events are
// left to the shell.
#pragma once

#include "game/world/iController.h"

namespace tarv {

class gPlayerMover : public iController {
public:
    // Virtual-key codes it reads.
    static constexpr int kKeyShift = 16, kKeySpace = 32, kKey0 = 48, kKeyA = 65, kKeyD = 68, kKeyS = 83, kKeyW = 87;

    void Assign() override {}
    bool MouseDown(float, float, int16_t) override { return false; }
    bool MouseMove(float, float, int16_t) override { return false; }
    bool MouseUp(float, float, int16_t) override { return false; }
    // The player stops: no speed, no walk animation.
    void Remove() override;
    void CheckInput() override {
        CheckKeys();
        CheckMouse();
    }

    void CheckKeys();
    void CheckMouse() {}
};

}  // namespace tarv
