// Work the frame leaves out, on the real OpenGL frame (offscreen): the
// ground laid from its copy, the light map multiplied by the shadow map only
// where shadows were drawn, the reflection's wave strips drawn only where the
// water can show. Each gives the pixels the full work gives, drawn in the same
// frame by the full work, and is seen to leave that work out.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "PixelTestSupport.h"
#include "game/shell/gGroundCopy.h"

namespace tarv::test {
namespace {

// Passes every call on to the real backend and counts, per target, the
// pixels the textured triangles of the draws it is told to count cover, each
// triangle by its box cut to the target and its draw area.
class CoverageCounter : public RenderBackend {
public:
    explicit CoverageCounter(std::unique_ptr<RenderBackend> real) : real_(std::move(real)) {}
    std::function<bool(const DrawState&, TextureId)> Counts;
    double Covered(TextureId target) const {
        auto it = std::find_if(covered_.begin(), covered_.end(), [&](const auto& c) { return c.first == target; });
        return it == covered_.end() ? 0 : it->second;
    }
    void Forget() { covered_.clear(); }

    const char* Name() const override { return real_->Name(); }
    TextureId CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) override { return real_->CreateTexture(w, h, rgba); }
    bool UpdateTexture(TextureId t, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) override {
        return real_->UpdateTexture(t, x, y, w, h, rgba);
    }
    void DeleteTexture(TextureId t) override { real_->DeleteTexture(t); }
    bool TextureSize(TextureId t, int32_t& w, int32_t& h) const override { return real_->TextureSize(t, w, h); }
    TextureId CreateRenderTarget(int32_t side) override { return real_->CreateRenderTarget(side); }
    bool SetRenderTarget(TextureId t) override {
        area_ = {};
        return real_->SetRenderTarget(t);
    }
    TextureId CurrentTarget() const override { return real_->CurrentTarget(); }
    void CurrentTargetSize(int32_t& w, int32_t& h) const override { real_->CurrentTargetSize(w, h); }
    void Clear(bool color, uint32_t argb, bool depth, float z) override { real_->Clear(color, argb, depth, z); }
    void DrawTextured(const DrawState& st, Primitive prim, const TLVertex* v, int32_t n, TextureId tex) override {
        if (prim == Primitive::TriangleList && Counts && Counts(st, tex)) {
            int32_t w = 0, h = 0;
            real_->CurrentTargetSize(w, h);
            double x0 = 0, y0 = 0, x1 = w, y1 = h;
            if (area_[2] > 0) x0 = area_[0], y0 = area_[1], x1 = area_[0] + area_[2], y1 = area_[1] + area_[3];
            double px = 0;
            for (int32_t i = 0; i + 2 < n; i += 3) {
                const double l = std::max(x0, double(std::min({v[i].X, v[i + 1].X, v[i + 2].X})));
                const double r = std::min(x1, double(std::max({v[i].X, v[i + 1].X, v[i + 2].X})));
                const double t = std::max(y0, double(std::min({v[i].Y, v[i + 1].Y, v[i + 2].Y})));
                const double b = std::min(y1, double(std::max({v[i].Y, v[i + 1].Y, v[i + 2].Y})));
                if (r > l && b > t) px += (r - l) * (b - t) / 2;
            }
            const TextureId target = real_->CurrentTarget();
            auto it = std::find_if(covered_.begin(), covered_.end(), [&](const auto& c) { return c.first == target; });
            if (it == covered_.end()) covered_.emplace_back(target, px);
            else it->second += px;
        }
        real_->DrawTextured(st, prim, v, n, tex);
    }
    void DrawColored(const DrawState& st, Primitive prim, const ColorVertex* v, int32_t n) override {
        real_->DrawColored(st, prim, v, n);
    }
    bool ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) override {
        return real_->ReadPixels(x, y, w, h, rgba);
    }
    void Present(int32_t w, int32_t h) override { real_->Present(w, h); }
    void SetDrawArea(int32_t x, int32_t y, int32_t w, int32_t h) override {
        area_ = {x, y, w, h};
        real_->SetDrawArea(x, y, w, h);
    }
    int32_t BackBufferWidth() const override { return real_->BackBufferWidth(); }
    int32_t BackBufferHeight() const override { return real_->BackBufferHeight(); }
    DeviceStatus Status() override { return real_->Status(); }
    bool Reset() override { return real_->Reset(); }

private:
    std::unique_ptr<RenderBackend> real_;
    std::array<int32_t, 4> area_{};
    std::vector<std::pair<TextureId, double>> covered_;
};

