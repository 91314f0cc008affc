#include "scene/zVisibleCells.h"

#include <algorithm>

#include "core/zRuntime.h"
#include "scene/zCamera.h"
#include "scene/zLayer.h"

namespace zun {

namespace {

// One axis: first and last visible index, and the view position of index 0.
void Axis(float camPos, float origin, int32_t camSize, float c, float parallax, int32_t highest, int32_t before,
          int32_t after, float& o, int32_t& i0, int32_t& i1) {
    o = ToSingle(LayerDiv(-Int(double(camPos) - double(origin)), parallax));
    const double cc = c;
    int64_t first = CLng(LayerDiv(LayerDiv(double(camPos) - double(origin), cc), parallax) - before);
    if (double(o) + double(first) * cc < cc) first -= 1;
    if (first < 0) first = 0;
    int64_t last = CLng(LayerDiv(double(camSize), cc) + double(first) + after);
    if (double(o) + double(first) * cc + cc < double(camSize)) last += 1;
    if (last > highest) last = highest;
    i0 = static_cast<int32_t>(std::min<int64_t>(first, INT32_MAX));
    i1 = static_cast<int32_t>(last);
}

}  // namespace

zVisibleCells VisibleCells(const zTiledLayer& iLayer, const zCamera& iCam, int32_t iBefore, int32_t iAfter) {
    zVisibleCells v;
    v.c = ToSingle(double(iLayer.TileW) * double(iLayer.Zoom));
    Axis(iCam.x, iLayer.x, iCam.W, v.c, iLayer.Parallax, iLayer.W, iBefore, iAfter, v.ox, v.x0, v.x1);
    Axis(iCam.y, iLayer.y, iCam.H, v.c, iLayer.Parallax, iLayer.H, iBefore, iAfter, v.oy, v.y0, v.y1);
    return v;
}

}  // namespace zun
