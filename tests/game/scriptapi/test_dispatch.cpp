// The frame every game function shares: the name table and its lookup,
// unknown names falling through to the host, the default arguments, the
// vector form and the blend-mode names.
#include <set>

#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class DispatchTest : public ScriptApiTest {};

TEST_F(DispatchTest, TableHoldsEachOfItsNamesOnceAndFamiliesFillTheirPlaces) {
    std::set<std::string_view> names(kGameFunctionNames.begin(), kGameFunctionNames.end());
    EXPECT_EQ(names.size(), size_t(kGameFunctionCount));
    EXPECT_EQ(kGameFunctionNames[0], "addTimeCall");
    EXPECT_EQ(kGameFunctionNames[48], "areaCreate");
    EXPECT_EQ(kGameFunctionNames[49], "setGameTime");
    EXPECT_EQ(kGameFunctionNames[127], "exitGame");
    // Every name of the first 49 has its function once registration ran.
    for (int32_t i = 0; i < 49; ++i) EXPECT_TRUE(IsGameFunction(std::string(kGameFunctionNames[size_t(i)]))) << i;
    EXPECT_FALSE(IsGameFunction("MsgBox"));
    EXPECT_FALSE(IsGameFunction("record"));
}

TEST_F(DispatchTest, AnEntryWithAForeignNameIsRefusedWithALogLine) {
    static const GameFunctionEntry kBad[] = {{"noSuchGameFunction", [](GameCall&) {}}};
    AddGameFunctions(kBad);
    EXPECT_FALSE(IsGameFunction("noSuchGameFunction"));
    EXPECT_NE(Logged().find("Unknown game function\tnoSuchGameFunction"), std::string::npos);
}

TEST_F(DispatchTest, UnknownAndMiscasedNamesReturnNothingSoTheHostAnswers) {
    zScriptArgs none;
    EXPECT_FALSE(CallGameFunction(nullptr, nullptr, "MsgBox", none));
    EXPECT_FALSE(CallGameFunction(nullptr, nullptr, "getAngle", none));
    EXPECT_FALSE(CallGameFunction(nullptr, nullptr, "", none));

    int boxes = 0;
    gScriptHooks.MessageBox = [&](const std::string&, const std::string&, int32_t) {
        ++boxes;
        return 1;
    };
    LoadScript(R"(class T {
        func MsgBox(t) { record("own", t); return 7; }
        func run() {
            record(getAngle(0, 0, 0, 10));   // a host built-in still answers
            r = MsgBox("x");                  // no game function: the class's own
            record(r);
            msgBox("shown");                  // the game's: a message box
        }
    })");
    Run("T", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"1.570796", "own,x", "7"}));
    EXPECT_EQ(boxes, 1);
}

TEST_F(DispatchTest, AGameFunctionHidesAScriptFunctionOfTheSameName) {
    LoadScript(R"(class T {
        func setRainDensity(d) { record("own"); }
        func run() { setRainDensity(0.25); }
    })");
    Run("T", "run");
    EXPECT_TRUE(records.empty());
    EXPECT_FLOAT_EQ(gWeather.RainDensity, 0.25f);
}

TEST_F(DispatchTest, AFunctionWithoutResultReturnsTheEmptyValue) {
    auto r = Call("setSnowDensity", {Str("0.5")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_TRUE(r->Data.TextIsEmpty());
    EXPECT_FLOAT_EQ(gWeather.SnowDensity, 0.5f);
}

TEST_F(DispatchTest, ArgumentsAreReadWithTheFunctionsGetterAndExtraOnesIgnored) {
    // A text that reads as a number, passed where a float is read, and two
    // arguments too many.
    auto r = Call("setRainDensity", {Str("0.75"), Str("x"), Long(3)});
    ASSERT_TRUE(r);
    EXPECT_FLOAT_EQ(gWeather.RainDensity, 0.75f);
    // An unset variable passed as an argument reads as the empty value.
    zScriptArgs a;
    a.Push(ValueRef());
    gWeather.SnowDensity = 3;
    EXPECT_TRUE(CallGameFunction(nullptr, nullptr, "setSnowDensity", a));
    EXPECT_FLOAT_EQ(gWeather.SnowDensity, 0.0f);
}

TEST_F(DispatchTest, AMissingArgumentSkipsTheWorkAndIsLogged) {
    gWeather.RainDensity = 0.5f;
    auto r = Call("setRainDensity", {});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_FLOAT_EQ(gWeather.RainDensity, 0.5f);
    EXPECT_EQ(LogCount("Not enough arguments!\tsetRainDensity"), 1u);

    // From a script the call gives the empty value and the script goes on.
    LoadScript(R"(class T { func run() { r = 5; r = setSnowDensity(); record("r=" & r, "on"); } })");
    Run("T", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"r=,on"}));
}

