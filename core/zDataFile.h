// The data-file container every stored file of the system uses: a 24-byte
// header ("ZUN2", stored last index, stored CRC, flags, plain last index, plain
// CRC) followed by the payload, which may be packed with zlib (flag 1, with the
// plain size as a 4-byte trailer) and XOR-encrypted (flag 2, applied after
// packing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

// Container constants.
inline constexpr size_t DataFileHeaderSize = 24;
inline constexpr int32_t DataFlagPacked = 1;
inline constexpr int32_t DataFlagEncrypted = 2;
// The largest plain size a packed payload may claim; anything above is refused
// before memory is reserved for it.
inline constexpr int64_t MaxUnpackedSize = int64_t(256) * 1024 * 1024;

// The standard CRC-32 (reflected 0xEDB88320, as zlib), its 32 bits as a signed Long.
int32_t CRC32(const std::vector<uint8_t>& Data);
int32_t CRC32(const uint8_t* Data, size_t Length);

// Saves Data as a data file. Data comes back as it was stored (packed and/or
// encrypted). The file is written under a temporary name and then renamed over
// the old one, so a failed save leaves the old file in place.
bool SaveDataFile(const std::string& FileName, std::vector<uint8_t>& Data, bool Compress, const std::string& Key);
// Loads a data file into Data. Failures are logged ("ERR", message, FileName)
// and give False; Data is then not to be used. Each kind of file passes the
// most plain bytes a file of its kind can need: a file that claims more (or
// stores more than such a payload can take) is refused before anything is
// read or unpacked, logged "File too large" unless oClaimed is given, which
// then gets the size claimed for the caller to tell. The bytes read and
// unpacked count under the program's memory ceiling while the file loads.
bool LoadDataFile(const std::string& FileName, std::vector<uint8_t>& Data, const std::string& Key,
                  int64_t MaxPlain = MaxUnpackedSize, int64_t* oClaimed = nullptr);

// The same two operations on a whole file image in memory (Data is not changed
// by saving here).
bool SaveDataBytes(const std::vector<uint8_t>& Data, bool Compress, const std::string& Key,
                   std::vector<uint8_t>& oFile);
bool LoadDataBytes(const std::vector<uint8_t>& File, std::vector<uint8_t>& Data, const std::string& Key,
                   const std::string& FileName, int64_t MaxPlain = MaxUnpackedSize);

namespace zZip {
// Packs Data in place and appends the plain size (4 bytes, little-endian); False
// (Data unchanged) when packing failed.
bool AutoZip(std::vector<uint8_t>& Data);
// Takes the plain size from the last 4 bytes, removes them and unpacks; False
// when that fails (Data then stays without its trailer).
bool AutoUnzip(std::vector<uint8_t>& Data);
// zlib compress of Data into Out; returns the plain byte count, or 0 with Out empty.
int32_t ZipData(const std::vector<uint8_t>& Data, std::vector<uint8_t>& Out);
// zlib uncompress of Data into exactly OutLength bytes; returns OutLength, or 0
// with Out empty when the data do not unpack to exactly that size.
int32_t UnzipData(const std::vector<uint8_t>& Data, std::vector<uint8_t>& Out, int32_t OutLength);
}  // namespace zZip

namespace zEncrypt {
// XORs Data with the key stream of Key; the same call encrypts and decrypts.
// An empty key changes nothing and gives False.
bool Encrypt(std::vector<uint8_t>& Data, const std::string& Key, bool Encode);
// Replaces KeyBytes (at least one byte) by a key stream of Length bytes.
void GenerateKey(std::vector<uint8_t>& KeyBytes, int32_t Length);
// The text's bytes into Bytes; returns the last index, -1 (Bytes untouched) for "".
int32_t StringToBytes(const std::string& Text, std::vector<uint8_t>& Bytes);
int64_t ByteSum(const std::vector<uint8_t>& Bytes);
int32_t SingleToLong(float Value);
// Data(i) xor= Key(i) when both have the same size; otherwise nothing.
void XorBytes(std::vector<uint8_t>& Data, const std::vector<uint8_t>& Key);
}  // namespace zEncrypt

}  // namespace zun
