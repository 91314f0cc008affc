// The serialisation buffer of the whole system: a growable byte array with a
// length and a read position. Writers always append, little-endian, with no
// tags or alignment; the order of the calls is the format. Read* readers take
// the public Cursor, Get* readers take the caller's own position (the script
// interpreter walks byte code with them without moving Cursor).
//
// Reading past the data raises RuntimeError "Input past end of file"; counts and
// sizes read from the data are checked against the bytes left before anything
// is allocated.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/zDataFile.h"
#include "core/zGrid.h"
#include "core/zInterfaces.h"
#include "core/zVector.h"

namespace zun {

class zStream : public iClass, public iStream {
public:
    // Read position of the Read* readers (0-based byte index).
    int32_t Cursor = 0;

    // Texts longer than this (characters for String, bytes for StringU) cannot be
    // read back, so the writers refuse them.
    static constexpr int32_t MaxTextCount = 65536;

    zStream() = default;
    explicit zStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    // iClass
    std::string ClassName() const override { return "zStream"; }
    uint8_t ClassVersion() const override { return 1; }

    // iStream: this stream as a field of another one.
    // Stored as Long length, then WriteArray of the data array (an empty stream
    // still holds one byte 0, so it gives 00000000 01000000 00).
    bool Export(zStream& iData) override;
    // Reads the form Export writes; Cursor = 0.
    bool Import(zStream& iData) override;

    // ---- whole contents ----------------------------------------------------
    // Copies the data array into oArray and returns the length. The data array
    // of an empty stream is the single byte 0.
    int32_t GetData(std::vector<uint8_t>& oArray) const;
    int32_t GetLength() const { return static_cast<int32_t>(bytes_.size()); }
    // The valid bytes (length of them), without the copy GetData makes.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // Data = a copy of iArray, length = its size; Cursor unchanged.
    void SetData(const std::vector<uint8_t>& iArray);
    void SetData(std::vector<uint8_t>&& iArray);
    // Truncates or extends with zero bytes; a negative length is ignored.
    void SetLength(int32_t iLength);
    // Length 0, Cursor 0.
    void Reset();

    // Saves the data array as a data file (packed when iZipped, encrypted with a
    // non-empty password). The stream itself is unchanged apart from Cursor = 0.
    bool FileExport(const std::string& iFilename, bool iZipped, const std::string& iPassword = "");
    // Loads a data file into the stream; on failure the stream is left empty.
    // Cursor = 0 either way.
    // At most iMaxBytes plain bytes (LoadDataFile: what a file of the
    // caller's kind can need; oClaimed as there).
    bool FileImport(const std::string& iFilename, const std::string& iPassword = "",
                    int64_t iMaxBytes = MaxUnpackedSize, int64_t* oClaimed = nullptr);

    // ---- writers (append) --------------------------------------------------
    void WriteByte(uint8_t iByte);
    void WriteBool(bool iBool);             // 1 for True, 0 for False
    void WriteInteger(int16_t iInteger);
    void WriteLong(int32_t iLong);
    void WriteSingle(float iSingle);
    void WriteDouble(double iDouble);
    void WriteDate(double iDate);           // days since 30 Dec 1899 as a Double
    void WriteString(const std::string& iString);   // Long count, Windows-1252 bytes
    void WriteStringU(const std::string& iString);  // Long byte count, UTF-16LE
    void WriteArray(const std::vector<uint8_t>& iArray);  // Long count, bytes
    void WriteStream(const zStream& iStream);       // Long length, the bytes
    void WriteArrayByte2D(const Grid<uint8_t>& iArray);
    void WriteArrayLong2D(const Grid<int32_t>& iArray);
    void WriteArrayInteger2D(const Grid<int16_t>& iArray);
    void WriteVector2(const Vector2& iVector);
    void WriteVector(const Vector3& iVector);
    void WriteQuat(const Quat& iQuat);
    // A fixed-size record: Long s + 1, the s raw bytes, one byte 0.
    template <class T>
    void WriteType(const T& iData) {
        static_assert(std::is_trivially_copyable_v<T>, "WriteType stores raw record bytes");
        WriteTypeBytes(&iData, sizeof(T));
    }
    // Long count; per object: String class name, String GUID, the Meta record,
    // the object's own Export. (Implemented with the object factory.)
    void WriteCollectionChunks(const std::vector<std::shared_ptr<iChunk>>& iCollection);

