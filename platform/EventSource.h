// A scripted stand-in for the person at the keyboard and mouse. The frame
// loop asks it, before every timer event, for the window events that arrive
// before that event, and hands them on exactly as the window's own. Tests
// play the game through it; long headless runs walk the player with it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Window.h"

namespace zun {

class EventSource {
public:
    virtual ~EventSource() = default;
    // iNowMs: the time of the coming timer event on the loop's clock. False
    // when the source has nothing more to say: the window is closed.
    virtual bool NextEvents(int32_t iNowMs, std::vector<WindowEvent>& oEvents) = 0;
};

}  // namespace zun
