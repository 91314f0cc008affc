// Reflections in water. The mirrors pass draws what the water shows into the
// mirror target with the camera snapped to a grid of two target texels, and
// blacks out every cell that is not water; DrawMirrors lays the target over
// the ground shifted by the same snapping offset, whole or in thin strips
// moved sideways by a wave fixed to the ground.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/effects/gMirrors.h"
#include "game/effects/gParticleSystem.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/mClock.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

namespace {

// More strips than this would not fit any screen; the wave stops there.
constexpr double kMaxStrips = 65536;
// A row range that holds every strip, however far down the wave reaches.
constexpr double kAllRows = std::numeric_limits<double>::infinity();

// Side of the mirror target in texels; 0 when there is no usable target.
int32_t MirrorSide() {
    const int32_t t = gCharTest.MirrorTarget;
    if (t < 1 || t > zDDraw.TextureCount || size_t(t) >= zDDraw.Textures.size()) return 0;
    return zDDraw.Textures[size_t(t)].W;
}

// Two target texels in screen pixels, and the camera position snapped to them.
struct Snap {
    double sX = 0, sY = 0;
    double x = 0, y = 0;
};

Snap SnapCamera(const zCamera& cam, int32_t side) {
    Snap s;
    s.sX = double(zDDraw.ScreenW) / (double(side) / 2.0);
    s.sY = double(zDDraw.ScreenH) / (double(side) / 2.0);
    // Halves go to the even neighbour.
    s.x = s.sX * std::nearbyint(double(cam.x) / s.sX) - s.sX / 2.0;
    s.y = s.sY * std::nearbyint(double(cam.y) / s.sY) - s.sY / 2.0;
    return s;
}

// The camera moved for the pass and put back afterwards, also when a step fails.
class CameraShift {
public:
    CameraShift(zCamera& cam, float x, float y) : cam_(cam), x_(cam.x), y_(cam.y) {
        cam.x = x;
        cam.y = y;
    }
    ~CameraShift() {
        cam_.x = x_;
        cam_.y = y_;
    }
    CameraShift(const CameraShift&) = delete;
    CameraShift& operator=(const CameraShift&) = delete;

private:
    zCamera& cam_;
    float x_, y_;
};

// The parts of the mirror target the mirrors pass last drew on: the water's
// cells, in the target's pixels; the rest of it holds the black it was
// cleared to. Told apart from a later drawing into the target by the target's
// texture and its count of scenes.
struct DrawnPart {
    TextureId texture = 0;
    uint32_t scenes = 0;
    std::vector<zDDrawModule::DrawArea> water;
    int32_t black = 0;  // the colour the target was cleared to
};
DrawnPart gDrawn;

// Lays the connected strips of the mirror target over the view in parts of
// the target's pixels. Where the water the mirrors pass drew on can land, and
// along the view's left and right edges, where the strips' ends swing, the
// strips themselves are drawn. Everywhere else the strips would only lay the
// cleared black, which adds nothing to the colour but still sets the depth and
// alpha; one quad in that black over exactly the rows the strips cover does the
// same for far less work than hundreds of strips a pixel high, each of which
// the renderer shades in blocks four rows high.
template <class Strips>
void DrawInParts(const DrawnPart& iDrawn, int32_t iSide, float iOffX, float iOffY, double iSwing, float iTop,
                 float iBottom, Strips&& iStrips) {
    double sx = 1, sy = 1;
    zDDraw.Scale(sx, sy);
    constexpr double kFar = double(1 << 20);
    auto pixel = [&](double v, bool up) {
        return int64_t(std::clamp(up ? std::ceil(v) : std::floor(v), -kFar, kFar));
    };
    // Columns that every strip covers from its top to its bottom, whatever its swing.
    const double screenW = double(zDDraw.ScreenW);
    const int64_t cL = pixel((iOffX + iSwing) * sx, true) + 1;
    const int64_t cR = pixel((screenW + iOffX - iSwing) * sx, false) - 1;
    if (cR <= cL) {
        iStrips(-kAllRows, kAllRows);
        return;
    }
    // Where a drawn texel can land: its place shifted by the image's offset and
    // any swing, widened by two texels for the rounding of the scaling, and
    // held to the columns between the edges.
    const double tw = screenW / iSide, th = double(zDDraw.ScreenH) / iSide;
    struct Box {
        int64_t x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    std::vector<int64_t> rows = {-int64_t(kFar), int64_t(kFar)};
    for (const auto& t : iDrawn.water) {
        Box b{pixel((iOffX - iSwing + (t.X - 2) * tw - 1) * sx, false),
              pixel((iOffY + (t.Y - 2) * th - 1) * sy, false),
              pixel((iOffX + iSwing + (double(t.X) + t.W + 2) * tw + 1) * sx, true),
              pixel((iOffY + (double(t.Y) + t.H + 2) * th + 1) * sy, true)};
        b.x0 = std::max(b.x0, cL);
        b.x1 = std::min(b.x1, cR);
        if (b.x1 <= b.x0 || b.y1 <= b.y0) continue;
        boxes.push_back(b);
        rows.push_back(b.y0);
        rows.push_back(b.y1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    const float left = ToSingle(double(std::min<int64_t>(cL, 0)) / sx - 2.0);
    const float right = ToSingle(std::max(double(cR), screenW * sx) / sx + 2.0);
    auto black = [&] {
        zDDraw.BltPolygon(0, left, iTop, right, iTop, right, iBottom, iDrawn.black, 0, 0, 0, 0, 0, 0);
        zDDraw.BltPolygon(0, left, iTop, right, iBottom, left, iBottom, iDrawn.black, 0, 0, 0, 0, 0, 0);
    };
    const zDDrawModule::DrawArea kept = zDDraw.Limit;
    struct GiveBack {
        const zDDrawModule::DrawArea& area;
        ~GiveBack() {
            try {
                zDDraw.RestoreDrawArea(area);
            } catch (...) {
            }
        }
    } giveBack{kept};
    // Strips are given only the part's rows: every strip is a pair of
    // triangles for the renderer to set up, wherever it is cut off.
    auto part = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool strips) {
        if (x1 <= x0 || y1 <= y0) return;
        if (!zDDraw.NarrowDrawArea({int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)})) return;
        if (strips) iStrips(double(y0) / sy, double(y1) / sy);
        else black();
        zDDraw.RestoreDrawArea(kept);
    };
    // The edges from top to bottom; between them, each band of rows between
    // the boxes' edges: the columns some box holds across the whole band, and
    // the black around them. A band that holds the same columns as the one
    // above it goes with it.
    part(-int64_t(kFar), -int64_t(kFar), cL, int64_t(kFar), true);
    part(cR, -int64_t(kFar), int64_t(kFar), int64_t(kFar), true);
    using Spans = std::vector<std::pair<int64_t, int64_t>>;
    auto held = [&](int64_t y0, int64_t y1) {
        Spans in, out;
        for (const Box& b : boxes)
            if (b.y0 <= y0 && b.y1 >= y1) in.emplace_back(b.x0, b.x1);
        std::sort(in.begin(), in.end());
        for (const auto& [x0, x1] : in) {
            if (!out.empty() && x0 <= out.back().second) out.back().second = std::max(out.back().second, x1);
            else out.emplace_back(x0, x1);
        }
        return out;
    };
    auto band = [&](int64_t y0, int64_t y1, const Spans& spans) {
        int64_t x = cL;
        for (const auto& [x0, x1] : spans) {
            part(x, y0, x0, y1, false);
            part(x0, y0, x1, y1, true);
            x = x1;
        }
        part(x, y0, cR, y1, false);
    };
    int64_t from = rows.front();
    Spans spans = held(rows[0], rows[1]);
    for (size_t i = 1; i + 1 < rows.size(); ++i) {
        Spans next = held(rows[i], rows[i + 1]);
        if (next == spans) continue;
        band(from, rows[i], spans);
        from = rows[i];
        spans = std::move(next);
    }
    band(from, rows.back(), spans);
}

// Seconds since midnight, as the game's Single clock gives them.
double TimeOfDay() { return double(ToSingle(mClock.Timer())); }

// The depth test back on however the pass ends.
struct DepthTestBackOn {
    DepthTestBackOn() = default;
    DepthTestBackOn(const DepthTestBackOn&) = delete;
    DepthTestBackOn& operator=(const DepthTestBackOn&) = delete;
    ~DepthTestBackOn() {
        try {
            zDDraw.SetDepthTest(true);
        } catch (...) {
        }
    }
};

void MirrorChars(const zCamera& cam, const std::vector<std::shared_ptr<gChar>>& chars, int32_t kept) {
    for (const auto& c : chars) {
        if (!c || !c->Item || !c->Sprite || !c->Item->Mirrored) continue;
        const zItem& item = *c->Item;
        zDDraw.DiffuseColor = item.Colored ? (item.Values ? item.Values->GetLong("_color", 0) : 0) : kept;
        RenderMirrorItem(*c->Sprite, cam, 0.75f);
    }
}

}  // namespace

void RenderMirrors() {
    auto& g = gCharTest;
    const std::shared_ptr<zCamera> camera = frmMain.Camera;
    if (!camera) Raise(errObjectNotSet);
    const int32_t side = MirrorSide();
    // Without a target there is no grid to snap to.
    if (side < 2) return;
    zCamera& cam = *camera;

    const Snap snap = SnapCamera(cam, side);
    const CameraShift shift(cam, ToSingle(snap.x), ToSingle(snap.y));
    // The water picture is drawn at half brightness.
    zDDraw.DiffuseColor = zDDraw.GetGrayColor(0.5f);
    const int32_t black = zDDraw.GetColorRGB(0, 0, 0);
    render::TargetScene scene(black, g.MirrorTarget);

    // Outside the water the mask below paints everything black, the colour the
    // target was just cleared to, so drawing there would be wasted: the mask
    // ignores depth, so no reflection can show through it.
    std::vector<zCollisionMap::ViewRect> water;
    gDrawn = {};
    float wx0 = 0, wy0 = 0, wx1 = 0, wy1 = 0;
    const float viewW = float(zDDraw.ScreenW), viewH = float(zDDraw.ScreenH);
    if (g.mapWater && g.mapWater->BlockedBounds(cam, 0, viewW, viewH, wx0, wy0, wx1, wy1) &&
        g.mapWater->BlockedRects(cam, 0, viewW, viewH, water)) {
        double sx = 1, sy = 1;
        zDDraw.Scale(sx, sy);
        std::vector<zDDrawModule::DrawArea> texels;
        for (const auto& r : water) {
            // As the draw area takes them: whole pixels and one more round.
            const double x0 = std::floor(r.x0 * sx) - 1, y0 = std::floor(r.y0 * sy) - 1;
            const double x1 = std::ceil(r.x1 * sx) + 1, y1 = std::ceil(r.y1 * sy) + 1;
            if (std::fabs(x0) < 1e9 && std::fabs(x1) < 1e9 && std::fabs(y0) < 1e9 && std::fabs(y1) < 1e9)
                texels.push_back({int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)});
        }
        const zDDrawModule::DrawArea area =
            zDDraw.SetDrawArea(wx0, wy0, std::max(wx1 - wx0, 0.0f), std::max(wy1 - wy0, 0.0f));
        const TextureEntry& e = zDDraw.Textures[size_t(g.MirrorTarget)];
        if (area.W > 0 && area.H > 0 && texels.size() == water.size())
            gDrawn = {e.Texture, e.Scenes, std::move(texels), black};
    }

