// The player's own script: a left click walks towards the clicked point
// (the thing under the cursor still gets its action afterwards), and key 1
// lights or puts out the lantern once Tobin has lent it.

class Player {
  func onLoad() {
  }

  func MouseDown(mx, my, button) {
    if (1 == button) playerSetPath(getMouseGameX(), getMouseGameY(), 3);
    return false;
  }

  func activateItem(key) {
    if (1 == key) {
      g = getGameObject();
      if (g.hasLantern) {
        if (g.torchOn) {
          g.torchOn = false;
          enableTorch(false);
          playSound("cursor.wav");
        } else {
          g.torchOn = true;
          enableTorch(true);
          playSound("fire.wav", 0.9);
        }
      } else {
        msg("<Hero 3> I have nothing to light.");
      }
    }
  }
}
