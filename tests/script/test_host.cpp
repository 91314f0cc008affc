// The host built-ins against a recording device, and the default arguments.
#include "ScriptTestSupport.h"
#include "core/zFileSystem.h"
#include "devices/zDDraw.h"

namespace zun::test {
namespace {

class Host : public ScriptTest {
protected:
    std::vector<std::string> calls;
    void SetUp() override {
        ScriptTest::SetUp();
        auto rec = [this](std::string s) { calls.push_back(std::move(s)); };
        auto f = [](float v) { return FormatSingle(v); };
        auto l = [](int32_t v) { return std::to_string(v); };
        ScriptDevices& d = gScriptDevices;
        d.BltPoint = [=](float x, float y, int32_t c) { rec("point " + f(x) + " " + f(y) + " " + l(c)); };
        d.BltLine = [=](float x1, float y1, float x2, float y2, int32_t c1, int32_t c2) {
            rec("line " + f(x1) + " " + f(y1) + " " + f(x2) + " " + f(y2) + " " + l(c1) + " " + l(c2));
        };
        d.BltSurface = [=](float x, float y, float w, float h, int32_t c) {
            rec("surface " + f(x) + " " + f(y) + " " + f(w) + " " + f(h) + " " + l(c));
        };
        d.BltCircle = [=](float x, float y, float r, int32_t lc, int32_t fc, float q) {
            rec("circle " + f(x) + " " + f(y) + " " + f(r) + " " + l(lc) + " " + l(fc) + " " + f(q));
        };
        d.Blt = [=](int32_t t, float x, float y, float w, float h, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                    int32_t c, float s) {
            rec("blt " + l(t) + " " + f(x) + " " + f(y) + " " + f(w) + " " + f(h) + " " + l(sx) + " " + l(sy) + " " +
                l(sw) + " " + l(sh) + " " + l(c) + " " + f(s));
        };
        d.BltRotate = [=](int32_t t, float, float, float, float, int32_t, int32_t, int32_t, int32_t, int32_t c,
                          float a, float cx, float cy, float s, uint8_t flip) {
            rec("rotate " + l(t) + " " + l(c) + " " + f(a) + " " + f(cx) + " " + f(cy) + " " + f(s) + " " + l(flip));
        };
        d.BeginScene = [=](int32_t back, int32_t target) {
            rec("begin " + l(back) + " " + l(target));
            return true;
        };
        d.EndScene = [=](bool present) { rec(std::string("end ") + (present ? "1" : "0")); };
        d.GetBackColor = [] { return 77; };
        d.LoadTexture = [=](const std::string& file, bool smooth, int32_t key, int32_t mips, int32_t fmt) {
            rec("load " + file + " " + (smooth ? "1" : "0") + " " + l(key) + " " + l(mips) + " " + l(fmt));
            return 3;
        };
        d.SaveScreenShot = [=](const std::string& file, int32_t, int32_t, int32_t r, int32_t b, int32_t) {
            rec("shot " + file + " " + l(r) + " " + l(b));
            return true;
        };
        d.ScreenW = [] { return 640; };
        d.ScreenH = [] { return 480; };
        d.GetColorRGB = [](float r, float g, float b) { return CLng(r * 1000 + g * 100 + b * 10); };
        d.MouseX = [] { return 10.5f; };
        d.MouseY = [] { return 11.5f; };
        d.ViewW = [] { return 800; };
    }
    ValueRef Run(std::vector<uint8_t> body) {
        zScript.Classes.clear();
        calls.clear();
        log.Clear();
        return RunBody(body);
    }
};

TEST_F(Host, DrawingCalls) {
    Run(Bc().CallStmt("drawPoint", 3).Int(1).Int(2).Int(3).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"point 1 2 3"}));
    Run(Bc().CallStmt("drawLine", 5).Int(1).Int(2).Int(3).Int(4).Int(5).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"line 1 2 3 4 5 5"}));
    Run(Bc().CallStmt("drawLine", 6).Int(1).Int(2).Int(3).Int(4).Int(5).Int(6).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"line 1 2 3 4 5 6"}));
    // Colours with a low alpha keep every bit (0x80FFFFFF).
    Run(Bc().CallStmt("drawLine", 5).Int(0).Int(0).Int(1).Int(1).Int(int32_t(0x80FFFFFFu)).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"line 0 0 1 1 -2130706433 -2130706433"}));
    Run(Bc().CallStmt("drawRect", 5).Int(10).Int(20).Int(5).Int(4).Int(9).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"line 9 20 14 20 9 9", "line 14 20 14 23 9 9", "line 10 20 10 23 9 9",
                                               "line 10 23 14 23 9 9"}));
    Run(Bc().CallStmt("fillRect", 5).Int(1).Int(2).Int(3).Int(4).Int(5).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"surface 1 2 3 4 5"}));
}

