// The ground layer drawn from a copy of itself. A tile layer is a thousand
// small quads a frame, each set up on its own by the renderer; the same pixels
// come from a copy of the layer kept in a render target, one of its pixels for
// each pixel of the screen, and laid back as a few large quads. The copy
// holds the view and two cells more on every side. It is renewed when the
// camera has moved further than that, and in part when a cell it shows draws
// another picture (a tile animates, the map is edited); anything else the
// tiles' pixels depend on (the zoom, the view, the layer's place, its tile
// sets and their pictures, the colour) makes a new copy.
//
// At a zoom that is not a whole number the cells' edges and texels fall
// between the screen's pixels, where a copy is not certain to give the tiles'
// own pixels: there, and through a lens, the tiles are drawn.
//
// Usage (the render pipeline, each frame):
//   copy.Prepare(ground, cam, clearColor, colour);   // before the frame's scene begins
//   ... BeginScene ...
//   if (!copy.Draw(ground, cam)) ground.Render(cam);  // in blend mode 0
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "scene/zVisibleCells.h"

namespace zun {
class zCamera;
class zTileMap;
class zTileSet;
}  // namespace zun

namespace tarv {

class GroundCopy {
public:
    // Off, the copy is never drawn and the tiles always are: the frame a
    // copy's frame is held to.
    bool Use = true;

    // Brings the copy up to date for the layer as this frame will show it,
    // when a copy can serve the frame: iClear is the colour the frame's scene
    // is cleared to, iColor the colour the layer is drawn in. Must run outside
    // any scene (it draws a scene of its own into the copy).
    void Prepare(zun::zTileMap& iLayer, const zun::zCamera& iCam, int32_t iClear, int32_t iColor);
    // Draws the layer as its Render would, but from the copy: blend mode 0,
    // the layer's depths, the depth and current procedure it leaves. False,
    // with nothing drawn, when the copy cannot serve this frame as it stands.
    bool Draw(zun::zTileMap& iLayer, const zun::zCamera& iCam);

private:
    // How the frame shows the layer, when a copy can serve it.
    struct View {
        int32_t z = 0;             // the drawing zoom
        int32_t c = 0;             // cell size in view pixels
        int32_t nX = 0, nY = 0;    // the camera's whole offset from the layer's origin
        int32_t w = 0, h = 0;      // the view in screen pixels
        zun::zVisibleCells cells;  // the cells the layer's Render draws
        // Those of them that show in the view; the rest are cut off.
        int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    };
    bool Look(const zun::zTileMap& iLayer, const zun::zCamera& iCam, View& oView) const;
    // Everything but the cells that decides the copy's pixels.
    struct Key {
        const void* Layer = nullptr;
        int32_t Z = 0, C = 0, W = 0, H = 0, TileW = 0, Color = 0, Clear = 0;
        float X = 0, Y = 0;
        std::vector<uint64_t> Sets;  // per set: what its cells are drawn from
        bool operator==(const Key&) const = default;
    };
    Key KeyOf(zun::zTileMap& iLayer, const View& iView, int32_t iClear, int32_t iColor) const;
    // The target is there, on the device it was made on.
    bool TargetAlive() const;
    // And it still holds the copy drawn into it.
    bool Held() const;
    // The view inside the copy: where its pixel (0, 0) lies in the copy.
    bool Shift(const View& iView, int32_t& oX, int32_t& oY) const;
    // The cells of the view whose picture differs from the copy's; false when
    // one lies outside the copy.
    bool Changed(zun::zTileMap& iLayer, const View& iView, std::vector<std::pair<int32_t, int32_t>>* oCells);
    // Draws the whole copy anew around the view, or only the cells given.
    void Fill(zun::zTileMap& iLayer, const zun::zCamera& iCam, const View& iView, bool iWhole,
              const std::vector<std::pair<int32_t, int32_t>>& iCells);
    bool MakeTarget(int32_t iW, int32_t iH);
    void Update(zun::zTileMap& iLayer, const zun::zCamera& iCam, int32_t iClear, int32_t iColor);

    // The target and the device it was made on.
    int32_t target_ = 0;
    uint32_t texture_ = 0;
    const void* device_ = nullptr;
    int32_t side_ = 0;
    uint32_t scenes_ = 0;  // the target's scenes once the copy was last drawn
    bool made_ = false;
    Key key_;
    // The camera offset the copy was made around, its size in pixels, and the
    // cells it holds with what each of them draws.
    int32_t aX_ = 0, aY_ = 0, cw_ = 0, ch_ = 0;
    int32_t x0_ = 0, y0_ = 0, x1_ = -1, y1_ = -1;
    std::vector<uint64_t> cells_;
    std::vector<std::shared_ptr<zun::zTileSet>> sets_;
};

}  // namespace tarv
