// The text markup parser and layout on random text: the marked-up text area
// parses, lays out, animates and draws it in a box whose size comes from the
// first bytes, then again as the game's message box reveals it; the plain
// text field wraps and draws the same text. Nothing may throw, hang or grow
// without bound.
// fuzz-libs: tarv_world zun_script zun_scene zun_devices zun_platform zun_core
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextField.h"
#include "game/world/mClock.h"
#include "platform/RecordingBackend.h"
#include "fuzz/FuzzSupport.h"

using namespace zun;
using namespace tarv;

namespace {

using fuzz::gRec;
double gNow = 0;

int32_t MakeFont() {
    FontEntry f;
    f.Name = "fuzz";
    for (size_t i = 0; i < f.Width.size(); ++i) f.Width[i] = uint8_t(i % 17);
    f.Width[0] = f.Width[9] = f.Width[10] = 0;
    f.Extra = 12;
    zFont.Fonts.resize(1);
    zFont.Fonts.push_back(f);
    zFont.FontCount = 1;
    return 1;
}

bool Ready() {
    fuzz::StartRecordingDevice();
    zFont.FontPath = "\\nonexistent-fuzz-fonts\\";
    mClock.Source = [] { return gNow; };
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Ready();
    (void)ready;
    if (size < 6 || size > 8192) return 0;
    // Fonts named by "<font=...>" tags join the table; start each input afresh.
    const int32_t font = MakeFont();
    zCore.LogText.clear();

    const float w = float(data[0]) * 2, h = float(data[1]) * 2;
    const float zoom = float(data[2] % 8) / 2;
    gNow = double(data[3]) / 7;
    const int32_t show = data[4];
    const float scroll = float(int8_t(data[5]));
    const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);

    gTextArea area;
    area.DefaultFont = font;
    area.DefaultColor = int32_t(0xFFFFFFFF);
    area.DefaultZoom = zoom;
    area.DefaultItalic = 0;
    area.SetBounds(10, 10, w, h);
    area.SetText(text);
    area.ShowChars = show;
    area.ScrollY = scroll;
    for (int i = 0; i < 3; ++i) area.Update();
    area.Render();
    area.SetBounds(0, 0, h, w);
    area.Render();
    // As the game draws its message box, frame after frame: the effects move
    // on, the box grows to the lines revealed so far, and the reveal runs to
    // the end of the text.
    area.ShowChars = 0;
    for (int frame = 0; frame < 4; ++frame) {
        area.ShowChars = frame == 3 ? area.CharsMax : area.ShowChars + show;
        gNow += 0.3;
        area.Update();
        area.H = std::max(area.VisibleH, int32_t(80));
        area.Render();
    }

    gTextField field;
    field.SetText(font, text, zoom);
    field.SetBounds(5, 5, w, h);
    field.ApplyAlign(data[3] % 3);
    field.ScrollY = scroll;
    field.Render();

    zDDraw.EndScene(false);
    if (gRec) gRec->ClearLog();
    return 0;
}
