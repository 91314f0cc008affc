// Whole files read into memory for the decoders that work on bytes, and the
// careful writing of files whose names come from scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

// Reads a file (host path) whole; files above `maxBytes` are refused. False
// with a reason in `error` ("cannot open the file", "file is too large",
// "cannot read the file").
bool ReadHostFileBytes(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);

// A folder entry as it is, not what a link at it points to.
struct HostEntry {
    bool Exists = false;
    bool Regular = false;  // a plain file: no link, folder or device
    uint64_t Links = 0;    // names the file has
    uint64_t Size = 0;
    uint64_t Device = 0, Inode = 0;
};
HostEntry StatHostEntry(const std::string& hostPath);
// The names in a host folder, without "." and ".."; none when it cannot be read.
std::vector<std::string> ListHostFolder(const std::string& hostDir);
// At most `n` first bytes of a plain file; none for a link or anything else.
std::vector<uint8_t> ReadHostFileHead(const std::string& hostPath, size_t n);
// Writes `bytes` as the file `hostPath`, never through a link at that name.
// When `replacing` does not exist the file must be new (a name that appeared
// meanwhile fails); otherwise the name must still hold that very plain file
// with no other name. False with a reason in `error`.
bool WriteHostFileNoFollow(const std::string& hostPath, const std::vector<uint8_t>& bytes, const HostEntry& replacing,
                           std::string& error);

}  // namespace zun
