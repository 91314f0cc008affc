// The cellar under the old hall: the level, Tobin, his lost coin, the candle,
// the stairs back up and the dark corners.
include "Things.zs";

class Cellar {
  func onLoad() {
    g = getGameObject();
    setRainDensity(0);
    setSnowDensity(0);
    enableTorch(g.torchOn);
    playMusic("cellar.mus", false);
    msgBack(1, 0);
    if (g.metTobin) return;
    msg("<Hero 7> Dark down here... and someone is muttering by the fire.");
  }
}

class Tobin : Person {
  // The level was left: a timed call that comes after it finds nothing to do.
  gone = false;

  func onLoad() {
    g = getGameObject();
    if (g.tobinHappy) charRemove(charByName(_name));
    else setDir(3.141593);
  }

  func onLook() {
    msg("<Hero 1> An old man with a grey beard, warming his hands at the brazier.");
    return true;
  }

  func onTalk() {
    faceEachOther();
    msgBack(1, 0);
    g = getGameObject();
    if (g.tobinHappy) {
      msg("<Tobin 2> Up we go, up we go.");
      return true;
    }
    if (g.hasCoin) {
      g.hasCoin = false;
      g.tobinHappy = true;
      g.hasLantern = true;
      msg("<Tobin 4> My coin! My lucky coin! Where was it?");
      msg("<Hero 2> In the far corner, behind the flour sack.");
      msg("<Tobin 6> Behind the sack! Of course it was. Well then, supper. Tell Marla I'm on my way.");
      msg("<Tobin 1> And keep the lantern. The square is dark at night.");
      setPath(80, 76, 2.2);
      addTimeCall(90, this, "leave");
      return true;
    }
    if (g.metTobin) {
      msg("<Tobin 7> Still looking? It's silver, about so big. It rolled off towards the far corner, I think.");
      return true;
    }
    g.metTobin = true;
    ask("tobinAnswer", "<Tobin 4> Eh? Who's that? A stranger in my cellar! Did Marla send you?",
        "Yes. She says come up for supper.", "What are you doing down here?", "Sorry, wrong cellar.");
    return true;
  }

  func tobinAnswer(choice) {
    select (choice) {
      case 1:
        msg("<Tobin 3> Supper. Hmph. Not without my lucky coin. I dropped it when the thunder made me jump, and now I can't find it in the dark.");
      case 2:
        msg("<Tobin 5> Hiding from the thunder, if you must know! And now I've lost my lucky coin down here.");
      default:
        msg("<Tobin 6> Wrong cellar! Ha. There's only the one, friend.");
        msg("<Tobin 3> But while you're here... I've lost my lucky coin in the dark.");
    }
    g = getGameObject();
    if (g.hasLantern) return;
    g.hasLantern = true;
    msg("<Tobin 1> Take my old lantern and have a look about. My eyes aren't what they were.");
    playSound("pickup.wav");
    msg("<Events 5> You received a lantern. Press 1 to light it or to put it out.");
  }

  func onRelease() {
    gone = true;
  }

  func leave() {
    if (gone) return;
    charRemove(charByName(_name));
  }
}

// Tobin's lucky coin, once found, stays found.
class Coin : Usable {
  func onLoad() {
    g = getGameObject();
    if (g.hasCoin) itemRemove(itemByName(_name));
    else if (g.tobinHappy) itemRemove(itemByName(_name));
  }

  func onLook() {
    msg("<Hero 4> Something glints on the floor!");
    return true;
  }

  func onUse() {
    g = getGameObject();
    g.hasCoin = true;
    playSound("pickup.wav");
    itemRemove(itemByName(_name));
    msg("<Events 3> You found a silver coin. Tobin's lucky coin, surely.");
    return true;
  }
}

// The candle on the table can be put out and lit again; it remembers.
class Candle : Usable {
  lit = true;
  static(lit);

  func onLoad() {
    if (lit) return;
    itemSetVisible(lightByName("candlelight"), false);
  }

  func onUse() {
    light = lightByName("candlelight");
    if (lit) {
      lit = false;
      itemSetVisible(light, false);
      msg("<Hero 1> I pinch out the candle.");
    } else {
      lit = true;
      itemSetVisible(light, true);
      msg("<Hero 1> I light the candle again from the brazier.");
    }
    return true;
  }
}

class Stairs {
  func MouseLook() {
    setCursorEvent("onLook");
    return false;
  }

  func MouseOver() {
    setCursorEvent("onUse");
    return false;
  }

  func onLook() {
    msg("<Hero 1> The stairs up to the old hall.");
    return true;
  }

  func onUse() {
    playSound("step_stone.wav");
    loadLevel("village", 44, 13);
    return true;
  }

  func onWalk() {
    return true;
  }
}

class Cistern {
  seen = false;

  func onEnter() {
    if (seen) return;
    seen = true;
    msg("<Hero 1> Black water. I can't see the bottom of the cistern.");
  }
}

class CoinCorner {
  func onEnter() {
    g = getGameObject();
    if (g.hasCoin) return;
    if (g.tobinHappy) return;
    if (g.torchOn) msg("<Hero 7> Something glints behind the flour sack...");
    else msg("<Hero 3> Too dark to see much in this corner.");
  }
}
