// The render pipeline on the recording backend: the order of the layers and
// their blend modes, the off-screen passes' targets, the switches, the lens,
// the view frame, and the debug overlay.
#include <map>

#include "RenderTestSupport.h"
#include "devices/zFont.h"
#include "game/world/gCharset.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"

namespace tarv::test {
namespace {

class PipelineTest : public RenderTest {
protected:
    int32_t ground = 0, maskGround = 0, walls = 0, maskWalls = 0, roof = 0, items = 0, doors = 0, clouds = 0,
            fog = 0;

    std::shared_ptr<zPictureLayer> Picture(int32_t& tex) {
        auto p = std::make_shared<zPictureLayer>();
        p->Texture = tex = AddTexture(64, 64);
        return p;
    }
    void BuildLevel() {
        auto& g = gCharTest;
        g.solidGround = TileLayer(ground);
        g.maskGround = TileLayer(maskGround);
        g.solidWalls = TileLayer(walls);
        g.maskWalls = TileLayer(maskWalls);
        g.maskRoof = TileLayer(roof);
        auto item = Item("chest", "", 100, 100);
        item->Sprite->Texture = items = AddTexture(32, 32);
        g.mapItems = ItemLayer({item});
        auto door = Item("door", "", 150, 100);
        door->Sprite->Texture = doors = AddTexture(32, 32);
        g.mapDoors = ItemLayer({door});
        g.picClouds = Picture(clouds);
        g.picFog = Picture(fog);
        g.mapWater = std::make_shared<zCollisionMap>();
        g.mapWater->SetTileSize(32);
        g.mapWater->SetSize(4, 4);
        g.Player->Item->Visible = true;
        g.Chars = {g.Player};
    }
};

TEST_F(PipelineTest, TheFrameDrawsItsStepsInOrderWithTheirBlendModes) {
    BuildLevel();
    for (const char* key : {"RenderGround", "RenderWalls", "RenderSprites", "RenderChars", "RenderRoof",
                            "RenderOthers", "Lighting", "Shadows", "Mirrors"})
        Set(key, 1);
    const auto d = Frame();

    // The passes draw into their targets in the order shadows, lights, mirrors.
    std::vector<std::string> targets;
    for (const auto& c : rec->Calls)
        if (c.rfind("SetRenderTarget ", 0) == 0 && c != "SetRenderTarget 0") targets.push_back(c.substr(16));
    const auto id = [](int32_t h) { return std::to_string(Id(h)); };
    ASSERT_GE(targets.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(targets.begin(), targets.begin() + 3),
              (std::vector<std::string>{id(gCharTest.ShadowTarget), id(gCharTest.LightTarget),
                                        id(gCharTest.MirrorTarget)}));

    const std::vector<std::pair<int32_t, int32_t>> steps = {
        {ground, 0},   {maskGround, 1}, {gCharTest.MirrorTarget, 11}, {walls, 0}, {maskWalls, 1}, {items, 1},
        {doors, 1},    {gCharTest.Player->Sprite->Texture, 1}, {roof, 1}, {clouds, 14}, {fog, 11},
        {gCharTest.LightTarget, 14}, {gCharTest.Cursor->Texture, 2}};
    // The ground is laid from its copy: the target its tiles were drawn into.
    TextureId groundCopy = 0;
    for (const auto& r : d)
        if (r.Textured && r.Texture == Id(ground) && r.Target != 0) groundCopy = r.Target;
    ASSERT_NE(groundCopy, 0u);
    int last = -1;
    for (const auto& [tex, mode] : steps) {
        int at = First(d, tex);
        if (tex == ground)
            for (size_t i = 0; i < d.size() && at < 0; ++i)
                if (d[i].Textured && d[i].Texture == groundCopy && d[i].Target == 0) at = int(i);
        ASSERT_GT(at, last) << "texture " << tex;
        EXPECT_TRUE(Blend(d[size_t(at)], mode)) << "texture " << tex;
        last = at;
    }
    // With lighting on the shadows reach the frame through the light map only.
    EXPECT_EQ(First(d, gCharTest.ShadowTarget), -1);
    EXPECT_EQ(records, std::vector<std::string>{"interface"});
    EXPECT_EQ(rec->Calls.back().rfind("Present", 0), 0u);
}

TEST_F(PipelineTest, TheSwitchesLeaveOutTheirSteps) {
    BuildLevel();
    auto hidden = Char(200, 200);
    hidden->Sprite->Texture = AddTexture(8, 8);
    gCharTest.Chars.push_back(hidden);
    gCharTest.Player->Item->Colored = true;  // no "_color": drawn in colour 0

    // Everything off: the ambient colour, the interface with its cursor and the frame.
    auto d = Frame();
    std::vector<const RecordedDraw*> textured, plain;
    for (const auto& r : d) (r.Textured ? textured : plain).push_back(&r);
    ASSERT_EQ(textured.size(), 1u);
    EXPECT_EQ(textured[0]->Texture, Id(gCharTest.Cursor->Texture));
    EXPECT_EQ(textured[0]->State.TextureFactor >> 24, 128u);  // half transparent: out of reach
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(uint32_t(plain[0]->Vertices[0].Color), 0xFF336699u);
    EXPECT_TRUE(Blend(*plain[0], 14));
    EXPECT_EQ(First(d, gCharTest.MirrorTarget, gCharTest.MirrorTarget), -1);

    Set("RenderChars", 1);
    Set("Shadows", 1);
    d = Frame();
    EXPECT_EQ(QuadCount(d, hidden->Sprite->Texture), 0);
    ASSERT_EQ(QuadCount(d, gCharTest.Player->Sprite->Texture), 1);
    EXPECT_EQ(d[size_t(First(d, gCharTest.Player->Sprite->Texture))].Vertices[0].Color, 0u);
    EXPECT_EQ(QuadCount(d, gCharTest.ShadowTarget), 1);  // lighting off: the shadow map is laid on

    gCharTest.Settings->SetLong("DebugMap", 3);
    EXPECT_EQ(QuadCount(Frame(), gCharTest.MirrorTarget), 1);
    gCharTest.Settings->SetLong("DebugMap", 4);
    EXPECT_EQ(Frame().size(), d.size());

    // No water layer: no reflections, whatever "Mirrors" says.
    gCharTest.mapWater.reset();
    Set("Mirrors", 1);
    EXPECT_EQ(QuadCount(Frame(), gCharTest.MirrorTarget), 0);
    EXPECT_EQ(std::count(rec->Calls.begin(), rec->Calls.end(), "SetRenderTarget " + std::to_string(Id(gCharTest.MirrorTarget))), 0);

    gCharTest.GameUpdates = false;
    records.clear();
    EXPECT_EQ(QuadCount(Frame(), gCharTest.Cursor->Texture), 0);
    EXPECT_TRUE(records.empty());
}

TEST_F(PipelineTest, TheLensHoldsTheSceneAndTheFrameScalesWithTheZoom) {
    Set("RenderChars", 1);
    gCharTest.Player->Item->Visible = true;
    gCharTest.Chars = {gCharTest.Player};
    gCharTest.Lens = Object("Lens");
    gCharTest.RenderBuffer = 1;
    zDDraw.RenderZoom = 2.0f;
    const auto d = Frame();
    EXPECT_EQ(records, (std::vector<std::string>{"begin", "interface", "render"}));
    EXPECT_GE(First(d, gCharTest.Player->Sprite->Texture, gCharTest.RenderBuffers[1]), 0);
    EXPECT_EQ(zDDraw.RenderZoom, 2.0f);

    // The frame is drawn on the back buffer: four bands of 4 / 2 units, 4 pixels at zoom 2.
    std::vector<const RecordedDraw*> bands;
    for (const auto& r : d)
        if (!r.Textured && r.Target == 0) bands.push_back(&r);
    ASSERT_GE(bands.size(), 4u);
    float minX = 1e9f, maxX = -1e9f;
    for (const auto& p : bands[bands.size() - 4]->Vertices) {  // the left band
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
    }
    EXPECT_NEAR(maxX - minX, 4.0f, 0.01f);
}

// ---- the debug overlay -------------------------------------------------------

TEST(DebugOverlayTime, GameTimeIsAFractionOfADay) {
    EXPECT_EQ(FormatGameTime(750), "18:00");
    EXPECT_EQ(FormatGameTime(1000), "00:00");
    EXPECT_EQ(FormatGameTime(0), "00:00");
    EXPECT_EQ(FormatGameTime(1250), "06:00");
}

class DebugOverlayTest : public RenderTest {
protected:
    int32_t font = 0;

