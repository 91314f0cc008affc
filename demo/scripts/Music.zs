// The "music" object: the music setups call these at their marked positions.

class Music {
  func onLoad() {
  }

  // Half way through the village tune, the sky sometimes answers.
  func thunderCue() {
    if (rnd() < 0.5) flash();
  }

  // Water dripping somewhere in the cellar.
  func drip() {
    playSound("drip.wav", 0.9);
  }
}
