#include "core/zRegistry.h"

#include <cxxabi.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <typeinfo>

#include "core/zCore.h"
#include "core/zValues.h"

namespace zun {

namespace {

std::string TypeName(const iClass& obj) {
    const char* raw = typeid(obj).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(raw, nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : raw;
    std::free(demangled);
    return name;
}

// Fills buf from the kernel's random source. Its device file is not read:
// every kernel the program runs on answers getrandom, and the program opens
// no device.
bool RandomBytes(uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = getrandom(buf + got, n - got, 0);
        if (r > 0) {
            got += static_cast<size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return got == n;
}

}  // namespace

void RegisterClass(const std::shared_ptr<iClass>& Instance) {
    if (!Instance) Raise(errObjectNotSet);
    auto chunk = std::dynamic_pointer_cast<iChunk>(Instance);
    if (!chunk) {
        Log("ERR", "iChunk interface not supported", TypeName(*Instance));
        return;
    }
    const std::string name = chunk->ClassName();
    for (const auto& p : zCore.Classes) {
        if (p->ClassName() == name) {
            Log("WARN", "Class already registered", name);
            return;
        }
    }
    zCore.Classes.push_back(chunk);
    Log("INF", "Registered class", name);
}

std::shared_ptr<iChunk> FindClass(const std::string& ClassName) {
    for (const auto& p : zCore.Classes) {
        if (p->ClassName() == ClassName) return p;
    }
    return nullptr;
}

std::shared_ptr<iChunk> CreateClass(const std::string& ClassName, bool NewGUID) {
    auto proto = FindClass(ClassName);
    if (!proto) {
        Log("ERR", "Class not found", ClassName);
        return nullptr;
    }
    std::string failure;
    try {
        auto obj = proto->Create();
        if (!obj) Raise(errObjectNotSet);
        obj->Meta = std::make_shared<zValues>();
        if (NewGUID) {
            obj->GUID = CreateGUID();
            obj->Meta->GUID = CreateGUID();
        }
        return obj;
    } catch (const RuntimeError& e) {
        failure = e.Description;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    // A half-made object is of no use to anyone in this program: give none.
    Log("ERR", "Cannot create class", ClassName, failure);
    return nullptr;
}

std::string CreateGUID() {
    uint8_t b[16];
    if (!RandomBytes(b, sizeof b)) Raise(errInvalidCall, "No random source for a GUID");
    // Mark it as a random (version 4) GUID like the ones the system hands out.
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(32);
    for (uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 0x0F];
    }
    return s;
}

std::string FormatGUID(const std::string& Text) {
    std::string s;
    for (char c : Text)
        if (c != '-') s += c;
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    size_t last = s.find_last_not_of(' ');
    s = s.substr(first, last - first + 1);
    std::string out;
    for (char c : s)
        if (c != '{' && c != '}') out += c;
    return out;
}

void RegisterCoreClasses() {
    RegisterClass(std::make_shared<zValues>());
}

}  // namespace zun
