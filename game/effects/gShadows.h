// The single shadows of the shadows pass. A cast shadow is not worked out
// from the sprite's pixels: the shadow texture ("Demo Shadow.png", whole and
// white) is stretched over a four-cornered quad that starts at the sprite's
// foot, on the side of the light, and reaches away from it; its darkness is
// the global transparency. Only the cut-out silhouette uses the sprite's own
// image. Everything draws in the current blend mode, depth and colour except
// where noted; nothing here traps failures.
#pragma once

namespace zun {
class zCamera;
class zCollisionMap;
class zItemMap;
class zSprite;
}  // namespace zun

namespace tarv {

// Point-light shadows of the layer's shadow-casting items in view whose raised
// point (x, y - Z) lies within 192 pixels of the light.
void SpriteMap_RenderShadows(const zun::zItemMap& iMap, const zun::zCamera& iCam, float iLightX,
                             float iLightY);

// Sun shadows of the layer's shadow-casting items in view.
void ItemMapRenderAmbientShadows(const zun::zItemMap& iMap, const zun::zCollisionMap* iCollision,
                                 const zun::zCamera& iCam, float iSunAngle, float iSunLength,
                                 float iSunAlpha);

// One sprite's shadow away from a point light. Drawn only while the light is
// between half and four times the sprite's height (held to 16..128) away;
// darkest (transparency 0.5) at one height, fading out towards both limits.
// Sets the global transparency.
void RenderSpriteShadow(const zun::zSprite& iSprite, const zun::zCamera& iCam, float iLightX, float iLightY);

// One sprite's shadow away from the sun, iSunLength pixels long, at
// transparency iSunAlpha. A sprite whose collision test point (half a cell
// to its left) is blocked casts none. Sets the global transparency.
void RenderAmbientShadow(const zun::zSprite& iSprite, const zun::zCollisionMap* iCollision,
                         const zun::zCamera& iCam, float iSunAngle, float iSunLength, float iSunAlpha);

// The soft ellipse under a sprite's foot, half as tall as wide; it shrinks as
// the sprite rises, down to 8 pixels wide.
void RenderBaseShadow(const zun::zSprite& iSprite, const zun::zCamera& iCam);

// The sprite drawn as its own drawing would draw it at zoom iZoom, but never
// mirrored and without touching the global transparency; with blend mode 127
// and a white diffuse colour this is its white silhouette.
void RenderCharShadow(const zun::zSprite& iSprite, const zun::zCamera& iCam, float iZoom);

}  // namespace tarv
