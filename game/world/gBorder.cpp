#include "game/world/gBorder.h"

#include "core/zValues.h"
#include "devices/zDDraw.h"

namespace tarv {

using namespace zun;

gBorder::gBorder() { Meta = std::make_shared<zValues>(); }

void gBorder::Render() {
    static const zValues none;
    const zValues& meta = Meta ? *Meta : none;
    const float E = float(EdgeW), F = float(EdgeH);
    const int32_t white = int32_t(0xFFFFFFFF);

    zDDraw.SetAlphaMode(meta.GetLong("_AlphaMode", 0));
    zDDraw.SetTextureFilter(meta.GetLong("_FilterMode", 0));
    zDDraw.RenderZ = meta.GetSingle("_z", 0);

    if (W < 2 * E) W = 2 * E;
    if (H < 2 * F) H = 2 * F;

    zDDraw.SetAlphaValue(meta.GetSingle("_AlphaBG", 0), 100);
    zDDraw.BltSurface(x + float(FillX), y + float(FillY), W - 2 * float(FillX), H - 2 * float(FillY), FillColor);

    zDDraw.SetAlphaValue(meta.GetSingle("_Alpha", 0), 100);
    auto piece = [&](float dx, float dy, float dw, float dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
        zDDraw.Blt(Texture, dx, dy, dw, dh, sx, sy, sw, sh, white, 1);
    };
    const int32_t right = OffsetX + EdgeW + BorderW, bottom = OffsetY + EdgeH + BorderH;
    if (W > 2 * E) {
        piece(x + E, y, W - 2 * E, F, OffsetX + EdgeW, OffsetY, BorderW, EdgeH);
        piece(x + E, y + H - F, W - 2 * E, F, OffsetX + EdgeW, bottom, BorderW, EdgeH);
    }
    if (H > 2 * F) {
        piece(x, y + F, E, H - 2 * F, OffsetX, OffsetY + EdgeH, EdgeW, BorderH);
        piece(x + W - E, y + F, E, H - 2 * F, right, OffsetY + EdgeH, EdgeW, BorderH);
    }
    piece(x, y, E, F, OffsetX, OffsetY, EdgeW, EdgeH);
    piece(x + W - E, y, E, F, right, OffsetY, EdgeW, EdgeH);
    piece(x, y + H - F, E, F, OffsetX, bottom, EdgeW, EdgeH);
    piece(x + W - E, y + H - F, E, F, right, bottom, EdgeW, EdgeH);
}

}  // namespace tarv