class FrameWork : public PixelTest {
protected:
    // Every pixel of a render target: R, G, B, A bytes.
    static std::vector<uint8_t> TargetPixels(int32_t target) {
        const TextureEntry& e = zDDraw.Textures[size_t(target)];
        std::vector<uint8_t> px;
        RenderBackend& dev = *zDDraw.Device;
        EXPECT_TRUE(dev.SetRenderTarget(e.Texture));
        EXPECT_TRUE(dev.ReadPixels(0, 0, e.W, e.H, px));
        dev.SetRenderTarget(0);
        return px;
    }
    static size_t Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        if (a.size() != b.size()) return std::max(a.size(), b.size());
        size_t n = 0;
        for (size_t i = 0; i < a.size(); i += 4) n += !std::equal(&a[i], &a[i] + 4, &b[i]);
        return n;
    }
};

// A ground of 16-pixel cells drawn from a sheet whose every texel differs from
// its neighbours, with animated cells, empty cells, turned and mirrored cells,
// and walls whose depth runs down the view between the ground's rows: laid from
// its copy, every frame is the frame the tiles give, at every zoom the keys
// and scripts can set, as the camera moves by fractions of a pixel and past the
// map's edges, as tiles animate and the map is edited. At whole zooms the
// copy is laid as a few quads in place of the cells' hundreds.
TEST_F(FrameWork, TheGroundLaidFromItsCopyIsTheGroundTheTilesDraw) {
    auto& g = gCharTest;
    for (const char* key : {"Lighting", "Shadows", "Mirrors", "RenderWeather", "RenderOthers", "ParticleSystem"})
        SetByte(key, 0);
    const int32_t sheet = Texture(256, 256, [](int x, int y) {
        return Rgb{(x * 7 + y * 3) % 256, (x * 5 + y * 11) % 256, (x ^ y) * 3 % 256};
    });
    auto set = std::make_shared<zTileSet>();
    set->SetTileSize(16);
    set->Texture = sheet;
    zTile& water = *set->GetTile(40);
    water.FramesX = 3;
    water.AniSpeed = 2;
    auto map = std::make_shared<zTileMap>();
    map->SetTileSize(16);
    map->SetSize(59, 39);
    map->AddTileSet(set);
    map->Meta = std::make_shared<zValues>();
    map->Meta->SetSingle("_z", 0.95f);
    map->Meta->SetSingle("_z2", 0.95f);
    for (int32_t y = 0; y <= 39; ++y)
        for (int32_t x = 0; x <= 59; ++x) {
            const bool hole = (x * 13 + y * 7) % 29 == 0;
            const bool pool = x >= 20 && x < 28 && y >= 12 && y < 18;
            map->SetTile(x, y, hole ? 0 : 1, pool ? 40 : uint8_t((x * 3 + y * 5) % 200), uint8_t((x + y) % 16));
        }
    g.solidGround = map;
    // Walls over the ground, their depth running from 0.96 at the top of the
    // view to 0.9 at its bottom: the upper ones lie behind the ground.
    auto walls = std::make_shared<zTileMap>();
    walls->SetTileSize(16);
    walls->SetSize(59, 39);
    walls->AddTileSet(set);
    walls->Meta = std::make_shared<zValues>();
    walls->Meta->SetSingle("_z", 0.96f);
    walls->Meta->SetSingle("_z2", 0.9f);
    for (int32_t y = 0; y <= 39; y += 3)
        for (int32_t x = y % 5; x <= 59; x += 4) walls->SetTile(x, y, 1, uint8_t(201 + x % 50), 0);
    g.solidWalls = walls;

    auto& cam = *frmMain.Camera;
    auto frame = [&](bool copy) {
        if (!frmMain.Ground) frmMain.Ground = std::make_shared<GroundCopy>();
        frmMain.Ground->Use = copy;
        zDDraw.BltCount = 0;
        const Frame f = Draw();
        return std::pair{f, zDDraw.BltCount};
    };
    for (const float zoom : {1.0f, 1.2f, 2.0f, 2.6f, 3.0f, 3.8f}) {
        float z = zoom;
        frmMain.SetRenderZoom(z);
        for (const auto& [x, y] : {std::pair{203.3f, 150.6f}, std::pair{203.7f, 150.9f}, std::pair{204.1f, 151.2f},
                                   std::pair{-37.4f, -21.8f}, std::pair{-36.9f, -21.5f}, std::pair{700.2f, 500.7f},
                                   std::pair{230.5f, 160.5f}}) {
            SCOPED_TRACE("zoom " + std::to_string(zoom) + " at " + std::to_string(x) + ", " + std::to_string(y));
            cam.x = x;
            cam.y = y;
            zCore.FrameCounter += 1;
            set->Update();
            if (x == 230.5f) map->SetTile(21, 13, 1, 77, 5);  // an edit inside the copy
            const auto [made, madeTriangles] = frame(true);
            const auto [copied, copiedTriangles] = frame(true);
            const auto [tiles, tileTriangles] = frame(false);
            EXPECT_EQ(Differing(made.Px, tiles.Px), 0u);
            EXPECT_EQ(Differing(copied.Px, tiles.Px), 0u);
            // At a whole zoom the copy, once made, is laid in place of the cells.
            if (zoom == std::floor(zoom)) {
                EXPECT_LT(copiedTriangles * 2, tileTriangles) << "the cells were drawn";
            }
        }
    }
}

