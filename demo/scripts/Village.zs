// The village square: the level itself, Marla at the inn, Tobin once he is
// back, the cat, the hall door down to the cellar and the places to walk.
include "Things.zs";

class Village {
  func onLoad() {
    g = getGameObject();
    setRainDensity(0.35);
    setSnowDensity(0);
    enableTorch(g.torchOn);
    playMusic("village.mus", false);
    msgBack(0, 0);
  }

  func onUpdate() {
    // Now and then lightning over the square; its thunder follows by itself.
    if (rnd() < 0.002) flash();
  }
}

class Marla : Person {
  func onLoad() {
    setDir(1.570796);
  }

  func onLook() {
    msg("<Hero 1> A woman in an apron, standing in the doorway of the inn.");
    return true;
  }

  func onTalk() {
    faceEachOther();
    msgBack(0, 0);
    g = getGameObject();
    if (g.finished) {
      msg("<Marla 2> Go on in, supper is getting cold.");
      return true;
    }
    if (g.tobinHappy) {
      g.finished = true;
      msg("<Marla 4> Tobin! You found him, and he's smiling, the old goat.");
      msg("<Tobin 6> Found my coin, I did. Well - this young one found it for me.");
      msg("<Marla 2> Then supper is on the house tonight. Come in out of the rain, both of you.");
      ask("endAnswer", "<Events 4> You have reached the end of the Vorlund demo. Thank you for playing!",
          "Stay in Hollowmere a little longer.", "Leave the demo.");
      return true;
    }
    if (g.hasKey) {
      msg("<Marla 1> The cellar is under the old hall, across the square. Tell Tobin I said supper.");
      return true;
    }
    ask("marlaAnswer", "<Marla 1> Evening, stranger. A foul night to be out walking. What can I do for you?",
        "I'm looking for Tobin.", "Is there somewhere dry to wait?", "Nothing. Good evening.");
    return true;
  }

  func marlaAnswer(choice) {
    select (choice) {
      case 1:
        g = getGameObject();
        msg("<Marla 7> Tobin? He went down into the old cellar when the thunder started and hasn't come up since.");
        msg("<Marla 1> Here, take the key. Tell him to come up for supper, or I'm giving his chair away.");
        g.hasKey = true;
        playSound("pickup.wav");
        msg("<Events 1> You received the cellar key.");
      case 2:
        msg("<Marla 6> Dry? The inn is full of wet shepherds. The lantern by the old hall is the best roof we have.");
      default:
        msg("<Marla 2> Mind the puddles, then.");
    }
  }

  func endAnswer(choice) {
    select (choice) {
      case 2:
        exitGame();
      default:
        msg("<Hero 2> A little longer, then. The rain is easing.");
    }
  }
}

// Tobin stands by the inn only once he has come up from the cellar.
class TobinVillage : Person {
  func onLoad() {
    g = getGameObject();
    if (g.tobinHappy) setDir(1.570796);
    else charRemove(charByName(_name));
  }

  func onLook() {
    msg("<Hero 2> Tobin, dry and warm at last.");
    return true;
  }

  func onTalk() {
    faceEachOther();
    msg("<Tobin 2> Thank you again, friend. Here's to lucky coins and dry cellars!");
    return true;
  }
}

// The cat wanders about near where it was placed.
class Cat {
  homeX = 0;
  homeY = 0;

  func onLoad() {
    homeX = _x;
    homeY = _y;
    setDir(1.570796);
  }

  func onUpdate() {
    if (rnd() < 0.006) setPath(homeX + rnd(-60, 60), homeY + rnd(-40, 40), 1);
  }

  func MouseLook() {
    setCursorEvent("onLook");
    return false;
  }

  func MouseOver() {
    setCursorEvent("onUse");
    return false;
  }

  func onLook() {
    msg("<Hero 2> A ginger cat. Not the lost grey one from the notice board, then.");
    return true;
  }

  func onUse() {
    lookAtPlayer();
    playSound("meow.wav");
    msg("<Hero 6> It purrs and rubs against my wet boots.");
    return true;
  }
}

class Fountain : Usable {
  func onUse() {
    playSound("step_water.wav");
    msg("<Hero 2> Cold, clear water. I wash the mud off my hands.");
    return true;
  }
}

class Bench : Usable {
  func onUse() {
    msg("<Hero 8> I sit for a moment and listen to the rain on the square.");
    return true;
  }
}

// The door of the old hall: locked until Marla hands over the key.
class HallDoor {
  opening = false;

  func MouseLook() {
    setCursorEvent("onLook");
    return false;
  }

  func MouseOver() {
    setCursorEvent("onUse");
    return false;
  }

  func onLook() {
    msg("<Hero 1> A heavy door in the old hall. Stairs lead down behind it.");
    return true;
  }

  func onUse() {
    g = getGameObject();
    if (opening) return true;
    if (g.hasKey) {
      opening = true;
      animateTo(2, 3);
      playSound("door.wav");
      addTimeCall(12, this, "goDown");
    } else {
      playSound("step_wood.wav");
      msg("<Hero 3> Locked. Someone in the village must have the key.");
    }
    return true;
  }

  // Walking into the open doorway goes down as well.
  func onWalk() {
    if (opening) return true;
    g = getGameObject();
    if (g.hasKey) onUse();
    return true;
  }

  func goDown() {
    loadLevel("cellar", 5, 5);
  }
}

class FountainArea {
  func onEnter() {
    g = getGameObject();
    if (g.sawFountain) return;
    g.sawFountain = true;
    msg("<Hero 1> Coins glint at the bottom of the basin. None of them mine, sadly.");
  }
}

class SouthRoad {
  func onEnter() {
    g = getGameObject();
    if (g.finished) msg("<Hero 2> The road home. It will keep until morning.");
    else msg("<Hero 3> The road home. Not before I've found Tobin.");
  }
}