TEST_F(Host, DefaultArguments) {
    Run(Bc().CallStmt("drawCircle", 4).Int(1).Int(2).Int(3).Int(4).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"circle 1 2 3 4 0 1"}));
    Run(Bc().CallStmt("drawCircle", 3).Int(1).Int(2).Int(3).b);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(log.Contains("ERR\tNot enough arguments!"));
    EXPECT_TRUE(log.Contains("ERR\tScript"));
    Run(Bc().CallStmt("blt", 3).Int(7).Int(1).Int(2).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"blt 7 1 2 0 0 0 0 0 0 -1 1"}));
    Run(Bc().CallStmt("bltRotate", 3).Int(7).Int(1).Int(2).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"rotate 7 -1 0 0 0 1 0"}));
    Run(Bc().CallStmt("beginScene", 0).CallStmt("endScene", 0).b);
    EXPECT_EQ(calls, (std::vector<std::string>{"begin 77 0", "end 1"}));
    ValueRef r = Run(Bc().Return().Call("loadImage", 1).Str("a.png").b);
    EXPECT_EQ(calls, (std::vector<std::string>{"load a.png 0 -1 1 0"}));
    EXPECT_EQ(r->GetLong(), 3);
    EXPECT_EQ(r->Typ, typInt);
}

TEST_F(Host, ParseArgumentsLiterals) {
    for (const char* sep : {".", ","}) {
        zCore.DecimalSeparator = sep;
        zScriptArgs args;
        zScript.ParseArguments(args, 0, "1.0,7,'a',\"b\",true,false,0x10,0b12,word,-1");
        ASSERT_EQ(args.Count(), 10);
        EXPECT_EQ(args[1]->Typ, typFloat) << sep;
        EXPECT_EQ(args[1]->GetSingle(), 1.0f);
        EXPECT_EQ(args[2]->Typ, typInt);
        EXPECT_EQ(args[3]->GetString(), "a");
        EXPECT_EQ(args[4]->GetString(), "b");
        EXPECT_EQ(args[5]->Typ, typBool);
        EXPECT_TRUE(args[5]->GetBool());
        EXPECT_FALSE(args[6]->GetBool());
        EXPECT_EQ(args[7]->GetLong(), 16);
        EXPECT_EQ(args[8]->Typ, typByte);
        EXPECT_EQ(args[8]->GetLong(), 12);
        EXPECT_EQ(args[9]->GetString(), "word");
        EXPECT_EQ(args[10]->GetLong(), -1);
    }
    zCore.DecimalSeparator = ".";
    // Given arguments stay; extra ones are kept.
    zScriptArgs given;
    for (int i = 0; i < 4; ++i) {
        ValueRef v = zScriptValue::New();
        v->SetLong(i);
        given.Push(v);
    }
    zScript.ParseArguments(given, 1, "5");
    EXPECT_EQ(given.Count(), 4);
    EXPECT_EQ(given[2]->GetLong(), 1);
}