// Shadows cast near the corners and edges of the view (where the map's filter
// reaches round to the other side) and in its middle: the light map is the one
// the whole product gives, drawn in the same frame with the shadow map's
// record forgotten; the product covers only part of it, and none of it when
// nothing casts a shadow.
TEST_F(FrameWork, TheLightMapIsMultipliedByTheShadowMapOnlyWhereShadowsFell) {
    auto& g = gCharTest;
    auto* counter = new CoverageCounter(std::move(zDDraw.Device));
    zDDraw.Device.reset(counter);
    // Blend mode 14, the product.
    counter->Counts = [](const DrawState& st, TextureId) {
        return st.BlendOp == BlendOp::RevSubtract && st.DestBlend == Blend::SrcColor;
    };
    frmMain.AmbientColor = zDDraw.GetColorRGB(0.2f, 0.2f, 0.2f);
    gEffects.ShadowTexture = Texture(64, 64, [](int, int) { return Rgb{0, 0, 0}; });
    std::vector<std::shared_ptr<zItem>> lamps;
    for (const auto& [x, y] : {std::pair{30.0f, 30.0f}, std::pair{610.0f, 470.0f}, std::pair{320.0f, 250.0f}}) {
        // A light wide enough to fall on the shadows round it.
        auto lamp = Thing(white, x, y, 320, 320);
        lamp->Sprite->OriginY = 160;
        lamp->Shadow = true;
        lamps.push_back(lamp);
    }
    g.mapLights = Layer(lamps);
    g.Chars.clear();
    for (const auto& [x, y] : {std::pair{8.0f, 40.0f}, std::pair{636.0f, 478.0f}, std::pair{350.0f, 260.0f}}) {
        auto c = Figure(x, y);
        c->Item->Shadow = true;
        g.Chars.push_back(c);
    }
    const TextureId lightTex = zDDraw.Textures[size_t(g.LightTarget)].Texture;
    auto lightMap = [&](bool forget) {
        counter->Forget();
        zDDraw.SetTextureFilter(1);
        RenderShadows();
        if (forget) {
            // A scene that keeps the target's pixels leaves what it holds unknown.
            zDDraw.BeginScene(0, g.ShadowTarget);
            zDDraw.EndTextureScene();
        }
        RenderLights();
        return TargetPixels(g.LightTarget);
    };
    const double whole = 512.0 * 512.0;
    for (const bool casting : {true, false}) {
        SCOPED_TRACE(casting ? "shadows cast" : "nothing casts");
        // Nothing at all: no caster and nothing to cut out.
        if (!casting) g.Chars.clear();
        for (auto& l : lamps) l->Shadow = casting;
        SetByte("BaseShadows", casting ? 1 : 0);
        SetByte("CursorShadows", casting ? 1 : 0);
        const std::vector<uint8_t> full = lightMap(true);
        EXPECT_GE(counter->Covered(lightTex), whole * 0.99);
        const std::vector<uint8_t> parts = lightMap(false);
        EXPECT_EQ(Differing(parts, full), 0u);
        if (casting) {
            EXPECT_LT(counter->Covered(lightTex), whole / 2);
        } else {
            EXPECT_EQ(counter->Covered(lightTex), 0.0);
        }
    }
}

