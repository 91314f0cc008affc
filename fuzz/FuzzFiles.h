// For readers that take a file name: the input is written to one scratch file
// per process, whose name the target picks.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <string>

namespace zun::fuzz {

// A folder of this process's own under /tmp, made on first use.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string f = "/tmp/zun-fuzz-" + std::to_string(::getpid()) + "/";
        ::mkdir(f.c_str(), 0700);
        return f;
    }();
    return folder;
}

// Writes the bytes to `name` in the scratch folder and returns its host path.
inline std::string WriteScratch(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchFolder() + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

}  // namespace zun::fuzz
