// Whole files read into memory for the decoders that work on bytes.
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

}  // namespace zun
