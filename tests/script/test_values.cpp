// Script values and arrays: setters and getters, Assign, Equals, text forms,
// the stored forms byte for byte, scopes and the entry operations.
#include "ScriptTestSupport.h"

#include <functional>

namespace zun::test {
namespace {

ValueRef V() { return zScriptValue::New(); }
ValueRef Int(int32_t v) {
    auto x = V();
    x->SetLong(v);
    return x;
}
ValueRef Str(const std::string& s) {
    auto x = V();
    x->SetString(s);
    return x;
}

std::string Exported(const zScriptValue& v) {
    zStream s;
    v.Export(s);
    return ToHex(s.Bytes());
}

using ScriptValues = ScriptTest;

TEST_F(ScriptValues, BoolTextForms) {
    auto v = V();
    v->SetBool(true);
    EXPECT_EQ(v->ToString(), "-1");
    EXPECT_EQ(v->GetString(), "True");
    EXPECT_EQ(v->GetVar().Kind(), HK::Integer);
    EXPECT_EQ(v->GetVar().AsInteger(), -1);
    EXPECT_TRUE(v->GetBool());
    auto e = Str("");
    EXPECT_FALSE(e->GetBool());
    EXPECT_FALSE(V()->GetBool());
}

TEST_F(ScriptValues, AssignModes) {
    // Mode 0 shares an array: an entry added through one is seen through the other.
    auto a = V();
    a->SetArray(zScriptArray::New());
    auto b = V();
    b->Assign(a.get(), 0);
    EXPECT_EQ(b->Typ, typArray);
    b->GetArray()->Add(Int(1));
    EXPECT_EQ(a->GetArray()->Size(), 1);
    // Mode 1 between int and float changes nothing.
    auto i = Int(5);
    auto f = V();
    f->SetSingle(2.5f);
    i->Assign(f.get(), 1);
    EXPECT_EQ(i->Typ, typInt);
    EXPECT_EQ(i->GetLong(), 5);
    // Mode 2 takes the type from the content: a Double becomes a float.
    auto d = V();
    d->SetVar(HostValue(2.5));
    auto t = V();
    t->Typ = typInt;
    t->Assign(d.get(), 2);
    EXPECT_EQ(t->Typ, typFloat);
    EXPECT_EQ(t->Data.Kind(), HK::Single);
    // ... and an array stays an array, never an object.
    auto arr = V();
    arr->SetVar(HostValue::FromArray(zScriptArray::New()));
    auto p = V();
    p->Assign(arr.get(), 2);
    EXPECT_EQ(p->Typ, typArray);
    // Empty content keeps the declared type.
    auto q = V();
    q->Typ = typStr;
    q->Assign(V().get(), 2);
    EXPECT_EQ(q->Typ, typStr);
    // Name and Fixed are never copied; Nothing does nothing.
    auto n = Int(3);
    n->Name = Atom::Intern("n");
    n->Fixed = true;
    auto m = V();
    m->Assign(n.get());
    EXPECT_TRUE(m->Name.Empty());
    EXPECT_FALSE(m->Fixed);
    m->Assign(nullptr);
    EXPECT_EQ(m->GetLong(), 3);
    // An object value copied from empty content holds Nothing.
    auto o = V();
    o->Typ = typObject;
    auto o2 = V();
    o2->Assign(o.get());
    EXPECT_EQ(o2->Data.Kind(), HK::Object);
    EXPECT_FALSE(o2->GetObject());
}

TEST_F(ScriptValues, Equals) {
    EXPECT_TRUE(Str("5")->Equals(Int(5).get()));
    auto a = V();
    a->SetArray(zScriptArray::New());
    EXPECT_FALSE(a->Equals(a.get()));
    auto f = V();
    f->SetSingle(5.0f);
    EXPECT_TRUE(Int(5)->Equals(f.get()));
    auto b = V();
    b->SetBool(true);
    EXPECT_TRUE(b->Equals(Int(-1).get()));
    EXPECT_FALSE(Str("a")->Equals(Str("A").get()));
}

TEST_F(ScriptValues, GettersConvert) {
    auto v = V();
    v->SetSingle(2.5f);
    EXPECT_EQ(v->GetLong(), 2);
    v->SetSingle(3.5f);
    EXPECT_EQ(v->GetLong(), 4);
    v->SetVar(HostValue(1e10));
    EXPECT_THROW(v->GetLong(), RuntimeError);
    auto a = V();
    a->SetArray(zScriptArray::New());
    EXPECT_EQ(a->GetString(), "Array");
    EXPECT_THROW(a->GetBool(), RuntimeError);  // conditions on arrays fail
    EXPECT_THROW(Int(1)->GetArray(), RuntimeError);
    EXPECT_EQ(V()->GetArray(), nullptr);
    EXPECT_EQ(V()->GetObject(), nullptr);
    auto o = V();
    auto obj = zScriptObject::New();
    o->SetObject(obj);
    EXPECT_EQ(o->GetObject(), obj);
    EXPECT_EQ(o->GetString(), "Object");
    EXPECT_EQ(o->ToString(), "Object");
}

TEST_F(ScriptValues, StoredFormOfEveryType) {
    auto v = V();
    v->Name = Atom::Intern("x");
    v->SetVar(HostValue(2.5));
    EXPECT_EQ(Exported(*v), "00 02 00 00 00 78 00 06 00 00 00 32 00 2e 00 35 00");
    v->SetBool(true);
    EXPECT_EQ(Exported(*v), "01 02 00 00 00 78 00 01");
    v->SetByte(7);
    EXPECT_EQ(Exported(*v), "02 02 00 00 00 78 00 07");
    v->SetLong(-2);
    EXPECT_EQ(Exported(*v), "03 02 00 00 00 78 00 fe ff ff ff");
    v->SetSingle(1.0f);
    EXPECT_EQ(Exported(*v), "04 02 00 00 00 78 00 00 00 80 3f");
    v->SetString("ab");
    EXPECT_EQ(Exported(*v), "05 02 00 00 00 78 00 04 00 00 00 61 00 62 00");
    v->SetArray(zScriptArray::New());
    EXPECT_EQ(Exported(*v), "06 02 00 00 00 78 00 00 00 00 00");
    v->SetObject(nullptr);
    EXPECT_EQ(Exported(*v), "07 02 00 00 00 78 00");

    // A var value holding 2.5 comes back as text content with type 0.
    zStream s(Hex("00 02 00 00 00 78 00 06 00 00 00 32 00 2e 00 35 00 01 00 00 00 00 01"));
    auto r = V();
    r->Import(s);
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_EQ(r->Data.Kind(), HK::String);
    EXPECT_EQ(r->GetString(), "2.5");
    EXPECT_EQ(r->NameText(), "x");
    // A bool payload is one byte; the next field follows.
    auto b = V();
    b->Import(s);
    EXPECT_TRUE(b->GetBool());
    EXPECT_EQ(s.Cursor, s.GetLength());
    // Type 7 keeps the previous content.
    zStream s7(Hex("07 00 00 00 00"));
    auto k = Int(9);
    k->Import(s7);
    EXPECT_EQ(k->Typ, typObject);
    EXPECT_EQ(k->Data.AsLong(), 9);
}

TEST_F(ScriptValues, StoredFormFailures) {
    auto o = V();
    o->SetVar(HostValue(std::shared_ptr<iClass>(zScriptObject::New())));
    zStream s;
    EXPECT_THROW(o->Export(s), RuntimeError);  // an object has no text form
    auto a = V();
    a->Typ = typArray;
    EXPECT_THROW(a->Export(s), RuntimeError);  // an array value without an array
    zStream bad(Hex("08 00 00 00 00"));
    EXPECT_THROW(V()->Import(bad), RuntimeError);  // no type above 7
}

TEST_F(ScriptValues, ArrayStoredForm) {
    zStream s;
    zScriptArray::New()->Export(s);
    EXPECT_EQ(ToHex(s.Bytes()), "00 00 00 00");
    auto a = zScriptArray::New();
    a->Add(Int(5));
    a->SetIndex(3, Str("z"));
    zStream t;
    a->Export(t);
    // The hole is stored as an empty var value.
    EXPECT_EQ(ToHex(t.Bytes()),
              "03 00 00 00 03 00 00 00 00 05 00 00 00 00 00 00 00 00 00 00 00 00 05 00 00 00 00 02 00 00 00 7a 00");
    auto b = zScriptArray::New();
    b->Import(t);
    EXPECT_EQ(b->Size(), 3);
    EXPECT_EQ(b->At(1)->GetLong(), 5);
    EXPECT_EQ(b->At(2)->Typ, typVar);
    EXPECT_EQ(b->At(3)->GetString(), "z");
    // A count larger than the bytes left is refused before anything is made.
    zStream huge(Hex("ff ff ff 7f 00"));
    EXPECT_THROW(zScriptArray::New()->Import(huge), RuntimeError);
}

TEST_F(ScriptValues, CyclicArraysNeitherPrintNorStoreForever) {
    auto a = zScriptArray::New();
    auto self = V();
    self->SetArray(a);
    a->Add(self);
    std::string text = a->ToString();
    EXPECT_NE(text.find("Array (...)"), std::string::npos);
    zStream s;
    EXPECT_THROW(a->Export(s), RuntimeError);
    // Held twice, the text would double at each of its 32 levels: it stops
    // at the text cap with the engine's error.
    a->Add(self);
    const size_t cap = zScript.MaxTextLength;
    zScript.MaxTextLength = 1 << 20;
    EXPECT_THROW(a->ToString(), RuntimeError);
    zScript.MaxTextLength = cap;
    a->DeleteIndex(2, true);
    a->DeleteIndex(1, true);  // break the cycle
}

TEST_F(ScriptValues, ToStringLayout) {
    auto a = zScriptArray::New();
    a->Add(Int(5));
    a->SetName("x", Str("abc"));
    EXPECT_EQ(a->ToString(), "\r\n(\r\n    [1] = 5\r\n    \"x\" = abc\r\n)");
    auto b = zScriptArray::New();
    b->SetIndex(2, Int(1));
    EXPECT_EQ(b->ToString(), "\r\n(\r\n    [1] = (empty)\r\n    [2] = 1\r\n)");
    auto outer = zScriptArray::New();
    auto inner = V();
    inner->SetArray(b);
    outer->Add(inner);
    EXPECT_EQ(outer->ToString(),
              "\r\n(\r\n    [1] = Array \r\n    (\r\n        [1] = (empty)\r\n        [2] = 1\r\n    )\r\n)");
}

TEST_F(ScriptValues, ScopeLookupAndWrites) {
    auto parent = zScriptArray::New();
    auto child = zScriptArray::New();
    child->Parent = parent;
    parent->SetName("g", Int(1));
    // Found in the parent; create makes nothing here.
    EXPECT_EQ(child->GetName("g", 1), parent->At(1));
    EXPECT_EQ(child->Size(), 0);
    // A write reaches the parent's entry.
    child->SetName("g", Int(7));
    EXPECT_EQ(parent->At(1)->GetLong(), 7);
    EXPECT_EQ(child->Size(), 0);
    // A new name appends the value object itself and renames it.
    auto v = Int(3);
    v->Name = Atom::Intern("old");
    child->SetName("n", v);
    EXPECT_EQ(child->At(1), v.get());
    EXPECT_EQ(v->NameText(), "n");
    v->SetLong(4);
    EXPECT_EQ(child->GetName("n")->GetLong(), 4);
    // Create appends an empty var value here.
    zScriptValue* c = child->GetName("fresh", 1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Typ, typVar);
    EXPECT_EQ(child->Size(), 2);
    EXPECT_EQ(child->GetName("never seen"), nullptr);
}

TEST_F(ScriptValues, EntryOperations) {
    auto a = zScriptArray::New();
    auto named = Int(1);
    named->Name = Atom::Intern("k");
    a->Add(named);
    EXPECT_TRUE(named->Name.Empty());  // Add clears the name
    a->SetIndex(5, Int(5));
    EXPECT_EQ(a->Size(), 5);
    EXPECT_EQ(a->GetIndex(2), nullptr);
    EXPECT_EQ(a->GetIndex(0), nullptr);
    EXPECT_EQ(a->GetIndex(-3), nullptr);
    EXPECT_EQ(a->GetIndex(6), nullptr);
    EXPECT_NE(a->GetIndex(6, 1), nullptr);
    EXPECT_EQ(a->Size(), 6);
    // Far past the end is a failure, not a huge allocation.
    EXPECT_EQ(a->GetIndex(2000000000, 1), nullptr);
    EXPECT_THROW(a->SetIndex(2000000000, Int(1)), RuntimeError);

    auto b = zScriptArray::New();
    for (const char* n : {"a", "b", "c"}) b->SetName(n, Str(n));
    b->DeleteName("a");
    EXPECT_EQ(b->At(1)->NameText(), "c");
    EXPECT_EQ(b->Size(), 2);
    b->DeleteName("zz");
    EXPECT_EQ(b->Size(), 2);

    auto abc = [] {
        auto c = zScriptArray::New();
        for (const char* n : {"a", "b", "c"}) c->Add(Str(n));
        return c;
    };
    auto k = abc();
    k->DeleteIndex(1, true);
    EXPECT_EQ(k->At(1)->GetString() + k->At(2)->GetString(), "bc");
    auto u = abc();
    u->DeleteIndex(1, false);
    EXPECT_EQ(u->At(1)->GetString() + u->At(2)->GetString(), "cb");
    // Out of range changes nothing.
    auto o = abc();
    o->DeleteIndex(0, true);
    o->DeleteIndex(4, false);
    EXPECT_EQ(o->Size(), 3);
    EXPECT_EQ(o->At(3)->GetString(), "c");

    auto ins = abc();
    ins->Insert(2, Str("x"));
    EXPECT_EQ(ins->At(2)->GetString(), "x");
    EXPECT_EQ(ins->At(3)->GetString(), "b");
    EXPECT_THROW(ins->Insert(9, Str("y")), RuntimeError);
}

TEST_F(ScriptValues, AllArraysTogetherStayUnderTheEntryCap) {
    struct Keep {
        size_t cap = zScript.MaxArrayEntries;
        ~Keep() { zScript.MaxArrayEntries = cap; }
    } keep;
    zScript.MaxArrayEntries = ArrayEntriesInUse() + 5000;
    // Two arrays, neither large on its own, meet the cap together.
    auto a = zScriptArray::New(), b = zScriptArray::New();
    int number = 0;
    std::string description;
    try {
        for (;;) {
            a->Add(Int(1));
            b->Add(Int(2));
        }
    } catch (const RuntimeError& e) {
        number = e.Number;
        description = e.Description;
    }
    EXPECT_EQ(number, errOutOfMemory);
    EXPECT_EQ(description, "Out of memory");
    EXPECT_LE(ArrayEntriesInUse(), zScript.MaxArrayEntries);
    EXPECT_GT(a->Size() + b->Size(), 1000);
    EXPECT_THROW(a->SetSize(a->Size() + 4000), RuntimeError);
    EXPECT_EQ(a->At(a->Size())->GetLong(), 1);  // a failed growth keeps the entries
    // What is given back can be taken again.
    a = nullptr;
    b = nullptr;
    auto c = zScriptArray::New();
    c->SetSize(4000);
    EXPECT_EQ(c->Size(), 4000);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

// keep[] = item, `times` times, into the object's variable "keep".
std::vector<uint8_t> KeepLoop(int32_t times, const std::function<void(Bc&)>& item) {
    Bc b;
    b.Assign("i").Int(0);
    const size_t top = b.Pos();
    b.AssignPath("keep", 0);
    item(b);
    b.Assign("i").Op(60).Var("i").Int(1);
    b.If().Op(32).Var("i").Int(times);
    const size_t out = b.Jump();
    b.JumpTo(b.Jump(), top);
    b.JumpTo(out, b.Pos());
    return b.b;
}

TEST_F(ScriptValues, ScriptsThatKeepBuildingRunOutOfMemoryAndTheGameCarriesOn) {
    struct Keep {
        size_t bytes = zScript.MaxScriptBytes, entries = zScript.MaxArrayEntries;
        ~Keep() {
            zScript.MaxScriptBytes = bytes;
            zScript.MaxArrayEntries = entries;
        }
    } keep;
    const size_t start = ScriptBytesInUse();
    zScript.MaxScriptBytes = start + (size_t(16) << 20);
    // 64 texts of 1 MB kept in an array: each is short of the text limit, all
    // together pass the budget.
    auto texts = KeepLoop(64, [](Bc& b) { b.Call("repeat", 2).Str("x").Int(1 << 20); });
    auto slots = KeepLoop(100000, [](Bc& b) { b.Int(1); });
    AddClass("Hog", {{"texts", texts}, {"slots", slots}, {"ok", Bc().Return().Int(1).b}},
             Bc().Assign("keep").List(0).b);
    auto hog = Object("Hog");
    auto kept = [&] { return hog->Locals->GetName("keep")->GetArray()->Size(); };

    hog->Execute("texts");
    EXPECT_TRUE(log.Contains("ERR\tScript\tHog.texts\tOut of memory")) << Joined(log.Lines());
    EXPECT_GT(kept(), 8);
    EXPECT_LT(kept(), 16);
    EXPECT_LE(ScriptBytesInUse(), zScript.MaxScriptBytes);
    // The game carries on, and what the script lets go of is given back.
    EXPECT_EQ(hog->Execute("ok")->GetLong(), 1);
    hog->Locals->GetName("keep")->SetArray(zScriptArray::New());
    EXPECT_LT(ScriptBytesInUse(), start + (size_t(1) << 20));

    // The entry cap fails the same way, not as a missing object.
    zScript.MaxArrayEntries = ArrayEntriesInUse() + 5000;
    log.Clear();
    hog->Execute("slots");
    EXPECT_TRUE(log.Contains("ERR\tScript\tHog.slots\tOut of memory")) << Joined(log.Lines());
    EXPECT_GT(kept(), 1000);
    EXPECT_EQ(hog->Execute("ok")->GetLong(), 1);
}

TEST_F(ScriptValues, FixedValuesAndImportedStores) {
    auto locals = zScriptArray::New();
    auto a = Int(1);
    a->Fixed = true;
    locals->SetName("a", a);
    locals->SetName("b", Int(2));
    auto fixed = locals->GetFixed();
    ASSERT_EQ(fixed->Size(), 1);
    EXPECT_EQ(fixed->At(1), a.get());  // the very value object

    auto other = zScriptArray::New();
    other->SetName("a", Int(9));
    fixed->OverrideFixed(other.get());
    EXPECT_EQ(other->GetName("a")->GetLong(), 1);

    zValues store;
    store.SetLong("n", 5);
    store.SetString("n", "text");  // a name in two lists ends with the last pass's type
    store.SetByte("b", 3);
    auto target = zScriptArray::New();
    target->ImportValues(&store);
    EXPECT_EQ(target->GetName("n")->Typ, typStr);
    EXPECT_EQ(target->GetName("b")->Typ, typByte);
    target->ImportValues(nullptr);
}

TEST_F(ScriptValues, VariantConversion) {
    EXPECT_EQ(zScript.VariantToScriptValue(HostValue(2.5))->Typ, typFloat);
    EXPECT_EQ(zScript.VariantToScriptValue(HostValue(int16_t(3)))->Typ, typInt);
    EXPECT_EQ(zScript.VariantToScriptValue(HostValue("s"))->Typ, typStr);
    EXPECT_EQ(zScript.VariantToScriptValue(HostValue::FromArray(zScriptArray::New()))->Typ, typArray);
    auto e = zScript.VariantToScriptValue(HostValue());
    EXPECT_EQ(e->Typ, typVar);
    EXPECT_TRUE(log.Contains("zScript casting error"));
    auto g = zScriptArray::New();
    g->SetNameValue("_x", HostValue(1.5f));
    EXPECT_EQ(g->GetName("_x")->Typ, typFloat);
    EXPECT_EQ(zScript.TypeName(8), "");
    EXPECT_EQ(zScript.TypeName(5), "str");
    EXPECT_EQ(zScript.TrimChar("xxaxx", "x"), "a");
    EXPECT_EQ(zScript.TrimChar("xxx", "x"), "");
    EXPECT_EQ(zScript.TrimChar("", "x"), "");
    EXPECT_EQ(zScript.TrimChar("xax", "xx"), "xax");
}

TEST_F(ScriptValues, NamesAreFoundByTextOnlyWhileInterned) {
    // Enough names of every length that many share a slot of any quick index.
    std::vector<std::string> texts;
    std::vector<Atom> held;
    for (int i = 0; i < 3000; ++i) {
        texts.push_back("~t" + std::to_string(i) + std::string(static_cast<size_t>(i % 23), 'q'));
        held.push_back(Atom::Intern(texts.back()));
    }
    const size_t interned = Atom::TableSize();
    // Each dropped name was the last one looked up.
    for (size_t i = 0; i < texts.size(); i += 2) {
        EXPECT_EQ(Atom::Find(texts[i]), held[i]);
        held[i] = Atom();
    }
    EXPECT_EQ(Atom::TableSize(), interned - 1500);
    for (size_t i = 0; i < texts.size(); ++i) {
        Atom a = Atom::Find(texts[i]);
        if (i % 2 == 0) {
            EXPECT_TRUE(a.Empty()) << texts[i];
        } else {
            EXPECT_EQ(a, held[i]);
            EXPECT_EQ(a.Text(), texts[i]);
        }
    }
    Atom again = Atom::Intern(texts[0]);
    EXPECT_EQ(Atom::Find(texts[0]), again);
    EXPECT_EQ(again.Text(), texts[0]);
}

TEST_F(ScriptValues, ArgumentListsHoldEachValueOnce) {
    std::vector<ValueRef> v;
    for (int i = 1; i <= 9; ++i) v.push_back(Int(i));
    ValueRef replaced = Int(100);
    {
        zScriptArgs a;
        a.Resize(9);
        for (int i = 1; i <= 9; ++i) a.At(i) = v[static_cast<size_t>(i - 1)];
        zScriptArgs copy(a);
        zScriptArgs assigned(2);
        assigned.At(1) = replaced;
        assigned = a;
        EXPECT_EQ(replaced->RefCount(), 1);
        for (int i = 1; i <= 9; ++i) EXPECT_EQ(v[static_cast<size_t>(i - 1)]->RefCount(), 4);
        a.Resize(3);
        EXPECT_EQ(a[4], nullptr);
        for (int i = 1; i <= 9; ++i) EXPECT_EQ(v[static_cast<size_t>(i - 1)]->RefCount(), i <= 3 ? 4 : 3);
        a.Resize(0);
        a.Resize(8);
        for (int i = 1; i <= 8; ++i) EXPECT_EQ(a[i], nullptr);
        copy.Push(Int(10));
        EXPECT_EQ(copy[10]->GetLong(), 10);
        EXPECT_EQ(assigned.Count(), 9);
        EXPECT_EQ(assigned[9], v[8].get());
    }
    for (const auto& x : v) EXPECT_EQ(x->RefCount(), 1);
}

}  // namespace
}  // namespace zun::test