TEST_F(Host, ValuesAndQueries) {
    ValueRef r = Run(Bc()
                         .Return()
                         .List(10)
                         .Call("rgb", 3).Int(255).Int(0).Int(0)
                         .Call("rgb", 3).Int(300).Int(1).Int(-5)
                         .Call("rgbx", 3).Int(1).Int(0).Int(0)
                         .Call("clipValue", 3).Int(5).Int(0).Int(3)
                         .Call("clipValue", 4).Int(5).Int(0).Int(3).Int(2)
                         .Call("getMouseX", 0)
                         .Call("getMouseY", 0)
                         .Call("getScreenW", 0)
                         .Call("getScreenH", 0)
                         .Call("getDist", 4).Int(0).Int(0).Int(3).Int(4)
                         .b);
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->At(1)->GetLong(), 255);
    EXPECT_EQ(a->At(2)->GetLong(), 255 + 256);
    EXPECT_EQ(a->At(3)->GetLong(), 1000);
    EXPECT_EQ(a->At(4)->GetSingle(), 3.0f);
    EXPECT_EQ(a->At(4)->Typ, typFloat);
    EXPECT_EQ(a->At(5)->GetSingle(), 3.0f);  // 5 wraps down by 2
    EXPECT_EQ(a->At(6)->GetLong(), 10);      // 10.5 rounds to even
    EXPECT_EQ(a->At(7)->GetLong(), 12);
    EXPECT_EQ(a->At(8)->GetLong(), 800);
    EXPECT_EQ(a->At(9)->GetLong(), 0);  // no slot filled: 0
    EXPECT_EQ(a->At(10)->GetSingle(), 5.0f);
    Run(Bc().CallStmt("saveScreenshot", 1).Str("shot.bmp").CallStmt("debug", 1).Str("x").b);
    EXPECT_EQ(calls, (std::vector<std::string>{"shot " + zFileSystem.AppPath + "shot.bmp 640 480"}));
}

TEST_F(Host, NamesNobodyKnowsReachTheClass) {
    zScriptArgs none;
    EXPECT_EQ(zScript.CallBuiltin(nullptr, nullptr, "noSuchName", none), nullptr);
    ValueRef v = zScript.CallBuiltin(nullptr, nullptr, "getScreenW", none);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->GetLong(), 800);
}

TEST_F(Host, TheGameTableShadowsHostNames) {
    gScriptHooks.CallGameFunction = [](zScriptObject*, zScriptArray*, const std::string& name,
                                       zScriptArgs&) -> ValueRef {
        if (name != "beginScene") return nullptr;
        ValueRef v = zScriptValue::New();
        v->SetString("game");
        return v;
    };
    ValueRef r = Run(Bc().Return().Call("beginScene", 0).b);
    EXPECT_EQ(r->GetString(), "game");
    EXPECT_TRUE(calls.empty());
}

TEST_F(Host, LoadScriptFileAndLog) {
    Run(Bc().CallStmt("loadScriptFile", 1).Str("missing.dat").CallStmt("log", 1).Str("written").b);
    EXPECT_TRUE(log.Contains("ERR\tLoadScriptFile\tFile not found\t<missing.dat>"));
    EXPECT_TRUE(log.Contains("written"));
    // A script names files inside the program folder only.
    for (const char* outside : {"/etc/hostname", "../../../../../../../../etc/hostname"}) {
        Run(Bc().CallStmt("loadScriptFile", 1).Str(outside).b);
        EXPECT_TRUE(log.Contains(std::string("ERR\tloadScriptFile\tFile name outside the program folder\t<") + outside + ">"));
    }
    EXPECT_FALSE(log.Contains("Error loading script"));
}

}  // namespace
}  // namespace zun::test

namespace zun::test {
namespace {

using HostBinding = ScriptTest;

TEST_F(HostBinding, StartUpBindsTheDeviceLayer) {
    zScript.Script_Initialize();
    ASSERT_TRUE(gScriptDevices.BltLine);
    int32_t before = zDDraw.LineCount;
    RunBody(Bc().CallStmt("drawLine", 5).Int(0).Int(0).Int(5).Int(5).Int(-1).b);
    EXPECT_EQ(zDDraw.LineCount, before + 1);
    // Colours come from the device's own conversion.
    zScriptArgs args;
    for (float v : {1.0f, 0.0f, 0.0f}) {
        ValueRef x = zScriptValue::New();
        x->SetSingle(v);
        args.Push(x);
    }
    ValueRef c = zScript.CallBuiltin(nullptr, nullptr, "rgbx", args);
    EXPECT_EQ(c->GetLong(), zDDrawModule::GetColorRGB(1, 0, 0));
    zDDraw.LineBuffer.Count = 0;
}

}  // namespace
}  // namespace zun::test
