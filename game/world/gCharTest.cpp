#include "game/world/gCharTest.h"

#include <algorithm>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDInput.h"
#include "game/world/gChar.h"
#include "game/world/gPath.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "scene/zSprite.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

gCharTestModule gCharTest;

// ---- controller stack ------------------------------------------------------

void gCharTestModule::PushController(const std::shared_ptr<iController>& iController) {
    zDInput.ResetKeyStates();
    if (!iController) return;
    // Held here: Assign may change the stack.
    const std::shared_ptr<tarv::iController> c = iController;
    Controllers.push_back(c);
    c->Assign();
    Controller = c;
}

void gCharTestModule::RemoveController(const iController* iController) {
    for (size_t i = Controllers.size(); i-- > 0;) {
        if (Controllers[i].get() != iController) continue;
        const std::shared_ptr<tarv::iController> c = Controllers[i];
        c->Remove();
        // Remove may itself have changed the stack: take out the uppermost
        // entry of this controller as it stands now.
        for (size_t j = Controllers.size(); j-- > 0;) {
            if (Controllers[j] == c) {
                Controllers.erase(Controllers.begin() + ptrdiff_t(j));
                break;
            }
        }
        break;
    }
    Controller = Controllers.empty() ? nullptr : Controllers.back();
    zDInput.ResetKeyStates();
}

// ---- hit tests ---------------------------------------------------------------

bool ItemHit(const zItem& iItem, float iX, float iY) {
    if (!iItem.Sprite) return false;
    const zSprite& s = *iItem.Sprite;
    if (s.ZoomX == 0.0f || s.ZoomY == 0.0f) return false;
    try {
        const Vector2 p = zMath::ToLocalPoint(iX, iY, s.x, ToSingle(double(s.y) - s.Z), s.OriginX, s.OriginY, s.R,
                                              s.ZoomX, s.ZoomY);
        return 0 <= p.x && p.x < s.W && 0 <= p.y && p.y < s.H;
    } catch (const RuntimeError&) {
        // The point lies beyond any number the sprite's own frame can hold
        // (a vanishing zoom, a position far off): it is not on the sprite.
        return false;
    }
}

namespace {

// Visits the members of the nine cells around the point's cell, columns
// outside in, rows inside, each bucket in its own order, until visit says stop.
template <class Layer, class Visit>
void ScanAround(const Layer& iLayer, float iX, float iY, Visit&& visit) {
    const double cx = Int(LayerDiv(iX, iLayer.TileW)), cy = Int(LayerDiv(iY, iLayer.TileW));
    // Far outside the map no neighbour cell exists either.
    if (!(cx >= -1.0 && cy >= -1.0 && cx <= double(iLayer.W) + 1.0 && cy <= double(iLayer.H) + 1.0)) return;
    const int32_t x0 = int32_t(cx), y0 = int32_t(cy);
    for (int32_t gx = x0 - 1; gx <= x0 + 1; ++gx) {
        for (int32_t gy = y0 - 1; gy <= y0 + 1; ++gy) {
            const auto bucket = iLayer.GetTile(gx, gy);
            if (!bucket) continue;
            for (const auto& m : *bucket) {
                if (m && visit(m)) return;
            }
        }
    }
}

std::shared_ptr<zItem> FindItem(const zItemMap* iItemMap, float iX, float iY, bool iFrontMost) {
    std::shared_ptr<zItem> chosen;
    if (!iItemMap) return chosen;
    float bestY = 0;
    ScanAround(*iItemMap, iX, iY, [&](const std::shared_ptr<zItem>& item) {
        if (!item->ScriptObject || !ItemHit(*item, iX, iY)) return false;
        if (!iFrontMost) {
            chosen = item;
            return true;
        }
        // Ties keep the earlier hit; nothing at y 0 or above the map's top counts.
        if (item->Sprite->y > bestY) {
            bestY = item->Sprite->y;
            chosen = item;
        }
        return false;
    });
    return chosen;
}

std::shared_ptr<zDataShape> FindArea(const zObjectsMap* iObjectsMap, float iX, float iY, bool iFrontMost) {
    std::shared_ptr<zDataShape> chosen;
    if (!iObjectsMap) return chosen;
    float bestY = 0;
    ScanAround(*iObjectsMap, iX, iY, [&](const std::shared_ptr<iMapItem>& object) {
        auto area = std::dynamic_pointer_cast<zDataShape>(object);
        if (!area || !area->ScriptObject || !area->Shape || !area->Shape->CheckCollision(iX, iY)) return false;
        if (!iFrontMost) {
            chosen = area;
            return true;
        }
        if (area->Shape->y > bestY) {
            bestY = area->Shape->y;
            chosen = area;
        }
        return false;
    });
    return chosen;
}

}  // namespace

ValueRef gCharTestModule::ExecuteItemAt(const zItemMap* iItemMap, float iX, float iY, const std::string& iEvent) {
    const std::shared_ptr<zItem> item = FindItem(iItemMap, iX, iY, true);
    if (!item) return nullptr;
    // Held while the event runs: the script may remove the item or its object.
    const std::shared_ptr<zScriptObject> so = item->ScriptObject;
    return so->Execute(iEvent);
}

std::shared_ptr<zItem> gCharTestModule::GetItemAt(const zItemMap* iItemMap, float iX, float iY,
                                                  const std::string&) {
    return FindItem(iItemMap, iX, iY, false);
}

ValueRef gCharTestModule::ExecuteAreaAt(const zObjectsMap* iObjectsMap, float iX, float iY,
                                        const std::string& iEvent) {
    const std::shared_ptr<zDataShape> area = FindArea(iObjectsMap, iX, iY, true);
    if (!area) return nullptr;
    const std::shared_ptr<zScriptObject> so = area->ScriptObject;
    return so->Execute(iEvent);
}

std::shared_ptr<zDataShape> gCharTestModule::GetAreaAt(const zObjectsMap* iObjectsMap, float iX, float iY,
                                                       const std::string&) {
    return FindArea(iObjectsMap, iX, iY, false);
}

}  // namespace tarv
