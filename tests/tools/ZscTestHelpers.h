// Builders for hand-assembled byte code in the compiler tests: every helper
// returns hex text that TestSupport's Hex() turns into bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "support/TestSupport.h"
#include "tools/zsc/zscCompiler.h"

namespace zun::zsc::test {

inline std::string HexLong(int32_t v) {
    char buf[16];
    uint32_t u = uint32_t(v);
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x ", u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF, u >> 24);
    return buf;
}
// A jump target written for a 0-based offset.
inline std::string To(int32_t offset) { return HexLong(offset + 1); }
inline std::string HexSingle(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return HexLong(int32_t(u));
}
// StringU of an ASCII text.
inline std::string SU(const std::string& s) {
    std::string out = HexLong(int32_t(s.size() * 2));
    char buf[8];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02x00", c);
        out += buf;
    }
    return out + " ";
}
// String (one byte per character) of an ASCII text.
inline std::string S(const std::string& s) {
    std::string out = HexLong(int32_t(s.size()));
    char buf[8];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out + " ";
}
inline std::string Var(const std::string& name) { return "05 " + SU(name); }
inline std::string Int(int32_t v) { return "0c " + HexLong(v); }

// The hex of bytes, spaced, for readable failure output.
inline std::string Spaced(const std::string& hex) { return zun::test::ToHex(zun::test::Hex(hex)); }

}  // namespace zun::zsc::test
