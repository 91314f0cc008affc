// The game: what the player has done so far, the start, the slow dusk, and
// the things carried, drawn in a corner of the screen.
include "Things.zs";
include "Player.zs";
include "Music.zs";
include "Village.zs";
include "Cellar.zs";

class Game {
  // The player's script object: the game looks for it here after onLoad.
  player = empty;
  hasKey = false;
  hasLantern = false;
  hasCoin = false;
  metTobin = false;
  tobinHappy = false;
  finished = false;
  torchOn = false;
  sawFountain = false;
  icons = 0;

  func onLoad() {
    player = new("Player");
    setGameTime(660);
    loadLevel("village", 30, 36);
    msg("#");
    msg("<Hero 1> Hollowmere at last, and soaked to the bone. Old Tobin must be somewhere in this village.");
  }

  // The evening darkens slowly as the game runs.
  func onUpdate() {
    t = getGameTime();
    if (t < 880) setGameTime(t + 0.01);
  }

  // Pictures of the key, the lantern and the coin while they are carried.
  func renderInterface() {
    if (0 == icons) icons = loadImage("Face Events.png", true, -1);
    y = 132;
    if (hasKey) {
      blt(icons, 6, y, 24, 24, 0, 0, 48, 48);
      y = y + 28;
    }
    if (hasLantern) {
      blt(icons, 6, y, 24, 24, 0, 48, 48, 48);
      y = y + 28;
    }
    if (hasCoin) blt(icons, 6, y, 24, 24, 96, 0, 48, 48);
  }

  func onExit() {
  }
}
