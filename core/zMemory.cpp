#include "core/zMemory.h"

namespace zun {

zMemoryState zMemory;

const char* HeldKindName(HeldKind iKind) {
    switch (iKind) {
        case HeldKind::Graphics: return "graphics";
        case HeldKind::ScriptValues: return "script values";
        case HeldKind::ScriptCode: return "script code";
        case HeldKind::UnpackedFiles: return "unpacked files";
        case HeldKind::Count: break;
    }
    return "";
}

namespace {
std::string Megabytes(int64_t n) { return std::to_string((n + (int64_t(1) << 19)) >> 20) + " MB"; }
}  // namespace

std::string CeilingRefusal(HeldKind iKind, int64_t n) {
    std::string held;
    for (size_t k = 0; k < size_t(HeldKind::Count); ++k) {
        if (!held.empty()) held += ", ";
        held += std::string(HeldKindName(HeldKind(k))) + " " + Megabytes(zMemory.Held[k]);
    }
    return Megabytes(n) + " of " + HeldKindName(iKind) + " past the memory ceiling of " + Megabytes(zMemory.Ceiling) +
           " (" + held + ")";
}

}  // namespace zun
