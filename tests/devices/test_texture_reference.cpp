// Texture references in streams: the stored bytes and the way back through
// the cache.
#include "DeviceTestSupport.h"
#include "core/zStream.h"

namespace zun::test {
namespace {

class TextureReference : public RecordingDevice {
protected:
    TempDir dir;
    void SetUp() override {
        RecordingDevice::SetUp();
        zDDraw.TexturePath = dir.Path();
        WritePng(dir.HostPath("Tree.png"), 2, 2, std::vector<uint8_t>(16, 255));
    }
};

TEST_F(TextureReference, StoredAsNameKeyAndSmoothFlag) {
    int32_t t = zDDraw.LoadTexture("Tree.png", true, 0, 1, 0);
    ASSERT_GT(t, 0);
    zStream s;
    zDDraw.Texture_Export(s, t);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(Hex("08 00 00 00 54 72 65 65 2E 70 6E 67 00 00 00 00 01")));

    s.Cursor = 0;
    int32_t back = -7;
    zDDraw.Texture_Import(s, back);
    EXPECT_EQ(back, t);  // the cache hands the loaded entry back
    EXPECT_EQ(zDDraw.TextureCount, 1);

    int32_t keyed = zDDraw.LoadTexture("Tree.png", false, int32_t(0xFFFF00FFu), 1, 0);
    zStream k;
    zDDraw.Texture_Export(k, keyed);
    EXPECT_EQ(ToHex(k.Bytes()), ToHex(Hex("08 00 00 00 54 72 65 65 2E 70 6E 67 FF 00 FF FF 00")));
}

TEST_F(TextureReference, NoTextureAndTargetsStoreAnEmptyName) {
    zStream s;
    zDDraw.Texture_Export(s, -1);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(Hex("00 00 00 00 00 00 00 00 00")));
    int32_t rt = zDDraw.CreateRenderTarget(32);
    zStream r;
    zDDraw.Texture_Export(r, rt);
    zDDraw.Texture_Export(r, 0);
    EXPECT_EQ(r.GetLength(), 18);
    EXPECT_EQ(r.Bytes()[0], 0);

    LogCapture log;
    s.Cursor = 0;
    int32_t t = 5;
    zDDraw.Texture_Import(s, t);
    EXPECT_EQ(t, 0);
    EXPECT_TRUE(log.Contains("WARN\tLoadTexture\tNo filename given"));
    EXPECT_THROW(zDDraw.Texture_Export(s, 99), RuntimeError);
}

TEST_F(TextureReference, ATruncatedReferenceFailsToTheCaller) {
    zStream s(Hex("08 00 00 00 54 72 65"));
    int32_t t = 3;
    EXPECT_THROW(zDDraw.Texture_Import(s, t), RuntimeError);
    EXPECT_EQ(t, 3);
    EXPECT_EQ(zDDraw.TextureCount, 0);
}

}  // namespace
}  // namespace zun::test
