// The named value store: four separate lists of named values (String, Byte,
// Long, Single), each name found exactly (case-sensitive). A store may name
// another store as its template; a value it does not hold is read from there.
// It is the meta record of every storable object, the settings store and the
// data of value-set regions and music-setup events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"

namespace zun {

class zStream;
class zFile;

// n + sum over the first min(n, 32) bytes of b(i) * i * 8192 (i from 1).
// The hash lets a lookup skip the text comparison of almost every entry.
int32_t NameHash(const std::string& iName);

class zValues : public iChunk {
public:
    // Consulted for names this store does not hold; shared, never copied.
    std::shared_ptr<zValues> Template;
    // GUID of the template: what is stored in place of the object.
    std::string TemplateGUID;

    // A list holds at most this many entries (its count is 16-bit); adds past
    // it are refused.
    static constexpr int32_t MaxEntries = 32767;

    // iClass / iChunk / iStream
    std::string ClassName() const override { return "zValues"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zValues>(); }
    void ImportInstances(zFile& iFile) override;
    void ExportInstances(zFile& iFile) override;
    bool Import(zStream& iData) override;
    bool Export(zStream& iData) override;

    // Names in list order; the result is count - 1, and oList is untouched when
    // the list is empty.
    int16_t GetLongList(std::vector<std::string>& oList) const;
    int16_t GetByteList(std::vector<std::string>& oList) const;
    int16_t GetStringList(std::vector<std::string>& oList) const;
    int16_t GetSingleList(std::vector<std::string>& oList) const;

    // Replaces every "[name]" by its value, visiting the Byte, Long, Single and
    // String lists in that order.
    std::string FormatText(const std::string& iText) const;
    // Empties the lists and drops the template; GUID and Meta stay.
    void Reset();
    // Raises when iTemplate is null.
    void SetTemplate(const std::shared_ptr<zValues>& iTemplate);
    void SortNames();

    // Own entry, else the template chain, else the default. An empty name gives
    // the zero value without looking anywhere.
    std::string GetString(const std::string& iName, const std::string& iDefault = "") const;
    int32_t GetLong(const std::string& iName, int32_t iDefault = 0) const;
    float GetSingle(const std::string& iName, float iDefault = 0.0f) const;
    uint8_t GetByte(const std::string& iName, uint8_t iDefault = 0) const;

    // Add or update; the zero value ("" or 0) removes the own entry, the last
    // entry taking its place.
    void SetString(const std::string& iName, const std::string& iValue);
    void SetSingle(const std::string& iName, float iValue);
    void SetByte(const std::string& iName, uint8_t iValue);
    void SetLong(const std::string& iName, int32_t iValue);

    // Set only when this store's own list lacks the name (the template is not asked).
    void SetDefaultString(const std::string& iName, const std::string& iValue);
    void SetDefaultLong(const std::string& iName, int32_t iValue);
    void SetDefaultSingle(const std::string& iName, float iValue);
    void SetDefaultByte(const std::string& iName, uint8_t iValue);

    // Indexed by name: the setter is Set*, the getter Get* with the zero default.
    void StringValue(const std::string& iName, const std::string& iValue) { SetString(iName, iValue); }
    void LongValue(const std::string& iName, int32_t iValue) { SetLong(iName, iValue); }
    void SingleValue(const std::string& iName, float iValue) { SetSingle(iName, iValue); }
    void ByteValue(const std::string& iName, uint8_t iValue) { SetByte(iName, iValue); }
    std::string StringValue(const std::string& iName) const { return GetString(iName); }
    int32_t LongValue(const std::string& iName) const { return GetLong(iName); }
    float SingleValue(const std::string& iName) const { return GetSingle(iName); }
    uint8_t ByteValue(const std::string& iName) const { return GetByte(iName); }

    template <class T>
    struct Entry {
        std::string Name;
        T Value{};
        int32_t Hash = 0;
    };

private:
    std::vector<Entry<std::string>> strings_;
    std::vector<Entry<uint8_t>> bytes_;
    std::vector<Entry<int32_t>> longs_;
    std::vector<Entry<float>> singles_;

    template <class T, class Self>
    static auto& ListOf(Self& self);
    template <class T>
    T Get(const std::string& iName, const T& iDefault) const;
    template <class T>
    void Set(const std::string& iName, const T& iValue);
    template <class T>
    void SetDefault(const std::string& iName, const T& iValue);
};

}  // namespace zun
