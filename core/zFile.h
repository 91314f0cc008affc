// The chunk file: a set of storable objects, each kept as its class name,
// version, GUID and a byte stream of its data (its own fields, then its meta
// record). Loading re-creates the objects through the object factory and lets
// them resolve their references to each other by GUID; saving collects live
// objects, serialises them and writes the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "core/zStream.h"

namespace zun {

class zFileChunk : public iClass {
public:
    std::string ContentName;     // class name of the object
    uint8_t ContentVersion = 0;  // that class's version (never checked)
    std::string GUID;
    int32_t Flags = 0;  // stored and loaded, no meaning
    int32_t Size = 0;   // data length as loaded or as last saved
    zStream Data;
    std::shared_ptr<iChunk> Instance;  // the live object, once created

    std::string ClassName() const override { return "zFileChunk"; }
    uint8_t ClassVersion() const override { return 1; }
};

class zFile : public iClass {
public:
    int32_t Flags = 0;     // stored and loaded, no meaning
    std::string FileName;  // set by Load only
    // Bytes the last stream read held after the end of its chunk table.
    int64_t TrailingBytes = 0;

    std::string ClassName() const override { return "zFile"; }
    uint8_t ClassVersion() const override { return 1; }

    int32_t ChunkCount() const { return static_cast<int32_t>(chunks_.size()); }

    // The first chunk object (index order) whose meta "__Name" is iName; null when none.
    std::shared_ptr<iChunk> FindInstance(const std::string& iName) const;

    // Reads a data file and its chunk table. False when the file cannot be read
    // or its table is truncated or corrupt; the chunks held before stay then.
    // iMaxBytes: the most plain bytes a file of the caller's kind can need.
    bool Load(const std::string& iFilename, const std::string& iPassword = "", int64_t iMaxBytes = MaxUnpackedSize);
    bool LoadFromStream(zStream* iStream);
    bool Save(const std::string& iFilename, bool iZipped = false, const std::string& iPassword = "");
    bool SaveToStream(zStream* iStream);

    // Creates the objects from the chunk data, then lets each resolve its
    // references. A chunk whose object cannot be made or read is logged and
    // left without an instance; the others still load and link.
    void ImportFromStreams();
    // Adds the object as a chunk, or updates the chunk of the same GUID, and
    // returns its index (from 1). An object without GUID is given one first.
    int32_t AddInstance(const std::shared_ptr<iChunk>& iInstance);
    // Serialises every chunk object into its data stream. With iExportInstances
    // the objects first add what they refer to, and so on until nothing new is added.
    void ExportToStreams(bool iExportInstances = true);

    // Indexes run from 1 to ChunkCount; others raise "Subscript out of range".
    void SwapChunks(int32_t Index1, int32_t Index2);
    int32_t FindChunk(const std::string& iGUID) const;  // 0 when none
    std::shared_ptr<zFileChunk> GetChunk(int32_t iChunk) const;
    std::shared_ptr<iChunk> GetInstance(const std::string& iGUID) const;
    void RemoveChunk(const std::string& iGUID);
    void RemoveChunkIndex(int32_t Index);  // 0 does nothing

private:
    std::vector<std::shared_ptr<zFileChunk>> chunks_;  // chunk i is chunks_[i - 1]

    void CheckIndex(int32_t Index) const;
};

}  // namespace zun
