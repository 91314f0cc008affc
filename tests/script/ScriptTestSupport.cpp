#include "ScriptTestSupport.h"

#include "core/zCore.h"

namespace zun::test {

void WriteValue(zStream& s, uint8_t typ, const std::string& name, const HostValue& content) {
    s.WriteByte(typ);
    s.WriteStringU(name);
    switch (typ) {
        case typVar: s.WriteStringU(content.ToText()); break;
        case typBool: s.WriteBool(content.ToBool()); break;
        case typByte: s.WriteByte(content.ToByte()); break;
        case typInt: s.WriteLong(content.ToLong()); break;
        case typFloat: s.WriteSingle(content.ToSingle()); break;
        case typStr: s.WriteStringU(content.ToText()); break;
        case typArray: s.WriteLong(0); break;
        default: break;
    }
}

std::vector<uint8_t> FunctionRecord(const std::string& name, const std::vector<uint8_t>& body,
                                    const std::vector<ParamSpec>& params, bool super) {
    zStream s;
    s.WriteStringU(name);
    s.WriteBool(super);
    s.WriteLong(static_cast<int32_t>(params.size()));
    for (const auto& p : params) WriteValue(s, p.typ, p.name, p.def);
    s.WriteLong(static_cast<int32_t>(body.size()));
    if (body.empty()) {
        s.WriteLong(1);
        s.WriteByte(0);
    } else {
        s.WriteLong(static_cast<int32_t>(body.size()));
        for (uint8_t c : body) s.WriteByte(c);
    }
    return s.Bytes();
}

FunctionRef MakeFunction(const std::string& name, const std::vector<uint8_t>& body,
                         const std::vector<ParamSpec>& params, bool super) {
    zStream s(FunctionRecord(name, body, params, super));
    auto f = std::make_shared<zScriptFunction>();
    f->Import(s);
    return f;
}

std::vector<uint8_t> ClassChunk(const std::string& name, const std::vector<FnSpec>& fns,
                                const std::vector<uint8_t>& initBody, const std::vector<std::string>& inherits) {
    zStream s;
    s.WriteStringU(name);
    s.WriteLong(static_cast<int32_t>(inherits.size()));
    for (const auto& n : inherits) s.WriteString(n);
    s.WriteLong(static_cast<int32_t>(fns.size()));
    std::vector<uint8_t> out = s.Bytes();
    for (const auto& f : fns) {
        auto rec = FunctionRecord(f.name, f.body, f.params, f.super);
        out.insert(out.end(), rec.begin(), rec.end());
    }
    auto init = FunctionRecord("", initBody);
    out.insert(out.end(), init.begin(), init.end());
    return out;
}

std::shared_ptr<zScriptClass> AddClass(const std::string& name, const std::vector<FnSpec>& fns,
                                       const std::vector<uint8_t>& initBody,
                                       const std::vector<std::string>& inherits) {
    zStream s(ClassChunk(name, fns, initBody, inherits));
    auto c = std::make_shared<zScriptClass>();
    c->Import(s);
    if (auto old = zScript.FindScriptClass(c->Name)) c->InheritLevel = static_cast<uint8_t>(old->InheritLevel + 1);
    c->LoadInherits();
    zScript.Classes.push_back(c);
    return c;
}

std::vector<uint8_t> ScriptFile(const std::vector<std::vector<uint8_t>>& classChunks) {
    zStream s;
    s.WriteLong(0);
    s.WriteLong(static_cast<int32_t>(classChunks.size()));
    int n = 0;
    for (const auto& c : classChunks) {
        s.WriteString("zScriptClass");
        s.WriteByte(1);
        char guid[40];
        std::snprintf(guid, sizeof guid, "%032d", ++n);
        s.WriteString(guid);
        s.WriteLong(0);
        // The class data, then an empty meta record.
        std::vector<uint8_t> data = c;
        data.insert(data.end(), 12, 0);
        s.WriteLong(static_cast<int32_t>(data.size()));
        s.WriteLong(static_cast<int32_t>(data.size()));
        for (uint8_t x : data) s.WriteByte(x);
    }
    return s.Bytes();
}

void ScriptTest::SetUp() {
    zCore.DecimalSeparator = std::string(1, '.');
    zScript.Script_Initialize();
    zScript.StepBudget = -1;
    zScript.MaxCallSteps = zScriptModule().MaxCallSteps;
    gScriptHooks = ScriptHooks();
    gScriptDevices = ScriptDevices();
    log.Clear();
}

void ScriptTest::TearDown() {
    gScriptHooks = ScriptHooks();
    gScriptDevices = ScriptDevices();
    zScript.Classes.clear();
    zScript.StepBudget = -1;
}

std::shared_ptr<zScriptObject> ScriptTest::Object(const std::string& cls, const std::string& key) {
    auto o = zScriptObject::New();
    EXPECT_TRUE(o->SetClass(cls, key));
    return o;
}

ValueRef ScriptTest::RunBody(const std::vector<uint8_t>& body, std::initializer_list<HostValue> args,
                             const std::vector<ParamSpec>& params) {
    AddClass("T", {{"f", body, params}});
    auto o = Object("T");
    return o->Execute("f", args);
}

}  // namespace zun::test
