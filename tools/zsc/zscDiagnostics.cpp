#include "tools/zsc/zscDiagnostics.h"

namespace zun::zsc {

bool Diagnostics::HasErrors() const {
    for (const auto& d : Items)
        if (d.Error) return true;
    return false;
}

std::string Diagnostics::Format(const Diagnostic& d) const {
    std::string file = d.Pos.File >= 0 && size_t(d.Pos.File) < Files.size() ? Files[size_t(d.Pos.File)] : "zsc";
    std::string out = file;
    if (d.Pos.Line > 0) {
        out.append(1, ':').append(std::to_string(d.Pos.Line));
        out.append(1, ':').append(std::to_string(d.Pos.Col));
    }
    out += d.Error ? ": error: " : ": warning: ";
    out += d.Message;
    return out;
}

std::string Diagnostics::FormatAll() const {
    std::string out;
    for (const auto& d : Items) out += Format(d) + "\n";
    return out;
}

}  // namespace zun::zsc