// A pool narrower than the view and a figure mirrored in it, the wave on: the
// frame is the one the strips over the whole view give, drawn in the same
// frame with the mirror target's record of its water forgotten, and the
// strips cover little more than the water, its swing and the view's edges.
TEST_F(FrameWork, TheWaveStripsAreDrawnOnlyWhereTheWaterCanShow) {
    auto& g = gCharTest;
    auto* counter = new CoverageCounter(std::move(zDDraw.Device));
    zDDraw.Device.reset(counter);
    const TextureId mirror = zDDraw.Textures[size_t(g.MirrorTarget)].Texture;
    // The mirror target laid in blend mode 11: the strips.
    counter->Counts = [mirror](const DrawState& st, TextureId tex) {
        return tex == mirror && st.SrcBlend == Blend::One && st.DestBlend == Blend::InvSrcColor;
    };
    for (const char* key : {"Lighting", "Shadows", "RenderWeather", "RenderOthers", "ParticleSystem"}) SetByte(key, 0);
    g.mapWater = Pool(40, 30, 8, 4, 11, 8);  // 128 x 160 pixels
    g.picWater = std::make_shared<zPictureLayer>();
    g.picWater->Texture = Texture(64, 64, [](int x, int y) { return Rgb{20 + x, 40 + y, 120}; });
    g.picWater->Meta = std::make_shared<zValues>();
    g.picWater->Meta->SetLong("_StretchMode", 4);
    auto figure = Figure(320, 200);
    figure->Item->Mirrored = true;
    g.Chars = {figure};
    auto& cam = *frmMain.Camera;
    for (const auto& [x, y] : {std::pair{16.0f, 16.0f}, std::pair{3.4f, 2.7f}, std::pair{200.5f, 10.25f}}) {
        SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
        cam.x = x;
        cam.y = y;
        counter->Forget();
        const Frame parts = Draw();
        const double covered = counter->Covered(0);
        RenderGamePre();
        // A scene that keeps the target's pixels leaves what it holds unknown.
        zDDraw.BeginScene(0, g.MirrorTarget);
        zDDraw.EndTextureScene();
        RenderGame();
        Frame whole;
        ASSERT_TRUE(zDDraw.Device->ReadPixels(0, 0, 640, 480, whole.Px));
        EXPECT_EQ(Differing(parts.Px, whole.Px), 0u);
        // The water with its swing and its rounding, and the view's edges.
        EXPECT_LT(covered, 1.5 * 128.0 * 160.0 + 12.0 * 480.0);
    }
}

}  // namespace
}  // namespace tarv::test
