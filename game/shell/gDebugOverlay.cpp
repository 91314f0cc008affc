// The debug overlay (F4): a column of white lines at the top right of the
// screen with the frame rate, the game's time of day, the quads drawn, and
// what is under the cursor.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/shell/gRender.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/zDataShape.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

std::string FormatGameTime(float iGameTime) {
    // A day is 1000 game-time units; the time is the day's fraction, to the
    // nearest second. The fraction of a negative day counts from its start,
    // as a negative date's time does.
    const double days = double(iGameTime) / 1000.0;
    if (!std::isfinite(days)) return "00:00";
    const double fraction = std::fabs(days - std::trunc(days));
    const int64_t seconds = int64_t(std::llround(fraction * 86400.0)) % 86400;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60));
    return text;
}

namespace {

// "name", or "name [class]" for an object that has a script object.
std::string ObjectLabel(const std::string& key, const std::string& cls, bool scripted) {
    return scripted ? key + " [" + cls + "]" : key;
}

void Line(float y, const std::string& text) {
    // Right-aligned to the view, which full screen makes narrower than the buffer.
    zFont.DrawText(gCharTest.FontArial, float(zDDraw.ViewW) - 10.0f, y, text, 1.0f, true, 1, 0,
                   zDDraw.GetGrayColor(1.0f));
}

}  // namespace

void RenderDebugData() {
    auto& g = gCharTest;
    zDDraw.SetAlphaMode(1);

    std::string fps = FormatLong(zDDraw.FPS);
    if (render::SettingByte("DisableTimer") == 1) fps += " (max)";
    Line(10, fps);
    Line(25, FormatGameTime(g.GameTime));
    Line(40, FormatLong(zDDraw.BltCount));

    if (!g.Cursor) return;
    const float cx = g.Cursor->x, cy = g.Cursor->y;
    const auto chars = g.Chars;
    for (const auto& c : chars) {
        if (!c || c == g.Player || !c->Item) continue;
        if (!c->CheckHit(cx, cy, 0)) continue;
        Line(60, ObjectLabel(c->Item->KeyName, c->Item->ClassName_, c->Item->ScriptObject != nullptr));
        break;
    }
    if (const auto item = g.GetItemAt(g.mapItems.get(), cx, cy, ""))
        Line(75, ObjectLabel(item->KeyName, item->ClassName_, item->ScriptObject != nullptr));
    if (const auto door = g.GetItemAt(g.mapDoors.get(), cx, cy, ""))
        Line(90, ObjectLabel(door->KeyName, door->ClassName_, door->ScriptObject != nullptr));
    if (const auto area = g.GetAreaAt(g.mapAreas.get(), cx, cy, ""))
        Line(105, ObjectLabel(area->KeyName, area->ClassName_, area->ScriptObject != nullptr));
}

}  // namespace tarv
