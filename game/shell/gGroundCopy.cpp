#include "game/shell/gGroundCopy.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zLayer.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"

namespace tarv {

using namespace zun;

namespace {

// Cells of the layer the copy holds beyond the view on every side.
constexpr int32_t kMarginCells = 2;
// The largest zoom a copy is made at.
constexpr int32_t kMaxZoom = 16;

int32_t FloorDiv(int64_t a, int64_t b) { return int32_t(a >= 0 ? a / b : -((-a + b - 1) / b)); }

// What a cell draws: its set, tile and direction and the tile's frame on
// the sheet; 0 for a cell that draws nothing.
uint64_t CellPicture(uint8_t set, uint8_t tile, uint8_t rot, const zTile* t) {
    if (set == 0 || !t) return 0;
    return uint64_t(1) << 56 | uint64_t(set) << 48 | uint64_t(tile) << 40 | uint64_t(rot) << 32 |
           uint64_t(t->x) << 24 | uint64_t(t->y) << 16 | uint64_t(t->AniFrameX) << 8 | t->AniFrameY;
}

}  // namespace

bool GroundCopy::Look(const zTileMap& iLayer, const zCamera& iCam, View& oView) const {
    // Drawn into the screen's own buffer at a whole zoom, by a layer whose
    // cells are whole pixels and which moves with the camera.
    const float zoom = zDDraw.RenderZoom;
    if (zDDraw.RenderTargetActive || !zDDraw.Device || !(zoom >= 1.0f && zoom <= float(kMaxZoom)) ||
        zoom != std::floor(zoom))
        return false;
    if (iLayer.W <= 0 || iLayer.H <= 0 || iLayer.TileW <= 0 || iLayer.TileSetCount() == 0 || iLayer.Parallax != 1.0f)
        return false;
    const double c = double(iLayer.TileW) * double(iLayer.Zoom);
    if (!(c >= 1 && c <= 4096) || c != std::floor(c)) return false;
    if (zDDraw.ViewW <= 0 || zDDraw.ViewH <= 0) return false;
    oView.z = int32_t(zoom);
    oView.c = int32_t(c);
    oView.w = zDDraw.ViewW;
    oView.h = zDDraw.ViewH;
    oView.cells = VisibleCells(iLayer, iCam);
    if (oView.cells.c != float(c)) return false;
    oView.nX = -int32_t(oView.cells.ox);
    oView.nY = -int32_t(oView.cells.oy);
    if (float(-oView.nX) != oView.cells.ox || float(-oView.nY) != oView.cells.oy) return false;
    const int64_t cz = int64_t(oView.c) * oView.z;
    oView.x0 = std::max(oView.cells.x0, FloorDiv(oView.nX, oView.c));
    oView.y0 = std::max(oView.cells.y0, FloorDiv(oView.nY, oView.c));
    oView.x1 = std::min(oView.cells.x1, FloorDiv(int64_t(oView.nX) * oView.z + oView.w - 1, cz));
    oView.y1 = std::min(oView.cells.y1, FloorDiv(int64_t(oView.nY) * oView.z + oView.h - 1, cz));
    return true;
}

GroundCopy::Key GroundCopy::KeyOf(zTileMap& iLayer, const View& iView, int32_t iClear, int32_t iColor) const {
    Key k;
    k.Layer = &iLayer;
    k.Z = iView.z;
    k.C = iView.c;
    k.W = iView.w;
    k.H = iView.h;
    k.TileW = iLayer.TileW;
    k.Color = iColor;
    k.Clear = iClear;
    k.X = iLayer.x;
    k.Y = iLayer.y;
    for (int32_t i = 1; i <= iLayer.TileSetCount(); ++i) {
        const std::shared_ptr<zTileSet> set = iLayer.GetTileSet(uint8_t(i));
        const int32_t tex = set ? set->Texture : 0;
        const bool known = tex > 0 && tex <= zDDraw.TextureCount && size_t(tex) < zDDraw.Textures.size();
        const TextureEntry* e = known ? &zDDraw.Textures[size_t(tex)] : nullptr;
        k.Sets.push_back(uint64_t(reinterpret_cast<uintptr_t>(set.get())));
        k.Sets.push_back(uint64_t(uint32_t(tex)) << 32 | (e ? e->Texture : 0));
        k.Sets.push_back(e ? uint64_t(uint32_t(e->W)) << 32 | uint32_t(e->H) : 0);
    }
    return k;
}

bool GroundCopy::TargetAlive() const {
    if (target_ <= 0 || target_ > zDDraw.TextureCount || size_t(target_) >= zDDraw.Textures.size()) return false;
    const TextureEntry& e = zDDraw.Textures[size_t(target_)];
    return zDDraw.Device.get() == device_ && e.Texture == texture_ && e.W == side_ && e.FileName.empty();
}

bool GroundCopy::Held() const {
    // A lost device takes what the target held, and with it its record.
    if (!made_ || !TargetAlive()) return false;
    const TextureEntry& e = zDDraw.Textures[size_t(target_)];
    return e.Scenes == scenes_ && !e.Drawn.empty();
}

bool GroundCopy::Shift(const View& iView, int32_t& oX, int32_t& oY) const {
    const int64_t margin = int64_t(kMarginCells) * iView.c;
    const int64_t sx = (margin + int64_t(iView.nX) - aX_) * iView.z, sy = (margin + int64_t(iView.nY) - aY_) * iView.z;
    if (sx < 0 || sy < 0 || sx + iView.w > cw_ || sy + iView.h > ch_) return false;
    oX = int32_t(sx);
    oY = int32_t(sy);
    return true;
}

bool GroundCopy::Changed(zTileMap& iLayer, const View& iView, std::vector<std::pair<int32_t, int32_t>>* oCells) {
    iLayer.GetTileSets(sets_);
    if (iView.x1 < iView.x0 || iView.y1 < iView.y0) return true;
    if (iView.x0 < x0_ || iView.y0 < y0_ || iView.x1 > x1_ || iView.y1 > y1_) return false;
    const size_t cols = size_t(x1_ - x0_ + 1);
    for (int32_t cy = iView.y0; cy <= iView.y1; ++cy)
        for (int32_t cx = iView.x0; cx <= iView.x1; ++cx) {
            uint8_t set = 0, tile = 0, rot = 0;
            iLayer.GetTile(cx, cy, set, tile, rot);
            zTileSet* ts = set < sets_.size() ? sets_[set].get() : nullptr;
            const uint64_t now = CellPicture(set, tile, rot, ts ? ts->GetTile(tile) : nullptr);
            const uint64_t held = cells_[size_t(cy - y0_) * cols + size_t(cx - x0_)];
            if (now == held) continue;
            if (!oCells) return false;
            // A cell that now draws nothing is not drawn from the copy either.
            if (now != 0) oCells->emplace_back(cx, cy);
        }
    return true;
}

bool GroundCopy::MakeTarget(int32_t iW, int32_t iH) {
    int32_t side = 16;
    while (side < iW || side < iH) side *= 2;
    if (TargetAlive() && side_ >= side) return true;
    // Too small for the view now: its memory goes back before a larger one is made.
    if (TargetAlive()) zDDraw.ReleaseTextureObject(target_);
    made_ = false;
    target_ = 0;
    if (side > kMaxTargetSide) return false;
    // Through the device's own door, so the copy counts against the graphics
    // memory; without depth, as the tiles are laid flat, so that a copy
    // larger than the other targets does not grow the depth buffer to its size.
    const int32_t t = zDDraw.CreateRenderTarget(side, false);
    if (t <= 0 || size_t(t) >= zDDraw.Textures.size() || zDDraw.Textures[size_t(t)].Texture == 0 ||
        zDDraw.Textures[size_t(t)].W != side)
        return false;
    target_ = t;
    texture_ = zDDraw.Textures[size_t(t)].Texture;
    device_ = zDDraw.Device.get();
    side_ = side;
    return true;
}

void GroundCopy::Fill(zTileMap& iLayer, const zCamera& iCam, const View& iView, bool iWhole,
                      const std::vector<std::pair<int32_t, int32_t>>& iCells) {
    made_ = false;
    // The pass draws with the frame's zoom, one pixel of the copy for each
    // pixel of the screen: the logical screen is the whole target meanwhile.
    struct Kept {
        int32_t screenW = zDDraw.ScreenW, screenH = zDDraw.ScreenH, diffuse = zDDraw.DiffuseColor;
        float z = zDDraw.RenderZ;
        ~Kept() {
            if (zDDraw.RenderTargetActive) {
                try {
                    zDDraw.EndTextureScene();
                } catch (...) {
                }
            }
            zDDraw.ScreenW = screenW;
            zDDraw.ScreenH = screenH;
            zDDraw.DiffuseColor = diffuse;
            zDDraw.RenderZ = z;
        }
    } kept;
    if (!zDDraw.BeginScene(iWhole ? key_.Clear : 0, target_)) return;
    if (!zDDraw.RenderTargetActive) {
        zDDraw.EndScene(false);
        return;
    }
    zDDraw.ScreenW = zDDraw.ScreenH = side_;
    zDDraw.DiffuseColor = key_.Color;
    zDDraw.SetAlphaMode(0);
    const int32_t margin = kMarginCells * iView.c;
    zVisibleCells at;
    at.c = float(iView.c);
    at.ox = float(margin - aX_);
    at.oy = float(margin - aY_);
    if (iWhole) {
        at.x0 = x0_, at.y0 = y0_, at.x1 = x1_, at.y1 = y1_;
        iLayer.RenderCells(at, iCam.H);
    } else {
        for (const auto& [cx, cy] : iCells) {
            at.x0 = at.x1 = cx;
            at.y0 = at.y1 = cy;
            iLayer.RenderCells(at, iCam.H);
        }
    }
    zDDraw.EndTextureScene();
    scenes_ = zDDraw.Textures[size_t(target_)].Scenes;
    made_ = true;
}

void GroundCopy::Prepare(zTileMap& iLayer, const zCamera& iCam, int32_t iClear, int32_t iColor) {
    // A copy that cannot be made leaves the tiles to be drawn, and they meet
    // whatever failed on their own.
    try {
        Update(iLayer, iCam, iClear, iColor);
    } catch (const std::exception&) {
        made_ = false;
    }
}

void GroundCopy::Update(zTileMap& iLayer, const zCamera& iCam, int32_t iClear, int32_t iColor) {
    View view;
    if (iClear == 0 || !Look(iLayer, iCam, view) || view.cells.Empty()) return;
    const int32_t margin = kMarginCells * view.c;
    const int32_t cw = ((view.w + view.z - 1) / view.z + 2 * margin) * view.z;
    const int32_t ch = ((view.h + view.z - 1) / view.z + 2 * margin) * view.z;
    if (!MakeTarget(cw, ch)) return;
    const Key key = KeyOf(iLayer, view, iClear, iColor);
    int32_t sx = 0, sy = 0;
    std::vector<std::pair<int32_t, int32_t>> changed;
    if (Held() && key == key_ && cw == cw_ && ch == ch_ && Shift(view, sx, sy) && Changed(iLayer, view, &changed)) {
        if (changed.empty()) return;
        // A few cells drawn anew over their old pictures; many, a new copy.
        const size_t shown = size_t(view.x1 - view.x0 + 1) * size_t(view.y1 - view.y0 + 1);
        if (changed.size() * 4 <= shown) {
            Fill(iLayer, iCam, view, false, changed);
            if (!made_) return;
            iLayer.GetTileSets(sets_);
            const size_t cols = size_t(x1_ - x0_ + 1);
            for (const auto& [cx, cy] : changed) {
                uint8_t set = 0, tile = 0, rot = 0;
                iLayer.GetTile(cx, cy, set, tile, rot);
                zTileSet* ts = set < sets_.size() ? sets_[set].get() : nullptr;
                cells_[size_t(cy - y0_) * cols + size_t(cx - x0_)] = CellPicture(set, tile, rot, ts ? ts->GetTile(tile) : nullptr);
            }
            return;
        }
    }
    // A new copy around the view: the view's corner lies a margin in.
    key_ = key;
    aX_ = view.nX;
    aY_ = view.nY;
    cw_ = cw;
    ch_ = ch;
    x0_ = std::max(FloorDiv(int64_t(aX_) - margin, view.c), 0);
    y0_ = std::max(FloorDiv(int64_t(aY_) - margin, view.c), 0);
    x1_ = std::min(FloorDiv(int64_t(aX_) - margin + cw / view.z - 1, view.c), iLayer.W);
    y1_ = std::min(FloorDiv(int64_t(aY_) - margin + ch / view.z - 1, view.c), iLayer.H);
    cells_.assign(x1_ >= x0_ && y1_ >= y0_ ? size_t(x1_ - x0_ + 1) * size_t(y1_ - y0_ + 1) : 0, 0);
    iLayer.GetTileSets(sets_);
    const size_t cols = size_t(std::max(x1_ - x0_ + 1, 0));
    for (int32_t cy = y0_; cy <= y1_; ++cy)
        for (int32_t cx = x0_; cx <= x1_; ++cx) {
            uint8_t set = 0, tile = 0, rot = 0;
            iLayer.GetTile(cx, cy, set, tile, rot);
            zTileSet* ts = set < sets_.size() ? sets_[set].get() : nullptr;
            cells_[size_t(cy - y0_) * cols + size_t(cx - x0_)] = CellPicture(set, tile, rot, ts ? ts->GetTile(tile) : nullptr);
        }
    Fill(iLayer, iCam, view, true, {});
}

bool GroundCopy::Draw(zTileMap& iLayer, const zCamera& iCam) {
    View view;
    if (!Use || !Look(iLayer, iCam, view) || !Held()) return false;
    int32_t sx = 0, sy = 0;
    // Drawn in the colour the copy was made in, over the colour it was cleared to.
    if (zDDraw.DiffuseColor != key_.Color || zDDraw.BackColor != key_.Clear) return false;
    if (!(KeyOf(iLayer, view, key_.Clear, key_.Color) == key_) || !Shift(view, sx, sy) ||
        !Changed(iLayer, view, nullptr))
        return false;

    zDDraw.SetAlphaMode(0);
    zCore.CurrentProc = "TileMap_Render";
    const float zTop = iLayer.MetaSingle("_z"), zBottom = iLayer.MetaSingle("_z2");
    const bool oneDepth = zTop == zBottom;
    if (oneDepth) zDDraw.RenderZ = zTop;
    const zVisibleCells& v = view.cells;
    const int32_t c = view.c, z = view.z;
    // The cells of each row in runs of one depth, a run laid as one quad, and
    // a run the next row repeats grown into a taller one.
    struct Run {
        int32_t x0, x1, y0, y1;
        float depth;
    };
    std::vector<Run> open, next;
    auto lay = [&](const Run& r) {
        const float left = float(r.x0 * c - view.nX), top = float(r.y0 * c - view.nY);
        const float w = float((r.x1 - r.x0) * c), h = float((r.y1 - r.y0) * c);
        zDDraw.RenderZ = r.depth;
        zDDraw.Blt(target_, left, top, w, h, int32_t(left) * z + sx, int32_t(top) * z + sy, int32_t(w) * z,
                   int32_t(h) * z, -1, 1.0f);
    };
    bool any = false;
    float last = zDDraw.RenderZ;
    for (int32_t cy = v.y0; cy <= v.y1 + 1; ++cy) {
        next.clear();
        const int32_t py = cy * c - view.nY;
        for (int32_t cx = v.x0; cy <= v.y1 && cx <= v.x1; ++cx) {
            uint8_t set = 0, tile = 0, rot = 0;
            iLayer.GetTile(cx, cy, set, tile, rot);
            zTileSet* ts = set < sets_.size() ? sets_[set].get() : nullptr;
            const zTile* t = ts ? ts->GetTile(tile) : nullptr;
            if (set == 0 || !t) continue;
            const float depth =
                oneDepth ? zTop : LayerDepth(zTop, zBottom, double(py) + c + double(t->Z) * c, iCam.H);
            last = depth;
            any = true;
            if (!next.empty() && next.back().x1 == cx && next.back().depth == depth) next.back().x1 = cx + 1;
            else next.push_back({cx, cx + 1, cy, cy + 1, depth});
        }
        for (Run& n : next) {
            auto same = std::find_if(open.begin(), open.end(), [&](const Run& o) {
                return o.x0 == n.x0 && o.x1 == n.x1 && o.depth == n.depth && o.y1 == n.y0;
            });
            if (same != open.end()) n.y0 = same->y0;
        }
        for (const Run& o : open)
            if (std::none_of(next.begin(), next.end(), [&](const Run& n) { return n.x0 == o.x0 && n.y0 == o.y0; }))
                lay(o);
        std::swap(open, next);
    }
    // The depth the layer's own drawing leaves behind.
    if (any) zDDraw.RenderZ = last;
    return true;
}

}  // namespace tarv