TEST_F(DispatchTest, AFailingCallEndsTheScriptNotTheProgramAndTheLogNamesTheFunction) {
    LoadScript(R"(class T {
        func run() { record("before"); itemSetVisible(5, true); record("after"); }
        func lens() { assignLens(this); }
        func onAssign() { itemSetRot(5, 1); }
    })");
    Run("T", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"before"}));
    EXPECT_NE(Logged().find("ERR\tScript\tT.run\titemSetVisible: Object"), std::string::npos) << Logged();
    // A call failing inside an event that another game function sent names
    // itself, not the function around it.
    Run("T", "lens");
    EXPECT_NE(Logged().find("ERR\tScript\tT.lens\titemSetRot: "), std::string::npos) << Logged();
}

// ---- default arguments --------------------------------------------------------

std::vector<std::string> Describe(const zScriptArgs& a) {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= a.Count(); ++i) {
        const zScriptValue* v = a[i];
        out.push_back(v ? std::to_string(v->Typ) + ":" + v->GetString() : "nothing");
    }
    return out;
}

TEST_F(DispatchTest, DefaultsFillTheMissingTrailingArguments) {
    zScriptArgs a;
    FillDefaultArgs(a, 0, "0");
    EXPECT_EQ(Describe(a), (std::vector<std::string>{"3:0"}));

    zScriptArgs b;
    FillDefaultArgs(b, 0, "true");
    EXPECT_EQ(Describe(b), (std::vector<std::string>{"1:True"}));

    zScriptArgs c;
    for (int i = 0; i < 6; ++i) c.Push(zScriptValue::New());
    FillDefaultArgs(c, 6, "1,");
    ASSERT_EQ(c.Count(), 8);
    EXPECT_EQ(Describe(c)[6], "3:1");
    EXPECT_EQ(Describe(c)[7], "5:");

    zScriptArgs d;
    d.Push(Str("file"));
    FillDefaultArgs(d, 1, "1.0,1.0");
    EXPECT_EQ(Describe(d), (std::vector<std::string>{"5:file", "4:1", "4:1"}));

    zScriptArgs e;
    FillDefaultArgs(e, 0, "'a,b',\"q\",false,0x10,0b255,plain");
    // The entries split at every comma, even inside quotes.
    EXPECT_EQ(Describe(e), (std::vector<std::string>{"5:'a", "5:b'", "5:q", "1:False", "3:16", "2:255", "5:plain"}));
}

TEST_F(DispatchTest, PassedArgumentsAreKept) {
    zScriptArgs a;
    a.Push(Long(5));
    a.Push(Long(6));
    FillDefaultArgs(a, 1, "1");
    EXPECT_EQ(Describe(a), (std::vector<std::string>{"3:5", "3:6"}));
}

TEST_F(DispatchTest, AMissingRequiredArgumentIsLoggedOnceAndNothingFurtherFilled) {
    zScriptArgs a;
    for (int i = 0; i < 4; ++i) a.Push(Long(i));
    FillDefaultArgs(a, 5, "1");
    EXPECT_EQ(LogCount("Not enough arguments!"), 1u);
    ASSERT_EQ(a.Count(), 6);
    ASSERT_TRUE(a[5]);
    EXPECT_EQ(a[5]->Typ, typVar);
    EXPECT_FALSE(a[6]);

    // "addTimeValue" with four arguments: the one line, naming the function,
    // and no event; so for the others with defaults.
    Call("addTimeValue", {Long(0), Long(10), Long(0), Long(1)});
    EXPECT_EQ(LogCount("Not enough arguments!"), 2u);
    EXPECT_EQ(LogCount("ERR\tNot enough arguments!\taddTimeValue\r\n"), 1u);
    EXPECT_TRUE(mTimeline.Events.empty());
    Call("addTimeObject", {Long(0), Long(10), Long(0), Str("x"), Long(1)});
    Call("playSound", {});
    EXPECT_EQ(LogCount("ERR\tNot enough arguments!\taddTimeObject\r\n"), 1u);
    EXPECT_EQ(LogCount("ERR\tNot enough arguments!\tplaySound\r\n"), 1u);
    EXPECT_EQ(LogCount("Not enough arguments!"), 4u);
    EXPECT_TRUE(mTimeline.Events.empty());
}

