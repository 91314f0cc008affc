// Things placed in the levels. A Thing shows its "look" text when looked at
// and its "use" text (or the look text again) when used; both texts come from
// the level description as the item's values ($look=, $use=). A thing may
// leave either out: the class gives both an empty text, which a value of the
// level replaces, so that asking for a text never names a value that is not
// there (which is an error).

class Thing {
  look = "";
  use = "";

  func MouseLook() {
    setCursorEvent("onLook");
    return false;
  }
  func MouseOver() {
    if ("" != use) setCursorEvent("onUse");
    else setCursorEvent("onLook");
    return false;
  }
  func onLook() {
    if ("" != look) msg(look);
    return true;
  }
  func onUse() {
    if ("" != use) msg(use);
    else if ("" != look) msg(look);
    return true;
  }
}

// A thing that answers a use of its own (the children write onUse).
class Usable : Thing {
  func MouseOver() {
    setCursorEvent("onUse");
    return false;
  }
}

// Somebody to talk to: looked at from afar, talked to from near by.
class Person {
  func MouseLook() {
    setCursorEvent("onLook");
    return false;
  }
  func MouseOver() {
    setCursorEvent("onTalk");
    return false;
  }
  // Both turn to each other before a word is said.
  func faceEachOther() {
    lookAtPlayer();
    playerLookAt();
  }
}