    // The water picture is the back of the target, and the mask over
    // everything the front, wherever their layers' own depths would put them:
    // both are drawn without the depth buffer, so the reflections are tested
    // only against each other.
    const DepthTestBackOn depthBackOn;
    zDDraw.RenderZ = 1.0f;
    zDDraw.SetAlphaMode(0);
    if (g.picWater) {
        zDDraw.SetDepthTest(false);
        g.picWater->Render(cam);
        zDDraw.SetDepthTest(true);
    }

    zDDraw.SetAlphaMode(10);
    const bool objects = render::On("MirrorObjects");
    if (objects && g.mapItems) ItemMapRenderMirrors(*g.mapItems, cam, 0.75f);
    if (objects) {
        zDDraw.SetAlphaMode(10);
        const int32_t kept = zDDraw.DiffuseColor;
        MirrorChars(cam, g.Chars, kept);
        if (render::SettingByte("EnableDeco") != 0) MirrorChars(cam, g.Deco, kept);
        zDDraw.DiffuseColor = kept;
        zDDraw.SetAlphaMode(10);
        if (g.Cursor) RenderMirrorItem(*g.Cursor, cam, 1.0f);
    }
    if (render::On("ParticleSystem") && render::On("MirrorParticles") && g.Particles)
        g.Particles->RenderParticlesMirror(cam, 0, 0.75f);
    if (g.mapWater) {
        zDDraw.SetAlphaMode(1);
        zDDraw.SetDepthTest(false);
        g.mapWater->Render(cam, 0, black, 0);
        zDDraw.SetDepthTest(true);
    }
    scene.End();
}

