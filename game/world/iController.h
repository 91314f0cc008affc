// The contract of an input controller: whatever currently owns the mouse and
// the per-frame input check. Controllers are stacked (see gCharTest); only the
// one on top hears anything. The default bodies ignore everything, so a
// controller implements just the operations it cares about.
#pragma once

#include <cstdint>

namespace tarv {

class iController {
public:
    virtual ~iController() = default;
    // Has just become the active controller.
    virtual void Assign() {}
    // Mouse events in drawing-surface units; iButton is the event's button (for
    // a move, the held buttons: 1 left, 2 right, 4 middle, added). True when
    // the controller consumed the event and the shell must not handle it.
    virtual bool MouseDown(float iX, float iY, int16_t iButton) { return false; }
    virtual bool MouseMove(float iX, float iY, int16_t iButton) { return false; }
    virtual bool MouseUp(float iX, float iY, int16_t iButton) { return false; }
    // Is being taken off the stack.
    virtual void Remove() {}
    // Once per frame while game updates run: read keys and mouse and act.
    virtual void CheckInput() {}
};

}  // namespace tarv
