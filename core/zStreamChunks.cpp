// The collection-chunk encoding of zStream lives here because it needs the
// object factory and the value store, which sit above the plain stream.
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"

namespace zun {

namespace {

// String class name, String GUID and an empty meta record: the least one
// object of a collection can take.
constexpr int64_t kMinCollectionRecord = 4 + 4 + 12;

}  // namespace

void zStream::WriteCollectionChunks(const std::vector<std::shared_ptr<iChunk>>& iCollection) {
    WriteLong(static_cast<int32_t>(iCollection.size()));
    for (const auto& obj : iCollection) {
        if (!obj) Raise(errObjectNotSet);
        WriteString(obj->ClassName());
        WriteString(obj->GUID);
        if (obj->Meta) {
            obj->Meta->Export(*this);
        } else {
            zValues empty;
            empty.Export(*this);
        }
        obj->Export(*this);
    }
}

void zStream::ReadCollectionChunks(std::vector<std::shared_ptr<iChunk>>& ioCollection) {
    int32_t count = 0;
    ReadLong(count);
    const int64_t left = static_cast<int64_t>(GetLength()) - Cursor;
    if (count < 0 || static_cast<int64_t>(count) * kMinCollectionRecord > left) Raise(errInputPastEnd);
    for (int32_t i = 0; i < count; ++i) {
        std::string name;
        ReadString(name);
        // An unknown class is logged by the factory; with no object to read
        // into, the rest of the data cannot be followed.
        auto obj = CreateClass(name, false);
        if (!obj) Raise(errObjectNotSet);
        ioCollection.push_back(obj);
        std::string guid;
        ReadString(guid);
        obj->SetGUID(guid);
        if (!obj->Meta->Import(*this)) Raise(errInputPastEnd);
        if (!obj->Import(*this)) Raise(errInputPastEnd);
    }
}

}  // namespace zun
