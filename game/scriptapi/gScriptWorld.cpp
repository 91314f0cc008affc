// The game's clock of the day, the shared script objects, the mouse in the
// world, the water and collision maps and the cursor action, for scripts.
#include "core/zMath.h"
#include "game/effects/gWeather.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptOrigin.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

namespace {

// The collision cell of a pixel: only the cell size counts; the layer's
// origin, parallax and zoom do not.
int32_t PixelToCell(int32_t iPixel, const zCollisionMap& iMap) {
    return CLng(Int(Div(double(iPixel), double(iMap.TileW))));
}

void setGameTime(GameCall& c) {
    gCharTest.GameTime = c.Single(1);
    // The weather follows at once, not only at the next frame.
    gWeather.UpdateWeather(ToSingle(double(gCharTest.GameTime) / 1000.0));
}

void getGameTime(GameCall& c) {
    c.Result->SetSingle(gCharTest.GameTime);
}

void isWater(GameCall& c) {
    // A level without water answers nothing at all.
    if (!gCharTest.mapWater) return;
    const int32_t x = c.Long(1), y = c.Long(2);
    c.Result->SetBool(gCharTest.mapWater->CheckCollision(x, y, 255));
}

void setCursorEvent(GameCall& c) {
    gCharTest.CursorEvent = c.KeptName(1);
}

void getPlayerObject(GameCall& c) {
    const gChar& player = Need(gCharTest.Player);
    c.Result->SetObject(Need(player.Item).ScriptObject);
}

void getGameObject(GameCall& c) {
    c.Result->SetObject(gCharTest.GameObject);
}

void getLevelObject(GameCall& c) {
    c.Result->SetObject(gCharTest.LevelObject);
}

void getMouseGameX(GameCall& c) {
    c.Result->SetLong(CLng(Need(gCharTest.Cursor).x));
}

void getMouseGameY(GameCall& c) {
    c.Result->SetLong(CLng(Need(gCharTest.Cursor).y));
}

void setCollisionPoint(GameCall& c) {
    const int32_t x = c.Long(1), y = c.Long(2);
    const uint8_t code = c.Byte(3);
    zCollisionMap& map = Need(gCharTest.mapCollision);
    map.SetTile(PixelToCell(x, map), PixelToCell(y, map), code, 0);
}

void checkCollision(GameCall& c) {
    const int32_t x = c.Long(1), y = c.Long(2);
    const zCollisionMap& map = Need(gCharTest.mapCollision);
    uint8_t code = 0, shape = 0;
    map.GetTile(PixelToCell(x, map), PixelToCell(y, map), code, shape);
    c.Result->SetBool(code > 0);
}

const GameFunctionEntry kEntries[] = {
    {"setGameTime", setGameTime},
    {"getGameTime", getGameTime},
    {"isWater", isWater},
    {"setCursorEvent", setCursorEvent},
    {"getPlayerObject", getPlayerObject},
    {"getGameObject", getGameObject},
    {"getLevelObject", getLevelObject},
    {"getMouseGameX", getMouseGameX},
    {"getMouseGameY", getMouseGameY},
    {"setCollisionPoint", setCollisionPoint},
    {"checkCollision", checkCollision},
};

}  // namespace

void AddWorldFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
