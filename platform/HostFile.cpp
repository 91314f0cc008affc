#include "platform/HostFile.h"

#include <cstdio>

namespace zun {

bool ReadHostFileBytes(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f) {
        error = "cannot open the file";
        return false;
    }
    const long len = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    if (len < 0 || size_t(len) > maxBytes) {
        std::fclose(f);
        error = len < 0 ? "cannot read the file" : "file is too large";
        return false;
    }
    std::rewind(f);
    bytes.resize(size_t(len));
    const size_t got = len > 0 ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
    std::fclose(f);
    if (got != bytes.size()) {
        bytes.clear();
        error = "cannot read the file";
        return false;
    }
    return true;
}

}  // namespace zun
