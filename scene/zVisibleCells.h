// The range of cells a tiled layer shows through a camera. Every layer that
// draws cell by cell computes it the same way:
//   c  = TileW * Zoom (drawn cell size),  ox = -Int(cam.x - x) / Parallax
//   x0 = CLng((cam.x - x) / c / Parallax - Before), minus 1 when ox + x0 * c < c,
//        then at least 0
//   x1 = CLng(cam.W / c + x0 + After), plus 1 when ox + x0 * c + c < cam.W,
//        then at most the layer's W
// and the same for rows with y, cam.y, cam.H and H. Before = After = 0 for the
// tile, collision, value-set, objects and emitter maps; the sprite and item
// maps look one cell further back and two further on (Before 1, After 2) so
// that tall sprites standing just outside the view still show.
//
// Usage:
//   zVisibleCells v = VisibleCells(*this, cam);          // or (*this, cam, 1, 2)
//   for (int32_t cy = v.y0; cy <= v.y1; ++cy)
//       for (int32_t cx = v.x0; cx <= v.x1; ++cx) draw at (cx * v.c + v.ox, cy * v.c + v.oy)
// A zero cell size or Parallax raises "Division by zero"; a camera so far away
// that a cell index leaves the Long range raises "Overflow".
#pragma once

#include <cstdint>

namespace zun {

class zCamera;
class zTiledLayer;

struct zVisibleCells {
    float c = 0;              // drawn cell size in view pixels
    float ox = 0, oy = 0;     // view position of cell (0, 0)
    int32_t x0 = 0, y0 = 0;   // first visible column and row
    int32_t x1 = -1, y1 = -1; // last visible column and row (inclusive)
    bool Empty() const { return x1 < x0 || y1 < y0; }
};

zVisibleCells VisibleCells(const zTiledLayer& iLayer, const zCamera& iCam, int32_t iBefore = 0, int32_t iAfter = 0);

}  // namespace zun
