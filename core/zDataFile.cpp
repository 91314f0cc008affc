#include "core/zDataFile.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "core/zMemory.h"
#include "core/zRuntime.h"

namespace zun {

namespace {

constexpr char kMagic[4] = {'Z', 'U', 'N', '2'};
constexpr char kMagicOld[4] = {'Z', 'U', 'N', '1'};
constexpr char kMagicChunk[4] = {'Z', 'U', 'N', '3'};

int32_t ReadLE32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void PutLE32(uint8_t* p, int32_t v) {
    auto u = static_cast<uint32_t>(v);
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}

struct Header {
    int32_t storedLast = 0;
    int32_t storedCrc = 0;
    int32_t flags = 0;
    int32_t plainLast = 0;
    int32_t plainCrc = 0;
};

// Checks the magic and the size; `head` holds the first min(24, fileLength)
// bytes. False (with the log line, where there is one) when the file is not a
// readable container.
bool CheckHeader(const uint8_t* head, size_t headLength, int64_t fileLength, Header& h, const std::string& FileName) {
    if (headLength < 4) return false;
    if (std::memcmp(head, kMagicOld, 4) == 0) {
        Log("ERR", "Unsupported file format", "ZUN1");
        return false;
    }
    if (std::memcmp(head, kMagicChunk, 4) == 0) {
        Log("ERR", "No stream format", "ZUN3");
        return false;
    }
    if (std::memcmp(head, kMagic, 4) != 0) return false;
    // A negative stored size would let a bare header pass the length check.
    if (headLength < DataFileHeaderSize || (h.storedLast = ReadLE32(head + 4)) < 0 ||
        fileLength - 1 != static_cast<int64_t>(DataFileHeaderSize) + h.storedLast) {
        Log("ERR", "File size error", FileName);
        return false;
    }
    h.storedCrc = ReadLE32(head + 8);
    h.flags = ReadLE32(head + 12);
    h.plainLast = ReadLE32(head + 16);
    h.plainCrc = ReadLE32(head + 20);
    return true;
}

// The plain size a header claims, and whether the file stays within what a
// file of its kind may hold: its plain bytes, and its stored ones, which
// packing grows by a few bytes at most where nothing packs.
int64_t ClaimedSize(const Header& h) {
    return (h.flags & DataFlagPacked) ? int64_t(h.plainLast) + 1 : int64_t(h.storedLast) + 1;
}
bool WithinKind(const Header& h, int64_t MaxPlain) {
    const int64_t stored = int64_t(h.storedLast) + 1;
    if (stored > MaxPlain + MaxPlain / 256 + 64) return false;
    // A claim past what any file may hold is the size error it always was.
    return MaxPlain >= MaxUnpackedSize || ClaimedSize(h) <= MaxPlain;
}
void LogTooLarge(const Header& h, int64_t MaxPlain, const std::string& FileName) {
    Log("ERR", "File too large", FileName,
        std::to_string(std::max(ClaimedSize(h), int64_t(h.storedLast) + 1)) + " bytes of at most " +
            std::to_string(MaxPlain));
}

// Holds n bytes of a file being loaded under the memory ceiling; false,
// logged with the file's name, when they do not fit.
bool HoldLoading(std::optional<HeldBytes>& oHeld, int64_t n, const std::string& FileName) {
    if (!FitsUnderCeiling(n)) {
        Log("ERR", "Memory ceiling reached", FileName, CeilingRefusal(HeldKind::UnpackedFiles, n));
        return false;
    }
    oHeld.emplace(HeldKind::UnpackedFiles, n);
    return true;
}

// Packing traps its own failures without claiming zCore.CurrentProc, which
// belongs to the caller's procedure.
template <class F>
int32_t TrapZip(const char* proc, F&& body) {
    try {
        return body();
    } catch (const RuntimeError& e) {
        LogTrapped(proc, e.Description);
    } catch (const std::bad_alloc&) {
        LogTrapped(proc, ErrorDescription(errOutOfMemory));
    } catch (const std::exception& e) {
        LogTrapped(proc, e.what());
    }
    return 0;
}

// XORs n bytes with the key stream of Key; what zEncrypt::Encrypt does to a
// whole array.
bool EncryptRange(uint8_t* p, size_t n, const std::string& Key) {
    return Trap("Encrypt", false, [&] {
        std::vector<uint8_t> key;
        if (zEncrypt::StringToBytes(Key, key) < 0) return false;
        if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Raise(errOverflow);
        zEncrypt::GenerateKey(key, static_cast<int32_t>(n));
        for (size_t i = 0; i < n; ++i) p[i] ^= key[i];
        return true;
    });
}

// Appends the zlib stream of Data (what compress() makes of it) to oFile, and
// gives the CRCs of Data and of the appended bytes. Both sums are taken a piece
// at a time right after zlib has read or written it, while it is still in the
// cache, and only the pages the packed bytes need are ever written. False when
// zlib fails; oFile then keeps any part appended so far.
bool PackInto(const std::vector<uint8_t>& Data, std::vector<uint8_t>& oFile, uLong& plainCrc, uLong& packedCrc) {
    z_stream zs{};
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
    std::unique_ptr<z_stream, int (*)(z_stream*)> end(&zs, deflateEnd);
    // Room for the worst case up front, so the image is never moved; a
    // reservation alone touches no memory.
    oFile.reserve(oFile.size() + compressBound(static_cast<uLong>(Data.size())) + 4);
    zs.next_in = const_cast<Bytef*>(Data.data());
    zs.avail_in = static_cast<uInt>(Data.size());
    plainCrc = packedCrc = crc32(0L, Z_NULL, 0);
    const Bytef* summed = Data.data();
    constexpr size_t kPiece = size_t(64) << 10;
    while (true) {
        const size_t at = oFile.size();
        const size_t room = std::max<size_t>(1, std::min(kPiece, oFile.capacity() - at - 4));
        oFile.resize(at + room);
        zs.next_out = oFile.data() + at;
        zs.avail_out = static_cast<uInt>(room);
        // All input at once and Z_FINISH from the first call, as compress()
        // does: the output space given per call changes no byte of the stream.
        const int ret = deflate(&zs, Z_FINISH);
        const size_t wrote = room - zs.avail_out;
        oFile.resize(at + wrote);
        packedCrc = crc32(packedCrc, oFile.data() + at, static_cast<uInt>(wrote));
        plainCrc = crc32(plainCrc, summed, static_cast<uInt>(zs.next_in - summed));
        summed = zs.next_in;
        if (ret == Z_STREAM_END) return true;
        if (ret != Z_OK && ret != Z_BUF_ERROR) return false;
        if (ret == Z_BUF_ERROR && wrote == 0) return false;
    }
}

// Builds the whole file image: header, then the payload packed (when asked and
// possible) and encrypted (with a non-empty key). The packing goes straight
// into place behind the header.
bool EncodeDataFile(const std::vector<uint8_t>& Data, bool Compress, const std::string& Key,
                    std::vector<uint8_t>& oFile) {
    constexpr size_t kMaxSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    // An empty array has no last index to store (and would load as a size error).
    if (Data.empty() || Data.size() > kMaxSize) return false;
    const size_t H = DataFileHeaderSize;
    int32_t flags = 0;
    oFile.clear();
    uLong plainCrc = 0, packedCrc = 0;
    if (Compress) {
        TrapZip("ZipData", [&]() -> int32_t {
            oFile.resize(H);
            if (!PackInto(Data, oFile, plainCrc, packedCrc)) return 0;
            oFile.resize(oFile.size() + 4);
            PutLE32(oFile.data() + oFile.size() - 4, static_cast<int32_t>(Data.size()));
            flags |= DataFlagPacked;
            return 1;
        });
    }
    if (!(flags & DataFlagPacked)) {
        oFile.resize(H);
        oFile.insert(oFile.end(), Data.begin(), Data.end());
    }
    const size_t stored = oFile.size() - H;
    if (stored > kMaxSize) return false;
    // Only a payload that really was encrypted may claim so.
    if (!Key.empty() && EncryptRange(oFile.data() + H, stored, Key)) flags |= DataFlagEncrypted;
    uint8_t* h = oFile.data();
    std::memcpy(h, kMagic, 4);
    PutLE32(h + 4, static_cast<int32_t>(stored - 1));
    // The sums taken while packing hold only for the bytes as packed, trailer
    // not yet counted.
    if (flags == DataFlagPacked)
        packedCrc = crc32(packedCrc, h + H + stored - 4, 4);
    else
        packedCrc = static_cast<uint32_t>(CRC32(h + H, stored));
    PutLE32(h + 8, static_cast<int32_t>(static_cast<uint32_t>(packedCrc)));
    PutLE32(h + 12, flags);
    PutLE32(h + 16, static_cast<int32_t>(Data.size() - 1));
    if (!(flags & DataFlagPacked)) plainCrc = static_cast<uint32_t>(CRC32(Data));
    PutLE32(h + 20, static_cast<int32_t>(static_cast<uint32_t>(plainCrc)));
    return true;
}

// Unpacks n bytes at src into exactly OutLength bytes of Out; 0 (Out empty)
// when they do not unpack to exactly that size.
int32_t UnzipRange(const uint8_t* src, size_t n, std::vector<uint8_t>& Out, int32_t OutLength) {
    if (OutLength < 1) return 0;
    int32_t result = TrapZip("UnzipData", [&]() -> int32_t {
        if (OutLength > MaxUnpackedSize) Raise(errOutOfMemory);
        if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Raise(errOverflow);
        const size_t want = static_cast<size_t>(OutLength);
        // The output grows with what really comes out, so a small file that
        // merely claims a large size costs no more than it unpacks to.
        Out.resize(std::min(want, std::max<size_t>(size_t(1) << 20, n * 4)));
        z_stream zs{};
        if (inflateInit(&zs) != Z_OK) return 0;
        std::unique_ptr<z_stream, int (*)(z_stream*)> end(&zs, inflateEnd);
        zs.next_in = const_cast<Bytef*>(src);
        zs.avail_in = static_cast<uInt>(n);
        while (true) {
            zs.next_out = Out.data() + zs.total_out;
            zs.avail_out = static_cast<uInt>(Out.size() - zs.total_out);
            int ret = inflate(&zs, Z_NO_FLUSH);
            if (ret == Z_STREAM_END) break;
            if (ret != Z_OK && ret != Z_BUF_ERROR) return 0;
            if (zs.avail_out > 0) {
                if (ret == Z_BUF_ERROR) return 0;  // input ended inside the stream
                continue;
            }
            if (Out.size() == want) {
                // All stated bytes are out; the rest must be the stream's end
                // (more output than stated is as wrong as less).
                uint8_t extra;
                zs.next_out = &extra;
                zs.avail_out = 1;
                if (inflate(&zs, Z_FINISH) == Z_STREAM_END && zs.avail_out == 1) break;
                return 0;
            }
            Out.resize(std::min(want, Out.size() * 2));
        }
        if (zs.total_out != want) return 0;
        return OutLength;
    });
    if (result == 0) Out.clear();
    return result;
}

// Undoes encryption and packing of the n stored bytes at stored into Data and
// checks sizes and checksums. When `owner` holds those bytes, they may be
// taken over instead of copied.
bool DecodePayload(const Header& h, const uint8_t* stored, size_t n, std::vector<uint8_t>* owner,
                   std::vector<uint8_t>& Data, const std::string& Key, const std::string& FileName) {
    if (CRC32(stored, n) != h.storedCrc) {
        Log("ERR", "File integrity error", FileName);
        return false;
    }
    std::vector<uint8_t> work;
    if (h.flags & DataFlagEncrypted) {
        if (owner)
            work = std::move(*owner);
        else
            work.assign(stored, stored + n);
        zEncrypt::Encrypt(work, Key, false);
        owner = &work;
        stored = work.data();
    }
    if (h.flags & DataFlagPacked) {
        // The trailer names the size to reserve for unpacking: it must be the
        // plain size the header states and within the cap, or nothing is reserved.
        int64_t want = static_cast<int64_t>(h.plainLast) + 1;
        if (n < 4 || ReadLE32(stored + n - 4) != want || want > MaxUnpackedSize) {
            Log("ERR", "Data size error", FileName);
            return false;
        }
        std::optional<HeldBytes> unpacking;
        if (!HoldLoading(unpacking, want, FileName)) return false;
        if (UnzipRange(stored, n - 4, Data, static_cast<int32_t>(want)) < 1)
            Data.assign(stored, stored + n - 4);  // as stored, without the trailer
    } else if (owner) {
        Data = std::move(*owner);
    } else {
        Data.assign(stored, stored + n);
    }
    if (static_cast<int64_t>(Data.size()) - 1 != h.plainLast) {
        Log("ERR", "Data size error", FileName);
        return false;
    }
    if (CRC32(Data) != h.plainCrc) {
        Log("ERR", "Data integrity error", FileName);
        return false;
    }
    return true;
}

}  // namespace

// ---- checksum --------------------------------------------------------------

int32_t CRC32(const uint8_t* Data, size_t Length) {
    // zlib's crc32 is this same CRC (reflected 0xEDB88320, inverted in and out)
    // with its tables built once; it is several times faster than a byte table.
    uLong crc = crc32(0L, Z_NULL, 0);
    while (Length > 0) {
        uInt n = Length > (1u << 30) ? (1u << 30) : static_cast<uInt>(Length);
        crc = crc32(crc, Data, n);
        Data += n;
        Length -= n;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(crc));
}

int32_t CRC32(const std::vector<uint8_t>& Data) { return CRC32(Data.data(), Data.size()); }

// ---- container -------------------------------------------------------------

bool SaveDataBytes(const std::vector<uint8_t>& Data, bool Compress, const std::string& Key,
                   std::vector<uint8_t>& oFile) {
    try {
        return EncodeDataFile(Data, Compress, Key, oFile);
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadDataBytes(const std::vector<uint8_t>& File, std::vector<uint8_t>& Data, const std::string& Key,
                   const std::string& FileName, int64_t MaxPlain) {
    try {
        Header h;
        if (!CheckHeader(File.data(), std::min(File.size(), DataFileHeaderSize), static_cast<int64_t>(File.size()), h,
                         FileName))
            return false;
        if (!WithinKind(h, MaxPlain)) {
            LogTooLarge(h, MaxPlain, FileName);
            return false;
        }
        return DecodePayload(h, File.data() + DataFileHeaderSize, File.size() - DataFileHeaderSize, nullptr, Data,
                             Key, FileName);
    } catch (const std::exception&) {
        return false;
    }
}

bool SaveDataFile(const std::string& FileName, std::vector<uint8_t>& Data, bool Compress, const std::string& Key) {
    if (FileName.empty()) return false;
    // Written beside the target and renamed over it at the end, so the old
    // file survives any failure on the way, and a link at the name is
    // replaced, never written through.
    try {
        std::vector<uint8_t> image;
        if (!EncodeDataFile(Data, Compress, Key, image)) return false;
        std::string error;
        if (!ReplaceHostFile(HostPathForWrite(FileName), image, error)) return false;
        // The caller gets the bytes as they were stored.
        Data.assign(image.begin() + DataFileHeaderSize, image.end());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadDataFile(const std::string& FileName, std::vector<uint8_t>& Data, const std::string& Key,
                  int64_t MaxPlain, int64_t* oClaimed) {
    try {
        HostFile f;
        std::string error;
        if (!OpenFile(FileName, f, error)) {
            // A missing file is the caller's to tell; anything else in its
            // place is refused here, by name.
            if (error != "file not found") LogRefusedFile("LoadDataFile", FileName, error);
            return false;
        }
        uint8_t head[DataFileHeaderSize];
        const int64_t got = f.ReadFull(head, DataFileHeaderSize);
        Header h;
        if (got < 0 || !CheckHeader(head, size_t(got), f.Size(), h, FileName)) return false;
        if (!WithinKind(h, MaxPlain)) {
            if (oClaimed)
                *oClaimed = std::max(ClaimedSize(h), int64_t(h.storedLast) + 1);
            else
                LogTooLarge(h, MaxPlain, FileName);
            return false;
        }
        // The size check above ties the payload size to the real file length.
        std::optional<HeldBytes> reading;
        if (!HoldLoading(reading, int64_t(h.storedLast) + 1, FileName)) return false;
        std::vector<uint8_t> stored(static_cast<size_t>(h.storedLast) + 1);
        if (f.ReadFull(stored.data(), stored.size()) != int64_t(stored.size())) return false;
        f.Close();
        return DecodePayload(h, stored.data(), stored.size(), &stored, Data, Key, FileName);
    } catch (const std::exception&) {
        return false;
    }
}

// ---- packing ---------------------------------------------------------------

namespace zZip {

int32_t ZipData(const std::vector<uint8_t>& Data, std::vector<uint8_t>& Out) {
    bool packed = false;
    int32_t result = TrapZip("ZipData", [&]() -> int32_t {
        Out.clear();
        if (Data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Raise(errOverflow);
        uLongf capacity = compressBound(static_cast<uLong>(Data.size()));
        Out.resize(capacity);
        if (compress(Out.data(), &capacity, Data.data(), static_cast<uLong>(Data.size())) != Z_OK) return 0;
        Out.resize(capacity);
        packed = true;
        return static_cast<int32_t>(Data.size());
    });
    if (!packed) Out.clear();
    return result;
}

int32_t UnzipData(const std::vector<uint8_t>& Data, std::vector<uint8_t>& Out, int32_t OutLength) {
    return UnzipRange(Data.data(), Data.size(), Out, OutLength);
}

bool AutoZip(std::vector<uint8_t>& Data) {
    try {
        std::vector<uint8_t> packed;
        int32_t n = ZipData(Data, packed);
        if (n < 1) return false;
        size_t at = packed.size();
        packed.resize(at + 4);
        PutLE32(packed.data() + at, n);
        Data = std::move(packed);
        return true;
    } catch (const std::exception&) {
        Log("ERR", "AutoZip");
        return false;
    }
}

bool AutoUnzip(std::vector<uint8_t>& Data) {
    if (Data.size() < 4) {
        Log("ERR", "AutoUnzip");
        return false;
    }
    try {
        int32_t n = ReadLE32(Data.data() + Data.size() - 4);
        Data.resize(Data.size() - 4);
        std::vector<uint8_t> unpacked;
        if (UnzipData(Data, unpacked, n) < 1) return false;
        Data = std::move(unpacked);
        return true;
    } catch (const std::exception&) {
        Log("ERR", "AutoUnzip");
        return false;
    }
}

}  // namespace zZip

// ---- encryption ------------------------------------------------------------

namespace zEncrypt {

int32_t StringToBytes(const std::string& Text, std::vector<uint8_t>& Bytes) {
    if (Text.empty()) return -1;
    // Texts are already Windows-1252 bytes, one per character.
    Bytes.assign(Text.begin(), Text.end());
    return static_cast<int32_t>(Bytes.size()) - 1;
}

int64_t ByteSum(const std::vector<uint8_t>& Bytes) {
    int64_t s = 0;
    for (uint8_t b : Bytes) s += b;
    return s;
}

int32_t SingleToLong(float Value) { return std::bit_cast<int32_t>(Value); }

void XorBytes(std::vector<uint8_t>& Data, const std::vector<uint8_t>& Key) {
    if (Data.size() != Key.size()) return;
    for (size_t i = 0; i < Data.size(); ++i) Data[i] ^= Key[i];
}

void GenerateKey(std::vector<uint8_t>& KeyBytes, int32_t Length) {
    zCore.CurrentProc = "GenerateKey";
    if (KeyBytes.empty() || Length < 0) Raise(errSubscript);
    const size_t k = KeyBytes.size();
    // In 64 bits: k * Length overflows a Long for large data.
    int64_t s = ByteSum(KeyBytes);
    int64_t seed = s + static_cast<int64_t>(RoundHalfEven(static_cast<double>(s) / static_cast<double>(k))) +
                   static_cast<int64_t>(k) * Length;
    uint32_t b = static_cast<uint32_t>(((seed % 256) + 256) % 256);
    auto next = [&](int32_t i, uint32_t prev) -> uint32_t {
        float f = static_cast<float>(i + int64_t(1));
        float t = static_cast<float>(KeyBytes[static_cast<size_t>(i) % k] + prev);
        float q = static_cast<float>(static_cast<double>(f) / (static_cast<double>(f) + static_cast<double>(t)));
        return static_cast<uint32_t>(SingleToLong(q)) & 0xFFu;
    };
    for (int32_t i = 0; i < Length; ++i) b = next(i, b);
    std::vector<uint8_t> stream(static_cast<size_t>(Length));
    for (int32_t i = 0; i < Length; ++i) {
        b = next(i, b);
        stream[static_cast<size_t>(i)] = static_cast<uint8_t>(b);
    }
    KeyBytes = std::move(stream);
}

bool Encrypt(std::vector<uint8_t>& Data, const std::string& Key, bool Encode) {
    (void)Encode;  // XOR with the same stream both ways
    return EncryptRange(Data.data(), Data.size(), Key);
}

}  // namespace zEncrypt

}  // namespace zun
