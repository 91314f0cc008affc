// The scripted player of long headless runs: it walks a square with the
// arrow keys, answers whatever message comes up with Space, turns the
// weather every few hundred frames and logs the resident memory now and then,
// so that a soak run touches walking, collisions, messages, rain, snow,
// lightning and their sounds for as long as it lasts. The memory lines read
// "INF Soak <frame> <resident kB> <peak resident kB>".
#include <array>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "game/effects/gWeather.h"
#include "game/shell/app/mProgram.h"
#include "platform/EventSource.h"

namespace tarv {

using namespace zun;

namespace {

constexpr int32_t kSideFrames = 40;      // frames of walking along one side
constexpr int32_t kRepeatFrames = 10;    // a held key repeats, as keyboards do
constexpr int32_t kAnswerFrames = 120;   // Space now and then closes messages
constexpr int32_t kWeatherFrames = 500;  // the weather turns
constexpr int32_t kMemoryFrames = 250;   // a memory sample in the log

// Up, right, down, left.
constexpr std::array<int32_t, 4> kArrows = {38, 39, 40, 37};

struct Weather {
    float Rain, Snow;
    bool Flash;
};
constexpr std::array<Weather, 4> kWeathers = {{{0.35f, 0.0f, false}, {0.9f, 0.0f, true}, {0.0f, 0.4f, false},
                                               {0.1f, 0.0f, true}}};

class SoakRun final : public EventSource {
public:
    bool NextEvents(int32_t, std::vector<WindowEvent>& oEvents) override {
        const int32_t frame = zCore.FrameCounter;
        if (frame == lastFrame_) return true;
        lastFrame_ = frame;

        const int32_t arrow = kArrows[size_t(frame / kSideFrames) % kArrows.size()];
        if (arrow != held_) {
            if (held_) oEvents.push_back(Key(WindowEventType::KeyUp, held_, false));
            oEvents.push_back(Key(WindowEventType::KeyDown, arrow, false));
            held_ = arrow;
        } else if (frame % kRepeatFrames == 0) {
            oEvents.push_back(Key(WindowEventType::KeyDown, arrow, true));
        }
        if (frame % kAnswerFrames == 0) {
            oEvents.push_back(Key(WindowEventType::KeyDown, 32, false));
            oEvents.push_back(Key(WindowEventType::KeyUp, 32, false));
        }
        if (frame > 0 && frame % kWeatherFrames == 0) {
            const Weather& w = kWeathers[size_t(frame / kWeatherFrames) % kWeathers.size()];
            gWeather.RainDensity = w.Rain;
            gWeather.SnowDensity = w.Snow;
            if (w.Flash) gWeather.Flash(frame, 0.9f);
        }
        if (frame > 0 && frame % kMemoryFrames == 0) Log("INF", "Soak", frame, int32_t(ResidentKilobytes(false)), int32_t(ResidentKilobytes(true)));
        return true;
    }

private:
    static WindowEvent Key(WindowEventType iType, int32_t iKey, bool iRepeat) {
        WindowEvent e;
        e.Type = iType;
        e.Key = iKey;
        e.Repeat = iRepeat;
        return e;
    }
    int32_t lastFrame_ = -1;
    int32_t held_ = 0;
};

}  // namespace

std::unique_ptr<EventSource> MakeSoakRun() { return std::make_unique<SoakRun>(); }

}  // namespace tarv
