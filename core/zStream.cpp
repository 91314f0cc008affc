#include "core/zStream.h"

#include <bit>
#include <limits>

#include "core/zDataFile.h"
#include "core/zRuntime.h"

namespace zun {

// Values are copied as raw memory blocks, which is only the stored byte order
// on a little-endian machine.
static_assert(std::endian::native == std::endian::little, "zStream stores little-endian values as raw memory");

namespace {
constexpr int64_t kMaxLength = std::numeric_limits<int32_t>::max();

// Reads of any kind leave the position where it was when they fail, so a
// caller that catches the failure can still report where the bad data began.
struct PosGuard {
    int32_t& target;
    int32_t pos;
    explicit PosGuard(int32_t& t) : target(t), pos(t) {}
    void Commit() { target = pos; }
};
}  // namespace

// ---- whole contents --------------------------------------------------------

int32_t zStream::GetData(std::vector<uint8_t>& oArray) const {
    if (bytes_.empty())
        oArray.assign(1, 0);
    else
        oArray = bytes_;
    return GetLength();
}

void zStream::SetData(const std::vector<uint8_t>& iArray) {
    if (static_cast<int64_t>(iArray.size()) > kMaxLength) Raise(errOverflow);
    bytes_ = iArray;
}

void zStream::SetData(std::vector<uint8_t>&& iArray) {
    if (static_cast<int64_t>(iArray.size()) > kMaxLength) Raise(errOverflow);
    bytes_ = std::move(iArray);
}

void zStream::SetLength(int32_t iLength) {
    if (iLength < 0) return;
    bytes_.resize(static_cast<size_t>(iLength), 0);
}

void zStream::Reset() {
    std::vector<uint8_t>().swap(bytes_);
    Cursor = 0;
}

bool zStream::FileExport(const std::string& iFilename, bool iZipped, const std::string& iPassword) {
    std::vector<uint8_t> copy;
    GetData(copy);
    Cursor = 0;
    return SaveDataFile(iFilename, copy, iZipped, iPassword);
}

bool zStream::FileImport(const std::string& iFilename, const std::string& iPassword, int64_t iMaxBytes,
                         int64_t* oClaimed) {
    std::vector<uint8_t> loaded;
    bool ok = LoadDataFile(iFilename, loaded, iPassword, iMaxBytes, oClaimed);
    if (ok && static_cast<int64_t>(loaded.size()) <= kMaxLength)
        bytes_ = std::move(loaded);
    else
        ok = false;
    if (!ok) std::vector<uint8_t>().swap(bytes_);
    Cursor = 0;
    return ok;
}

bool zStream::Export(zStream& iData) {
    std::vector<uint8_t> array;
    int32_t length = GetData(array);  // a copy, so exporting into itself stays sound
    iData.WriteLong(length);
    iData.WriteArray(array);
    return true;
}

bool zStream::Import(zStream& iData) {
    PosGuard g(iData.Cursor);
    int32_t length = iData.Take<int32_t>(g.pos);
    std::vector<uint8_t> array = iData.TakeArray(g.pos);
    // The length may be shorter than the array (an empty stream stores one
    // byte), never longer.
    if (length < 0 || static_cast<size_t>(length) > array.size()) Raise(errInputPastEnd);
    g.Commit();
    array.resize(static_cast<size_t>(length));
    bytes_ = std::move(array);
    Cursor = 0;
    return true;
}

// ---- writing ---------------------------------------------------------------

void zStream::Append(const void* src, size_t n) {
    if (n == 0) return;
    if (static_cast<int64_t>(bytes_.size()) + static_cast<int64_t>(n) > kMaxLength) Raise(errOverflow);
    const auto* p = static_cast<const uint8_t*>(src);
    bytes_.insert(bytes_.end(), p, p + n);
}

void zStream::AppendCount(size_t n) {
    if (static_cast<int64_t>(n) > kMaxLength) Raise(errOverflow);
    WriteLong(static_cast<int32_t>(n));
}

void zStream::WriteByte(uint8_t iByte) { Append(&iByte, 1); }
void zStream::WriteBool(bool iBool) { WriteByte(iBool ? 1 : 0); }
void zStream::WriteInteger(int16_t iInteger) { Append(&iInteger, 2); }
void zStream::WriteLong(int32_t iLong) { Append(&iLong, 4); }
void zStream::WriteSingle(float iSingle) { Append(&iSingle, 4); }
void zStream::WriteDouble(double iDouble) { Append(&iDouble, 8); }
void zStream::WriteDate(double iDate) { Append(&iDate, 8); }

void zStream::WriteString(const std::string& iString) {
    // The readers stop at this count; a longer text would be stored but read
    // back as garbage, so refuse it here where the caller can see why.
    if (iString.size() > static_cast<size_t>(MaxTextCount)) Raise(errInvalidCall);
    AppendCount(iString.size());
    Append(iString.data(), iString.size());
}

void zStream::WriteStringU(const std::string& iString) {
    std::u16string u = Cp1252ToUtf16(iString);
    size_t n = u.size() * 2;
    if (n > static_cast<size_t>(MaxTextCount)) Raise(errInvalidCall);
    AppendCount(n);
    Append(u.data(), n);
}

void zStream::WriteArray(const std::vector<uint8_t>& iArray) {
    if (&iArray == &bytes_) {  // writing our own bytes: copy them before growing
        std::vector<uint8_t> copy(iArray);
        WriteArray(copy);
        return;
    }
    AppendCount(iArray.size());
    Append(iArray.data(), iArray.size());
}

void zStream::WriteStream(const zStream& iStream) {
    if (&iStream == this) {
        std::vector<uint8_t> copy(bytes_);
        WriteArray(copy);
        return;
    }
    WriteArray(iStream.bytes_);
}

template <class T>
void zStream::WriteGrid(const Grid<T>& g) {
    if (g.d1 < 0 || g.d2 < 0 ||
        g.data.size() != static_cast<size_t>(g.d1) * static_cast<size_t>(g.d2))
        Raise(errSubscript);
    size_t n = g.data.size() * sizeof(T);
    if (static_cast<int64_t>(bytes_.size()) + 8 + static_cast<int64_t>(n) > kMaxLength) Raise(errOverflow);
    WriteLong(g.d1);
    WriteLong(g.d2);
    Append(g.data.data(), n);
}

void zStream::WriteArrayByte2D(const Grid<uint8_t>& iArray) { WriteGrid(iArray); }
void zStream::WriteArrayLong2D(const Grid<int32_t>& iArray) { WriteGrid(iArray); }
void zStream::WriteArrayInteger2D(const Grid<int16_t>& iArray) { WriteGrid(iArray); }

void zStream::WriteVector2(const Vector2& iVector) {
    WriteSingle(iVector.x);
    WriteSingle(iVector.y);
}

void zStream::WriteVector(const Vector3& iVector) {
    WriteSingle(iVector.x);
    WriteSingle(iVector.y);
    WriteSingle(iVector.z);
}

void zStream::WriteQuat(const Quat& iQuat) {
    WriteSingle(iQuat.x);
    WriteSingle(iQuat.y);
    WriteSingle(iQuat.z);
    WriteSingle(iQuat.w);
}

void zStream::WriteTypeBytes(const void* src, size_t size) {
    std::vector<uint8_t> record(size + 1, 0);
    if (size) std::memcpy(record.data(), src, size);
    WriteArray(record);
}

// ---- reading ---------------------------------------------------------------

const uint8_t* zStream::Need(int32_t pos, int64_t n) const {
    if (pos < 0 || n < 0 || static_cast<int64_t>(pos) + n > static_cast<int64_t>(bytes_.size()))
        Raise(errInputPastEnd);
    return bytes_.data() + pos;
}

int32_t zStream::TakeCount(int32_t& ioPos) const {
    int32_t n = Take<int32_t>(ioPos);
    if (n < 0 || static_cast<int64_t>(n) > static_cast<int64_t>(bytes_.size()) - ioPos) Raise(errInputPastEnd);
    return n;
}

std::vector<uint8_t> zStream::TakeArray(int32_t& ioPos) const {
    int32_t p = ioPos;
    int32_t n = TakeCount(p);
    const uint8_t* src = bytes_.data() + p;
    std::vector<uint8_t> out(src, src + n);
    ioPos = p + n;
    return out;
}

bool zStream::TakeText(int32_t& ioPos, bool unicode, std::string& oText) const {
    int32_t p = ioPos;
    int32_t n = Take<int32_t>(p);
    if (n < 1 || n > MaxTextCount) {
        // Not a readable text: only the count is consumed.
        ioPos = p;
        return false;
    }
    const uint8_t* src = Need(p, n);
    if (unicode) {
        std::u16string u(static_cast<size_t>(n) / 2, u'\0');
        if (!u.empty()) std::memcpy(u.data(), src, u.size() * 2);
        oText = Utf16ToCp1252(u);
    } else {
        oText.assign(reinterpret_cast<const char*>(src), static_cast<size_t>(n));
    }
    ioPos = p + n;
    return true;
}

void zStream::ReadByte(uint8_t& oByte) { oByte = GetByte(Cursor); }
void zStream::ReadBool(bool& oBool) { oBool = GetBool(Cursor); }
void zStream::ReadInteger(int16_t& oInteger) { oInteger = GetInteger(Cursor); }
void zStream::ReadLong(int32_t& oLong) { oLong = GetLong(Cursor); }
void zStream::ReadSingle(float& oSingle) { oSingle = GetSingle(Cursor); }
void zStream::ReadDouble(double& oDouble) { oDouble = Take<double>(Cursor); }
void zStream::ReadDate(double& oDate) { oDate = GetDate(Cursor); }

void zStream::ReadString(std::string& oString) {
    std::string text;
    if (TakeText(Cursor, false, text)) oString = std::move(text);
}

void zStream::ReadStringU(std::string& oString) {
    std::string text;
    if (TakeText(Cursor, true, text)) oString = std::move(text);
}

void zStream::ReadArray(std::vector<uint8_t>& oArray) { oArray = TakeArray(Cursor); }

void zStream::ReadStream(zStream& oStream) {
    PosGuard g(Cursor);
    std::vector<uint8_t> bytes = TakeArray(g.pos);
    g.Commit();
    oStream.SetData(std::move(bytes));
}

template <class T>
void zStream::ReadGrid(Grid<T>& g) {
    int32_t p = Cursor;
    int32_t d1 = Take<int32_t>(p);
    int32_t d2 = Take<int32_t>(p);
    if (d1 < 0 || d2 < 0) Raise(errSubscript);
    // Checked against the bytes left before anything is allocated (and before
    // the byte count could overflow).
    int64_t count = static_cast<int64_t>(d1) * d2;
    if (count > (static_cast<int64_t>(bytes_.size()) - p) / static_cast<int64_t>(sizeof(T))) Raise(errInputPastEnd);
    int64_t n = count * static_cast<int64_t>(sizeof(T));
    const uint8_t* src = Need(p, n);
    std::vector<T> data(static_cast<size_t>(d1) * static_cast<size_t>(d2));
    if (n) std::memcpy(data.data(), src, static_cast<size_t>(n));
    g.d1 = d1;
    g.d2 = d2;
    g.data = std::move(data);
    Cursor = p + static_cast<int32_t>(n);
}

void zStream::ReadArrayByte2D(Grid<uint8_t>& oArray) { ReadGrid(oArray); }
void zStream::ReadArrayLong2D(Grid<int32_t>& oArray) { ReadGrid(oArray); }
void zStream::ReadArrayInteger2D(Grid<int16_t>& oArray) { ReadGrid(oArray); }

void zStream::ReadVector2(Vector2& oVector) {
    PosGuard g(Cursor);
    Vector2 v;
    v.x = Take<float>(g.pos);
    v.y = Take<float>(g.pos);
    g.Commit();
    oVector = v;
}

void zStream::ReadVector(Vector3& oVector) {
    PosGuard g(Cursor);
    Vector3 v;
    v.x = Take<float>(g.pos);
    v.y = Take<float>(g.pos);
    v.z = Take<float>(g.pos);
    g.Commit();
    oVector = v;
}

void zStream::ReadQuat(Quat& oQuat) {
    PosGuard g(Cursor);
    Quat q;
    q.x = Take<float>(g.pos);
    q.y = Take<float>(g.pos);
    q.z = Take<float>(g.pos);
    q.w = Take<float>(g.pos);
    g.Commit();
    oQuat = q;
}

void zStream::ReadTypeBytes(void* dst, size_t size) {
    PosGuard g(Cursor);
    std::vector<uint8_t> record = TakeArray(g.pos);
    if (record.size() < size) Raise(errInputPastEnd);
    g.Commit();
    if (size) std::memcpy(dst, record.data(), size);
}

// ---- readers at the caller's position --------------------------------------

uint8_t zStream::GetByte(int32_t& ioPos) const { return Take<uint8_t>(ioPos); }
bool zStream::GetBool(int32_t& ioPos) const { return Take<uint8_t>(ioPos) != 0; }
int16_t zStream::GetInteger(int32_t& ioPos) const { return Take<int16_t>(ioPos); }
int32_t zStream::GetLong(int32_t& ioPos) const { return Take<int32_t>(ioPos); }
float zStream::GetSingle(int32_t& ioPos) const { return Take<float>(ioPos); }
double zStream::GetDate(int32_t& ioPos) const { return Take<double>(ioPos); }

std::string zStream::GetString(int32_t& ioPos) const {
    std::string text;
    TakeText(ioPos, false, text);
    return text;
}

std::string zStream::GetStringU(int32_t& ioPos) const {
    std::string text;
    TakeText(ioPos, true, text);
    return text;
}

std::shared_ptr<zStream> zStream::GetStream(int32_t& ioPos) const {
    return std::make_shared<zStream>(TakeArray(ioPos));
}

}  // namespace zun
