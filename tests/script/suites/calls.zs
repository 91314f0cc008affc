// Calls: the lookup order, the six special forms, qualified calls, member
// calls and where their arguments are read, the game's table (check itself)
// and the host built-ins that need no device.
class Base {
  func who() { return "base"; }
  func greet(name = "you") { return "hi " + name; }
  func count() { return -1; }
  func chain() { return "B"; }
}

class Suite : Base {
  x = 1;

  func who() { return "suite"; }
  func chain() { return super() + "S"; }
  func readGlobal() { return g; }

  func run() {
    check(who(), "suite", "the class's own function first");
    check(Base::who(), "base", "a qualified call reaches the parent");
    check(count("abc"), 3, "a built-in beats a class function");
    check(Base::count(), -1, "only a qualified call reaches a hidden function");
    check(cstr(Nobody::who()), "", "a qualified call to a class that is no parent gives nothing");
    check(chain(), "BS", "super runs the parent's function");
    check(greet(), "hi you", "a default argument");
    check(greet("me"), "hi me", "a given argument");
    check(cstr(nothingKnowsThis()), "", "a name nobody knows gives nothing");

    check(``(5), 5, "the empty name gives its argument");
    check(set(x), true, "set of a variable");
    check(set(nope), false, "set of an unset variable");
    static();
    static(x);
    g = 42;
    global(g);
    check(readGlobal(), 42, "global writes the global of that name");
    global(7);
    check(``, 7, "global of a value without a name writes the global named by the empty name");

    o = new("Helper");
    check(isset o, true, "new makes an object");
    check(o.v(), 7, "member call");
    n = new("Nope");
    check(isset n, false, "new of an unknown class holds nothing");

    x = 10;
    check(o.echo(x), 10, "arguments are read where the call is written");
    r = o.echoObj(this);
    check(r.who(), "suite", "this in the arguments is the writer");
    check(o.callWho(), "helper", "the member call runs in the target's class");
    check(o.echo(who()), "suite", "calls in the arguments resolve in the writer's class");
    i = 2;
    check(o.list[i], "second", "member path indexes are read where written");

    callByName(o, "bump");
    check(o.count, 1, "callByName runs the function");
    check(cstr(callByName(o, "v")), "", "callByName drops the result");
    check(clipValue(5, 0, 3), 3.0, "clipValue clamps");
    check(clipValue(5, 0, 3, 2), 3.0, "clipValue with a step wraps");
    check(rgb(255, 0, 0), 255, "rgb puts red in the lowest byte");
    check(rgb(0, 1, 0), 256, "rgb green");
    check(getDist(0, 0, 3, 4), 5.0, "getDist");
    check(getAngle(0, 0, 1, 0), 0.0, "getAngle");
    check(clipAngle(0), 0.0, "clipAngle");
    check(round(angleDiff(0, 1), 3), 1.0, "angleDiff");
    log("a line from the call suite");
    debug("read and ignored");
    loadScriptFile("no-such-script-file.dat");
    check(cstr(getScreenW()), "0", "no device: the view is 0 wide");
    summary();
  }
}

class Helper {
  count = 0;
  list = ["first", "second"];
  i = 1;
  func v() { return 7; }
  func echo(a) { return a; }
  func echoObj(object a) { return a; }
  func who() { return "helper"; }
  func callWho() { return who(); }
  func bump() { count++; }
}
