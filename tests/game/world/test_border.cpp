// The frame: made by the object factory, its stored form (only the meta
// record), and the nine pieces and the fill it draws.
#include "WidgetTestSupport.h"
#include "core/zRegistry.h"
#include "core/zValues.h"
#include "game/world/gBorder.h"

namespace tarv::test {
namespace {

using zun::test::layers::Quad;

class BorderTest : public WidgetTest {
protected:
    gBorder frame;

    void SetUp() override {
        WidgetTest::SetUp();
        frame.Texture = AddTexture(64, 64, "frame.png");
        frame.OffsetX = 8;
        frame.OffsetY = 4;
        frame.EdgeW = 6;
        frame.EdgeH = 5;
        frame.BorderW = 20;
        frame.BorderH = 10;
        frame.FillX = 2;
        frame.FillY = 3;
        frame.FillColor = zDDrawModule::GetColorRGB(0, 0, 1);
        frame.SetPosition(100, 50);
    }
    std::vector<RecordedDraw> Fills() const {
        std::vector<RecordedDraw> out;
        for (const auto& d : rec->Draws)
            if (!d.Textured && d.Prim == Primitive::TriangleStrip) out.push_back(d);
        return out;
    }
    static void ExpectPiece(const Quad& q, float x, float y, float w, float h, float sx, float sy, float sw,
                            float sh) {
        EXPECT_FLOAT_EQ(q.Left(), x);
        EXPECT_FLOAT_EQ(q.Top(), y);
        EXPECT_FLOAT_EQ(q.Width(), w);
        EXPECT_FLOAT_EQ(q.Height(), h);
        EXPECT_NEAR(q.U[0] * 64, sx, 1e-3);
        EXPECT_NEAR(q.V[0] * 64, sy, 1e-3);
        EXPECT_NEAR((q.U[1] - q.U[0]) * 64, sw, 1e-3);
        EXPECT_NEAR((q.V[3] - q.V[0]) * 64, sh, 1e-3);
        EXPECT_EQ(q.Color, 0xFFFFFFFFu);
    }
};

TEST_F(BorderTest, MadeByNameAndStoredAsItsMetaRecordOnly) {
    RegisterClass(std::make_shared<gBorder>());
    auto made = std::dynamic_pointer_cast<gBorder>(CreateClass("gBorder", true));
    ASSERT_NE(made, nullptr);
    ASSERT_NE(made->Meta, nullptr);
    EXPECT_EQ(made->GUID.size(), 32u);
    made->Meta->SetSingle("_Alpha", 0.25f);
    made->Meta->SetString("__Name", "Border");

    zFile out;
    out.AddInstance(made);
    out.ExportToStreams();
    zValues metaOnly;
    metaOnly.SetSingle("_Alpha", 0.25f);
    metaOnly.SetString("__Name", "Border");
    zStream expected;
    metaOnly.Export(expected);
    EXPECT_EQ(out.GetChunk(1)->Data.Bytes(), expected.Bytes());

    zStream file;
    ASSERT_TRUE(out.SaveToStream(&file));
    zFile in;
    ASSERT_TRUE(in.LoadFromStream(&file));
    in.ImportFromStreams();
    auto back = std::dynamic_pointer_cast<gBorder>(in.FindInstance("Border"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GUID, made->GUID);
    EXPECT_FLOAT_EQ(back->Meta->GetSingle("_Alpha"), 0.25f);
}

TEST_F(BorderTest, NinePiecesAndTheFill) {
    frame.SetSize(100, 60);
    frame.Render();
    auto fills = Fills();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_FLOAT_EQ(fills[0].Vertices[0].X, 102);
    EXPECT_FLOAT_EQ(fills[0].Vertices[0].Y, 53);
    EXPECT_FLOAT_EQ(fills[0].Vertices[3].X, 102 + 96);
    EXPECT_FLOAT_EQ(fills[0].Vertices[3].Y, 53 + 54);
    auto q = Quads();
    ASSERT_EQ(q.size(), 8u);
    // Edges first (top, bottom, left, right), then the corners.
    ExpectPiece(q[0], 106, 50, 88, 5, 14, 4, 20, 5);
    ExpectPiece(q[1], 106, 105, 88, 5, 14, 19, 20, 5);
    ExpectPiece(q[2], 100, 55, 6, 50, 8, 9, 6, 10);
    ExpectPiece(q[3], 194, 55, 6, 50, 34, 9, 6, 10);
    ExpectPiece(q[4], 100, 50, 6, 5, 8, 4, 6, 5);
    ExpectPiece(q[5], 194, 50, 6, 5, 34, 4, 6, 5);
    ExpectPiece(q[6], 100, 105, 6, 5, 8, 19, 6, 5);
    ExpectPiece(q[7], 194, 105, 6, 5, 34, 19, 6, 5);
}

TEST_F(BorderTest, TooSmallFrameGrowsToItsCornersAndKeepsThatSize) {
    frame.SetSize(12, 4);  // exactly two edges wide, lower than two edges
    frame.FillColor = 0;   // and no background
    frame.Render();
    EXPECT_FLOAT_EQ(frame.W, 12);
    EXPECT_FLOAT_EQ(frame.H, 10);
    EXPECT_TRUE(Fills().empty());
    EXPECT_EQ(Quads().size(), 4u);  // corners only
}

TEST_F(BorderTest, MetaValuesSteerTheDrawingState) {
    frame.SetSize(100, 60);
    frame.Render();  // an empty meta record: mode 0, point filter, depth 0, opaque
    EXPECT_EQ(zDDraw.RenderZ, 0);
    EXPECT_EQ(zDDraw.GlobalAlpha, 0);
    EXPECT_FALSE(Quads().empty());

    frame.Meta->SetLong("_AlphaMode", 2);
    frame.Meta->SetSingle("_z", 0.5f);
    frame.Meta->SetSingle("_AlphaBG", 0.3f);
    frame.Meta->SetSingle("_Alpha", 0.6f);
    frame.Render();
    auto fills = Fills();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_NEAR(double(fills[0].Vertices[0].Color >> 24), 255 - 0.3 * 255, 1);  // the fill's own transparency
    EXPECT_FLOAT_EQ(zDDraw.RenderZ, 0.5f);
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 0.6f);  // the pieces' transparency
    auto q = Quads();
    ASSERT_FALSE(q.empty());
    EXPECT_FLOAT_EQ(q[0].Z, 0.5f);
}

}  // namespace
}  // namespace tarv::test
