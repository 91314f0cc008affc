
class Base {
  count = 0;
  func onLoad() { count = 1; }
  func greet(str who = "you") { return "hi " + who; }
}
class Game : Base, Missing {
  player = empty;
  static(player);
  func onLoad(a, int b = 2, float c = 1.5, str d = 'x', bool e = true, byte f = 0b7, array g = [1, "a"],
              object h, var i = 3) {
    player = new("Player");
    items[] = 1;
    items[1] = [1, 2.5, "s", 's', true, 0b1, this, selected, empty, -4];
    player.pos = 3;
    player.stats["hp"] = 10;
    player.walk(1, 2);
    x = (y = 1) + (z[2] = 3);
    if (isset player and not (x == 2) or x != 3) x++; else x--;
    while (x < 10 && x <= 20 || x > 30) { if (x >= 5) break; x = x * 2 / 1 - 1 ^ 2 % 3; continue; }
    do { x--; } while ((x in [1, 2, 3]) | x & 1);
    for (i = 0; i < 3; i++) { global(i); set(i); }
    select (x) { case 1, 2: nop; when x like "a*": break; when x !like "b": nop; default: return; }
    t = x in items;
    u = -x;
    Base::greet("me");
    super(1);
    ``(1);
    @bytes(0x00);
    return -x;
  }
  func greet = super;
  func other = super(Base);
}
