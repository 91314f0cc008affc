#include "game/effects/gMirrors.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gItemsInView.h"
#include "scene/zCamera.h"
#include "scene/zItemMap.h"
#include "scene/zLayer.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

void RenderMirrorItem(const zSprite& iSprite, const zCamera& iCam, float iZoomY) {
    const double k = iZoomY;
    const double h = double(iSprite.ZoomY) * iSprite.H;
    const double ox = double(iSprite.OriginX) * iSprite.ZoomX, oy = double(iSprite.OriginY) * iSprite.ZoomY;
    const float X = ToSingle(double(iSprite.x) - Int(iCam.x) - ox);
    const float width = ToSingle(Int(double(iSprite.ZoomX) * iSprite.W));
    // A reflection turns the other way.
    const float angle = -iSprite.R;
    if (iSprite.Z >= 0) {
        // Drawn with a negative height from two heights below the top, so the
        // image hangs upside down from the ground point.
        const float Y =
            ToSingle(double(iSprite.y) + 2 * h * k - Int(iCam.y) - oy * k + double(iSprite.Z) * k);
        zDDraw.BltRotate(iSprite.Texture, X, Y, width, ToSingle(-Int(h * k)), iSprite.SrcX, iSprite.SrcY,
                         int32_t(iSprite.W), int32_t(iSprite.H), zDDraw.DiffuseColor, angle, ToSingle(ox),
                         ToSingle(oy * k - 2 * h * k), 1.0f, 0);
    } else {
        const float Y = ToSingle(double(iSprite.y) - Int(iCam.y) - oy - 2.0 * iSprite.Z);
        zDDraw.BltRotate(iSprite.Texture, X, Y, width, ToSingle(Int(h)), iSprite.SrcX, iSprite.SrcY,
                         int32_t(iSprite.W), int32_t(iSprite.H), zDDraw.DiffuseColor, angle, ToSingle(ox),
                         ToSingle(oy), 1.0f, 0);
    }
}

void ItemMapRenderMirrors(const zItemMap& iMap, const zCamera& iCam, float iZoomY) {
    zCore.CurrentProc = "ItemMapRenderMirrors";
    if (iMap.W == 0 || iMap.H == 0 || iMap.TileW == 0) return;
    const float z = iMap.MetaSingle("_z"), z2 = iMap.MetaSingle("_z2");
    ForEachItemInView(iMap, iCam, [&](const zItem& item) {
        if (!item.Mirrored) return;
        zDDraw.RenderZ = LayerDepth(z, z2, double(item.Sprite->y) - iCam.y, iCam.H);
        RenderMirrorItem(*item.Sprite, iCam, iZoomY);
    });
}

}  // namespace tarv