    void SetUp() override {
        RenderTest::SetUp();
        FontEntry f;
        f.Name = "arial";
        f.Texture = font = AddTexture(256, 256);
        f.Width.fill(16);
        zFont.Fonts.push_back(f);
        zFont.FontCount = 1;
        gCharTest.FontArial = 1;
    }
    // The overlay's lines by their y, read back from the glyph cells drawn.
    std::map<int, std::string> Lines() {
        const auto quads = Quads();
        std::map<int, std::vector<std::pair<float, char>>> rows;
        for (const auto& q : quads) {
            if (q.Texture != Id(font)) continue;
            const int col = int(q.U[0] * 16 + 0.01f), row = int(q.V[0] * 16 + 0.01f);
            rows[int(q.Top() + 0.5f)].push_back({q.Left(), char(row * 16 + col)});
        }
        std::map<int, std::string> out;
        for (auto& [y, glyphs] : rows) {
            std::sort(glyphs.begin(), glyphs.end());
            for (const auto& gl : glyphs) out[y] += gl.second;
        }
        return out;
    }
};

TEST_F(DebugOverlayTest, TheOverlayNamesWhatIsUnderTheCursor) {
    zDDraw.FPS = 42;
    gCharTest.GameTime = 750;
    auto guard = Char(320, 260);
    guard->Item->KeyName = "guard";
    guard->Item->ClassName_ = "Walker";
    guard->Item->ScriptObject = zScriptObject::New();
    gCharTest.Player->Sprite->SetPosition(320, 260);  // also under the cursor: never named
    gCharTest.Chars = {gCharTest.Player, guard};
    auto lines = (RenderDebugData(), Lines());
    EXPECT_EQ(lines[10], "42");
    EXPECT_EQ(lines[25], "18:00");
    EXPECT_EQ(lines.count(40), 1u);
    EXPECT_EQ(lines[60], "guard [Walker]");
    EXPECT_EQ(lines.count(75) + lines.count(90) + lines.count(105), 0u);

    guard->Item->ScriptObject.reset();
    Set("DisableTimer", 1);
    lines = (RenderDebugData(), Lines());
    EXPECT_EQ(lines[10], "42 (max)");
    EXPECT_EQ(lines[60], "guard");

    // Right-aligned to the view, which full screen makes narrower than the buffer.
    zDDraw.ScreenW = 640;
    zDDraw.ViewW = 512;
    rec->ClearLog();
    RenderDebugData();
    float right = 0;
    for (const auto& q : Quads())
        if (q.Texture == Id(font)) right = std::max(right, q.Left() + q.Width());
    EXPECT_GT(right, 480.0f);
    EXPECT_LE(right, 502.0f);

    // F4: the frame draws the overlay only while the switch is on.
    frmMain.ShowDebug = false;
    EXPECT_EQ(QuadCount(Frame(), font), 0);
    frmMain.ShowDebug = true;
    EXPECT_GT(QuadCount(Frame(), font), 0);
}

}  // namespace
}  // namespace tarv::test