void DrawMirrors(int32_t iColor, int32_t& iWaveSize, float iWaveFactor, bool iConnected) {
    const std::shared_ptr<zCamera> camera = frmMain.Camera;
    if (!camera) Raise(errObjectNotSet);
    const zCamera& cam = *camera;
    const int32_t target = gCharTest.MirrorTarget;
    const int32_t side = MirrorSide();
    if (iWaveSize == 0) iWaveSize = 1;
    if (side < 2) return;
    const double ws = double(ToSingle(double(iWaveSize)));
    const double strips = double(zDDraw.ScreenH) / ws;

    const Snap snap = SnapCamera(cam, side);
    const float offX = ToSingle(snap.x - Int(double(cam.x)));
    const float offY = ToSingle(snap.y - Int(double(cam.y)));
    const float screenW = float(zDDraw.ScreenW);

    if (iWaveFactor <= 0 || iWaveSize <= 0) {
        zDDraw.Blt(target, offX, offY, screenW, float(zDDraw.ScreenH), 0, 0, 0, 0, -1, 1.0f);
        return;
    }

    double lastStrip = std::nearbyint(strips / double(zDDraw.RenderZoom) - 1.0);
    if (!(lastStrip < kMaxStrips)) lastStrip = kMaxStrips;
    const int32_t last = int32_t(lastStrip);
    const double wf = iWaveFactor;
    // The strip's row counted in world strips keeps the wave fixed to the ground.
    const double row0 = (Int(double(cam.y)) + double(offY)) / ws;
    // Each strip's sideways shift, worked out once: connected strips may be
    // drawn in several parts, and every part must meet the next.
    static std::vector<double> shifts;
    shifts.resize(size_t(std::max(last + 1, 0)));
    for (int32_t i = 0; i <= last; ++i) {
        const double p = (row0 + i) * wf * ws / strips * 384.0 * ws;
        const double c = std::cos(3.0 * (TimeOfDay() + p / 5.0));
        shifts[size_t(i)] = std::sin(2.0 * (TimeOfDay() + p * wf) + 50.0 * p) * c * wf;
    }

    if (!iConnected) {
        for (int32_t i = 0; i <= last; ++i) {
            const double d = shifts[size_t(i)];
            const int32_t srcY = CLng(std::nearbyint(double(side) * i / strips));
            const int32_t srcH = CLng(std::nearbyint(double(side) / strips + 0.5));
            zDDraw.Blt(target, ToSingle(d + offX), ToSingle(ws * i + offY), screenW, ToSingle(ws), 0, srcY,
                       int32_t(side), srcH, iColor, 1.0f);
        }
        return;
    }

    // The strips with a row between `from` and `to` (logical pixels).
    auto drawStrips = [&](double from, double to) {
        for (int32_t i = 1; i <= last; ++i) {
            const float y0 = ToSingle(ws * i + offY - ws), y1 = ToSingle(ws * i + offY);
            if (double(y1) + ws < from || double(y0) - ws > to) continue;
            const double dPrev = shifts[size_t(i - 1)], d = shifts[size_t(i)];
            const float v0 = ToSingle((i - 1) / strips), v1 = ToSingle(i / strips);
            const float topL = ToSingle(dPrev + offX), topR = ToSingle(screenW + dPrev + offX);
            const float botL = ToSingle(d + offX), botR = ToSingle(screenW + d + offX);
            zDDraw.BltPolygon(target, topL, y0, topR, y0, botR, y1, iColor, 0, v0, 1, v0, 1, v1);
            zDDraw.BltPolygon(target, topL, y0, botR, y1, botL, y1, iColor, 0, v0, 1, v1, 0, v1);
        }
    };
    const TextureEntry& e = zDDraw.Textures[size_t(target)];
    if (last < 1 || gDrawn.texture == 0 || gDrawn.texture != e.Texture || gDrawn.scenes != e.Scenes) {
        drawStrips(-kAllRows, kAllRows);
        return;
    }
    // The strips' first top and last bottom, as the strips have them.
    DrawInParts(gDrawn, side, offX, offY, std::fabs(wf), ToSingle(ws * 1 + offY - ws),
                ToSingle(ws * last + offY), drawStrips);
}

}  // namespace tarv