    // ---- readers at Cursor (advance Cursor) --------------------------------
    void ReadByte(uint8_t& oByte);
    void ReadBool(bool& oBool);             // any non-zero byte is True
    void ReadInteger(int16_t& oInteger);
    void ReadLong(int32_t& oLong);
    void ReadSingle(float& oSingle);
    void ReadDouble(double& oDouble);
    void ReadDate(double& oDate);
    // Counts outside 1..65536 consume only the count and leave oString unchanged.
    void ReadString(std::string& oString);
    void ReadStringU(std::string& oString);
    // Count 0 gives an empty array.
    void ReadArray(std::vector<uint8_t>& oArray);
    // The bytes become the data of oStream (its Cursor is not changed); count 0
    // gives an empty stream.
    void ReadStream(zStream& oStream);
    void ReadArrayByte2D(Grid<uint8_t>& oArray);
    void ReadArrayLong2D(Grid<int32_t>& oArray);
    void ReadArrayInteger2D(Grid<int16_t>& oArray);
    void ReadVector2(Vector2& oVector);
    void ReadVector(Vector3& oVector);
    void ReadQuat(Quat& oQuat);
    template <class T>
    void ReadType(T& oData) {
        static_assert(std::is_trivially_copyable_v<T>, "ReadType restores raw record bytes");
        ReadTypeBytes(&oData, sizeof(T));
    }
    // Creates each stored object through the object factory and appends it to
    // ioCollection. (Implemented with the object factory.)
    void ReadCollectionChunks(std::vector<std::shared_ptr<iChunk>>& ioCollection);

    // ---- readers at the caller's position (Cursor untouched) ---------------
    uint8_t GetByte(int32_t& ioPos) const;
    bool GetBool(int32_t& ioPos) const;
    int16_t GetInteger(int32_t& ioPos) const;
    int32_t GetLong(int32_t& ioPos) const;
    float GetSingle(int32_t& ioPos) const;
    double GetDate(int32_t& ioPos) const;
    // Counts outside 1..65536 consume only the count and give "".
    std::string GetString(int32_t& ioPos) const;
    std::string GetStringU(int32_t& ioPos) const;
    // A new stream holding the stored bytes (count 0 gives an empty stream).
    std::shared_ptr<zStream> GetStream(int32_t& ioPos) const;

private:
    // The valid bytes. The "one byte 0" an empty stream holds is not kept here;
    // GetData, Export and FileExport put it back where it shows.
    std::vector<uint8_t> bytes_;

    void Append(const void* src, size_t n);
    void AppendCount(size_t n);
    // Checks that n bytes can be read at pos and returns a pointer to them.
    const uint8_t* Need(int32_t pos, int64_t n) const;
    // Reads a count at ioPos; checks 0 <= count <= bytes left after it.
    int32_t TakeCount(int32_t& ioPos) const;
    std::vector<uint8_t> TakeArray(int32_t& ioPos) const;
    bool TakeText(int32_t& ioPos, bool unicode, std::string& oText) const;
    void WriteTypeBytes(const void* src, size_t size);
    void ReadTypeBytes(void* dst, size_t size);
    template <class T>
    T Take(int32_t& ioPos) const {
        T v;
        std::memcpy(&v, Need(ioPos, sizeof(T)), sizeof(T));
        ioPos += static_cast<int32_t>(sizeof(T));
        return v;
    }
    template <class T>
    void WriteGrid(const Grid<T>& g);
    template <class T>
    void ReadGrid(Grid<T>& g);
};

}  // namespace zun
