// What a game folder and its scripts can make the program hold, by kind, and
// the one ceiling over them all. Each kind keeps a budget of its own where it
// is counted (the texture table, the script engine, the data-file reader);
// the ceiling keeps the kinds together from filling the machine: with what
// the program takes for itself (its code, the libraries, the GL driver, the
// windows and buffers) it stays under a gigabyte whatever a game asks for.
//
// Everything is counted on the main thread.
#pragma once

#include <cstdint>
#include <string>

namespace zun {

enum class HeldKind : uint8_t {
    Graphics,       // textures and render targets, 4 bytes a texel
    ScriptValues,   // texts, arrays and objects scripts make
    ScriptCode,     // the classes of the compiled scripts loaded
    UnpackedFiles,  // a data file while it is unpacked
    Count,
};

struct zMemoryState {
    // The program itself takes about 280 MB beside what is counted here
    // (its code and libraries, the GL driver's threads and buffers, the
    // demo's content): with this it stays near 900 MB at most.
    int64_t Ceiling = int64_t(576) << 20;
    int64_t Held[size_t(HeldKind::Count)] = {};
    int64_t Total = 0;
};
extern zMemoryState zMemory;

// The kind's name as messages give it ("graphics", "script values"...).
const char* HeldKindName(HeldKind iKind);

inline bool FitsUnderCeiling(int64_t n) { return n >= 0 && n <= zMemory.Ceiling - zMemory.Total; }
inline void Hold(HeldKind iKind, int64_t n) {
    zMemory.Held[size_t(iKind)] += n;
    zMemory.Total += n;
}
inline void Unhold(HeldKind iKind, int64_t n) {
    int64_t& held = zMemory.Held[size_t(iKind)];
    if (n > held) n = held;
    held -= n;
    zMemory.Total -= n;
}
// Holds n bytes of a kind when they fit under the ceiling; false (nothing
// held) when not.
inline bool HoldUnderCeiling(HeldKind iKind, int64_t n) {
    if (!FitsUnderCeiling(n)) return false;
    Hold(iKind, n);
    return true;
}

// The words of a refusal by the ceiling: what was asked and what holds the
// memory, as "12 MB of graphics past the memory ceiling of 576 MB (graphics
// 500 MB, script values 130 MB, script code 0 MB, unpacked files 0 MB)".
std::string CeilingRefusal(HeldKind iKind, int64_t n);

// Holds n bytes of a kind for as long as it lives.
class HeldBytes {
public:
    HeldBytes() = default;
    HeldBytes(HeldKind iKind, int64_t n) : kind_(iKind), n_(n) { Hold(kind_, n_); }
    HeldBytes(const HeldBytes&) = delete;
    HeldBytes& operator=(const HeldBytes&) = delete;
    ~HeldBytes() { Unhold(kind_, n_); }

private:
    HeldKind kind_ = HeldKind::UnpackedFiles;
    int64_t n_ = 0;
};

}  // namespace zun