TEST_F(DispatchTest, DefaultsReadTheSameUnderACommaDecimalSeparator) {
    zCore.DecimalSeparator = ",";
    zScriptArgs a;
    FillDefaultArgs(a, 0, "1.0,1,2.5");
    ASSERT_EQ(a.Count(), 3);
    EXPECT_EQ(a[1]->Typ, typFloat);
    EXPECT_FLOAT_EQ(a[1]->GetSingle(), 1.0f);
    EXPECT_EQ(a[2]->Typ, typInt);
    EXPECT_EQ(a[2]->GetLong(), 1);
    EXPECT_EQ(a[3]->Typ, typFloat);
    EXPECT_FLOAT_EQ(a[3]->GetSingle(), 2.5f);
}

// ---- vectors and blend modes ----------------------------------------------------

TEST_F(DispatchTest, VectorsTravelAsArraysOfTwoFloats) {
    ValueRef v = VectorToScriptValue(Vector2{3, 4});
    ASSERT_EQ(v->Typ, typArray);
    zScriptArray* a = v->GetArray();
    ASSERT_EQ(a->Size(), 2);
    EXPECT_EQ(a->GetIndex(1)->Typ, typFloat);
    EXPECT_FLOAT_EQ(a->GetIndex(1)->GetSingle(), 3.0f);
    EXPECT_FLOAT_EQ(a->GetIndex(2)->GetSingle(), 4.0f);
    EXPECT_TRUE(a->GetIndex(1)->NameText().empty());

    Vector2 back = ScriptValueToVector(v.get());
    EXPECT_FLOAT_EQ(back.x, 3.0f);
    EXPECT_FLOAT_EQ(back.y, 4.0f);
}

TEST_F(DispatchTest, OnlyArrayValuesHoldAVector) {
    Vector2 r = ScriptValueToVector(Long(7).get());
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(r.y, 0.0f);
    r = ScriptValueToVector(zScriptValue::New().get());
    EXPECT_EQ(r.x, 0.0f);
    r = ScriptValueToVector(nullptr);
    EXPECT_EQ(r.y, 0.0f);

    // An array of one element: the missing one reads as 0.
    auto arr = zScriptArray::New();
    arr->Add(Str("5.5"));
    auto v = zScriptValue::New();
    v->SetArray(arr);
    r = ScriptValueToVector(v.get());
    EXPECT_FLOAT_EQ(r.x, 5.5f);
    EXPECT_EQ(r.y, 0.0f);
    // An empty array.
    auto empty = zScriptValue::New();
    empty->SetArray(zScriptArray::New());
    r = ScriptValueToVector(empty.get());
    EXPECT_EQ(r.x, 0.0f);
}

TEST_F(DispatchTest, BlendModeNamesMapToTheirNumbers) {
    const std::pair<const char*, int32_t> modes[] = {
        {"eBlend_None", 0},         {"eBlend_Masked", 1},   {"eBlend_Alpha", 2},    {"eBlend_ColorAlpha", 3},
        {"eBlend_ColorAlphaInverse", 4}, {"eBlend_ColorAlphaDest", 5}, {"eBlend_Add", 10}, {"eBlend_AddSrc", 11},
        {"eBlend_AddDst", 12},      {"eBlend_LightAdd", 13}, {"eBlend_LightSub", 14}, {"eBlend_Exclude", 20},
        {"eBlend_Subtract", 21},    {"eBlend_Min", 30},     {"eBlend_Max", 31},     {"eBlend_Diffuse", 127},
        {"eBlend_Greyscale", 128}};
    for (const auto& m : modes) EXPECT_EQ(GetBlendMode(m.first), m.second) << m.first;
    EXPECT_EQ(Logged().find("Unknown blend mode"), std::string::npos);
}

TEST_F(DispatchTest, AnUnknownBlendModeIsLoggedAndGivesNone) {
    EXPECT_EQ(GetBlendMode("eBlend_add"), 0);
    EXPECT_EQ(LogCount("Unknown blend mode\teBlend_add"), 1u);
    EXPECT_EQ(GetBlendMode("eBlend_"), 0);
    EXPECT_EQ(GetBlendMode(""), 0);
    EXPECT_EQ(LogCount("Unknown blend mode"), 3u);
}

}  // namespace
}  // namespace tarv::test
