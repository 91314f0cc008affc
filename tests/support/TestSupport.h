// Helpers shared by the tests: a captured log, temporary folders, byte dumps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/zCore.h"

namespace zun::test {

// Captures every log line while alive; restores the previous hook on destruction.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<std::string>& Lines() const { return lines_; }
    bool Contains(const std::string& fragment) const;
    void Clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
    decltype(gCoreHooks.OnLogEntry) previous_;
};

// A fresh empty folder under the system's temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Host() const { return host_; }       // "/tmp/zun-XXXX/"
    std::string Path(const std::string& name = "") const;  // program form, "\tmp\zun-XXXX\name"
    std::string HostPath(const std::string& name) const { return host_ + name; }

private:
    std::string host_;
};

std::vector<uint8_t> Hex(const std::string& hex);  // "5a 55 4e" -> bytes
std::string ToHex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadHostFile(const std::string& hostPath);
void WriteHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes);

// What a hostile game folder holds in place of a file: a FIFO (reading it
// would wait for ever), a folder, a link to /dev/zero (endless bytes) and a
// link to a file out of the folder.
enum class Hostile { Fifo, Folder, DeviceLink, OutsideLink };
inline constexpr Hostile kHostileKinds[] = {Hostile::Fifo, Hostile::Folder, Hostile::DeviceLink,
                                            Hostile::OutsideLink};
// Puts one at hostPath in place of whatever was there; an outside link points
// at outsideFile.
void PlaceHostile(const std::string& hostPath, Hostile kind, const std::string& outsideFile);
const char* HostileName(Hostile kind);
// Why the door refuses it.
const char* HostileReason(Hostile kind);

}  // namespace zun::test
