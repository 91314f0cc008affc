// The contracts of storable classes: identity (iClass), fields on a stream
// (iStream) and file-level objects with a GUID, a meta record and references to
// other chunks (iChunk).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zun {

class zStream;
class zFile;
class zValues;

class iClass {
public:
    virtual ~iClass() = default;
    // The name stored in files and looked up by the object factory.
    virtual std::string ClassName() const = 0;
    virtual uint8_t ClassVersion() const { return 1; }
};

class iStream {
public:
    virtual ~iStream() = default;
    // Fields in the class's fixed order; the order is the format.
    virtual bool Import(zStream& iData) = 0;
    virtual bool Export(zStream& iData) = 0;
};

// Every chunk class keeps the public members GUID and Meta; the factory sets them.
class iChunk : public iClass, public iStream {
public:
    std::string GUID;
    std::shared_ptr<zValues> Meta;

    // A new, empty instance of the same class (the registered prototype is the factory).
    virtual std::shared_ptr<iChunk> Create() const = 0;
    virtual void SetGUID(const std::string& iGUID) { GUID = iGUID; }
    // After a whole file is loaded: resolve references stored as GUID texts.
    virtual void ImportInstances(zFile& iFile) {}
    // Before a file is written: add the referenced instances to the file.
    virtual void ExportInstances(zFile& iFile) {}
};

}  // namespace zun
