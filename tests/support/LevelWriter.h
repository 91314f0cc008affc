// Builds small level files through the layers' own Export, the way an editor
// saves them: objects go into a chunk file in the order they are added (the
// tile sets a tile map refers to follow on their own when not added first),
// the chunk file is written and wrapped in an unpacked data-file container.
// Header-only so that only the tests that use the scene layers link them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "core/zValues.h"

namespace zun::test {

class LevelWriter {
public:
    zFile File;

    // Adds a chunk object under the given GUID; a non-empty name becomes its
    // meta "__Name". Returns the object for chaining.
    template <class T>
    std::shared_ptr<T> Add(const std::shared_ptr<T>& obj, const std::string& guid, const std::string& name = "") {
        if (!obj->Meta) obj->Meta = std::make_shared<zValues>();
        if (!name.empty()) obj->Meta->SetString("__Name", name);
        obj->SetGUID(guid);
        File.AddInstance(obj);
        return obj;
    }

    // The chunk-file payload (objects exported, references added).
    std::vector<uint8_t> Payload() {
        File.ExportToStreams(true);
        zStream s;
        File.SaveToStream(&s);
        return s.Bytes();
    }

    // The whole level file: the payload in an unpacked container.
    std::vector<uint8_t> LevelBytes() {
        std::vector<uint8_t> out;
        SaveDataBytes(Payload(), false, "", out);
        return out;
    }
};

// Loads a level file image into a chunk file and creates its objects. False
// when the container or the chunk table cannot be read.
inline bool LoadLevel(const std::vector<uint8_t>& fileBytes, zFile& out) {
    std::vector<uint8_t> payload;
    if (!LoadDataBytes(fileBytes, payload, "", "level")) return false;
    zStream s(std::move(payload));
    if (!out.LoadFromStream(&s)) return false;
    out.ImportFromStreams();
    return true;
}

}  // namespace zun::test
