// The reflections of the mirrors pass: a sprite's own image drawn upside down
// below its ground point and squashed vertically by a factor (0.75 for items
// and characters, 1 for the cursor). Everything draws in the current blend
// mode, global transparency and diffuse colour; the sprite's own transparency
// and flip bits play no part. Nothing here traps failures.
#pragma once

namespace zun {
class zCamera;
class zItemMap;
class zSprite;
}  // namespace zun

namespace tarv {

// One sprite's reflection, iZoomY times its drawn height, hanging from its
// ground point (lowered by its height above the ground times iZoomY). A
// sprite below the ground line (Z < 0) is drawn upright and unsquashed,
// -Z pixels lower than it stands.
void RenderMirrorItem(const zun::zSprite& iSprite, const zun::zCamera& iCam, float iZoomY);

// The reflections of the layer's mirrored items in view, each at the depth
// the layer gives it ("_z" at the top of the view, "_z2" one view height lower).
void ItemMapRenderMirrors(const zun::zItemMap& iMap, const zun::zCamera& iCam, float iZoomY);

}  // namespace tarv
