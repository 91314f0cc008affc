#include "core/zValues.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zStream.h"

namespace zun {

int32_t NameHash(const std::string& iName) {
    const size_t n = iName.size();
    if (n == 0) return 0;
    // The largest possible byte sum is 1,102,970,880, so only the length term
    // could ever leave the Long range, for names no stream can hold.
    int64_t hash = static_cast<int64_t>(n);
    const size_t m = n < 32 ? n : 32;
    for (size_t i = 0; i < m; ++i)
        hash += static_cast<int64_t>(static_cast<uint8_t>(iName[i])) * static_cast<int64_t>(i + 1) * 8192;
    return static_cast<int32_t>(hash);
}

namespace {

template <class T>
bool IsZero(const T& v) {
    if constexpr (std::is_same_v<T, std::string>) {
        return v.empty();
    } else {
        return v == 0;
    }
}

template <class T>
int FindIndex(const std::vector<zValues::Entry<T>>& list, const std::string& name, int32_t hash) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].Hash == hash && list[i].Name == name) return static_cast<int>(i);
    }
    return -1;
}

template <class T>
int16_t NamesOf(const std::vector<zValues::Entry<T>>& list, std::vector<std::string>& oList) {
    if (!list.empty()) {
        oList.clear();
        oList.reserve(list.size());
        for (const auto& e : list) oList.push_back(e.Name);
    }
    return static_cast<int16_t>(static_cast<int32_t>(list.size()) - 1);
}

// Hoare partition sort on names, pivot the middle entry. The smaller part is
// sorted by recursion and the larger one by the loop, so crafted data cannot
// drive the recursion deeper than log2 of the list.
template <class T>
void SortEntries(std::vector<zValues::Entry<T>>& v, int lo, int hi) {
    while (lo < hi) {
        const std::string pivot = v[static_cast<size_t>((lo + hi) / 2)].Name;
        int i = lo, j = hi;
        do {
            while (v[static_cast<size_t>(i)].Name < pivot) ++i;
            while (pivot < v[static_cast<size_t>(j)].Name) --j;
            if (i <= j) {
                if (i != j) std::swap(v[static_cast<size_t>(i)], v[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j) SortEntries(v, lo, j);
            lo = i;
        } else {
            if (i < hi) SortEntries(v, i, hi);
            hi = j;
        }
    }
}

// String values may hold markers of later entries, so a stored set of values
// could make the text grow without end; a replacement that would pass this size
// is passed over like any other failing step.
constexpr size_t kMaxFormattedText = size_t(1) << 20;

void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
    size_t hits = 0;
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + marker.size()))
        ++hits;
    if (hits == 0) return;
    if (value.size() > marker.size() &&
        (value.size() - marker.size()) >
            (kMaxFormattedText - std::min(text.size(), kMaxFormattedText)) / hits)
        return;
    std::string out;
    out.reserve(text.size() + hits * value.size());
    size_t pos = 0;
    for (;;) {
        size_t at = text.find(marker, pos);
        if (at == std::string::npos) break;
        out.append(text, pos, at - pos);
        out += value;
        pos = at + marker.size();
    }
    out.append(text, pos, std::string::npos);
    text = std::move(out);
}

template <class T>
void WriteValue(zStream& s, const T& v) {
    if constexpr (std::is_same_v<T, std::string>)
        s.WriteString(v);
    else if constexpr (std::is_same_v<T, uint8_t>)
        s.WriteByte(v);
    else if constexpr (std::is_same_v<T, int32_t>)
        s.WriteLong(v);
    else
        s.WriteSingle(v);
}

template <class T>
void ReadValue(zStream& s, T& v) {
    if constexpr (std::is_same_v<T, std::string>)
        s.ReadString(v);
    else if constexpr (std::is_same_v<T, uint8_t>)
        s.ReadByte(v);
    else if constexpr (std::is_same_v<T, int32_t>)
        s.ReadLong(v);
    else
        s.ReadSingle(v);
}

template <class T>
void ExportList(zStream& s, const std::vector<zValues::Entry<T>>& list) {
    s.WriteInteger(static_cast<int16_t>(list.size()));
    for (const auto& e : list) {
        s.WriteString(e.Name);
        WriteValue(s, e.Value);
    }
}

// Replaces the list by the stored entries. Entries are appended only once both
// name and value are read, so a failure leaves exactly the complete ones.
template <class T>
void ImportList(zStream& s, std::vector<zValues::Entry<T>>& list) {
    int16_t count = 0;
    s.ReadInteger(count);
    if (count < 0) Raise(errOverflow, "Negative entry count");
    list.clear();
    for (int16_t i = 0; i < count; ++i) {
        zValues::Entry<T> e;
        s.ReadString(e.Name);
        ReadValue(s, e.Value);
        e.Hash = NameHash(e.Name);
        list.push_back(std::move(e));
    }
}

}  // namespace

template <class T, class Self>
auto& zValues::ListOf(Self& self) {
    if constexpr (std::is_same_v<T, std::string>)
        return self.strings_;
    else if constexpr (std::is_same_v<T, uint8_t>)
        return self.bytes_;
    else if constexpr (std::is_same_v<T, int32_t>)
        return self.longs_;
    else
        return self.singles_;
}

template <class T>
T zValues::Get(const std::string& iName, const T& iDefault) const {
    if (iName.empty()) return T{};
    const int32_t hash = NameHash(iName);
    // Walk the template chain. A chain read from a file can loop back on itself;
    // the walk stops at the first store it meets again (Brent's cycle check, so
    // no visited set is kept). Every store of a loop has then been asked.
    const zValues* cur = this;
    const zValues* mark = this;
    size_t steps = 0, limit = 1;
    while (cur) {
        const auto& list = ListOf<T>(*cur);
        int at = FindIndex(list, iName, hash);
        if (at >= 0) return list[static_cast<size_t>(at)].Value;
        cur = cur->Template.get();
        if (cur == mark) break;
        if (++steps == limit) {
            mark = cur;
            limit *= 2;
            steps = 0;
        }
    }
    return iDefault;
}

template <class T>
void zValues::Set(const std::string& iName, const T& iValue) {
    if (iName.empty()) return;
    auto& list = ListOf<T>(*this);
    const int32_t hash = NameHash(iName);
    const int at = FindIndex(list, iName, hash);
    if (!IsZero(iValue)) {
        if (at >= 0) {
            list[static_cast<size_t>(at)].Value = iValue;
        } else if (static_cast<int32_t>(list.size()) < MaxEntries) {
            list.push_back(Entry<T>{iName, iValue, hash});
        }
    } else if (at >= 0) {
        if (static_cast<size_t>(at) + 1 != list.size())
            list[static_cast<size_t>(at)] = std::move(list.back());
        list.pop_back();
    }
}

template <class T>
void zValues::SetDefault(const std::string& iName, const T& iValue) {
    if (iName.empty()) return;
    if (FindIndex(ListOf<T>(*this), iName, NameHash(iName)) >= 0) return;
    Set<T>(iName, iValue);
}

std::string zValues::GetString(const std::string& iName, const std::string& iDefault) const {
    return Get<std::string>(iName, iDefault);
}
int32_t zValues::GetLong(const std::string& iName, int32_t iDefault) const {
    return Get<int32_t>(iName, iDefault);
}
float zValues::GetSingle(const std::string& iName, float iDefault) const {
    return Get<float>(iName, iDefault);
}
uint8_t zValues::GetByte(const std::string& iName, uint8_t iDefault) const {
    return Get<uint8_t>(iName, iDefault);
}

void zValues::SetString(const std::string& iName, const std::string& iValue) {
    Set<std::string>(iName, iValue);
}
void zValues::SetSingle(const std::string& iName, float iValue) {
    Set<float>(iName, iValue);
}
void zValues::SetByte(const std::string& iName, uint8_t iValue) {
    Set<uint8_t>(iName, iValue);
}
void zValues::SetLong(const std::string& iName, int32_t iValue) {
    Set<int32_t>(iName, iValue);
}

void zValues::SetDefaultString(const std::string& iName, const std::string& iValue) {
    SetDefault<std::string>(iName, iValue);
}
void zValues::SetDefaultLong(const std::string& iName, int32_t iValue) {
    SetDefault<int32_t>(iName, iValue);
}
void zValues::SetDefaultSingle(const std::string& iName, float iValue) {
    SetDefault<float>(iName, iValue);
}
void zValues::SetDefaultByte(const std::string& iName, uint8_t iValue) {
    SetDefault<uint8_t>(iName, iValue);
}

int16_t zValues::GetLongList(std::vector<std::string>& oList) const {
    return NamesOf(longs_, oList);
}
int16_t zValues::GetByteList(std::vector<std::string>& oList) const {
    return NamesOf(bytes_, oList);
}
int16_t zValues::GetStringList(std::vector<std::string>& oList) const {
    return NamesOf(strings_, oList);
}
int16_t zValues::GetSingleList(std::vector<std::string>& oList) const {
    return NamesOf(singles_, oList);
}

std::string zValues::FormatText(const std::string& iText) const {
    std::string text = iText;
    // Byte and Long before Single and String: a String value that brings in a
    // marker of a number is not replaced again.
    for (const auto& e : bytes_) {
        const std::string marker = "[" + e.Name + "]";
        if (text.find(marker) != std::string::npos) ReplaceAll(text, marker, FormatLong(e.Value));
    }
    for (const auto& e : longs_) {
        const std::string marker = "[" + e.Name + "]";
        if (text.find(marker) != std::string::npos) ReplaceAll(text, marker, FormatLong(e.Value));
    }
    for (const auto& e : singles_) {
        const std::string marker = "[" + e.Name + "]";
        if (text.find(marker) != std::string::npos) ReplaceAll(text, marker, FormatSingle(e.Value));
    }
    for (const auto& e : strings_) {
        const std::string marker = "[" + e.Name + "]";
        if (text.find(marker) != std::string::npos) ReplaceAll(text, marker, e.Value);
    }
    return text;
}

void zValues::Reset() {
    strings_.clear();
    bytes_.clear();
    longs_.clear();
    singles_.clear();
    Template.reset();
    TemplateGUID.clear();
}

void zValues::SetTemplate(const std::shared_ptr<zValues>& iTemplate) {
    if (!iTemplate) Raise(errObjectNotSet);
    Template = iTemplate;
    TemplateGUID = iTemplate->GUID;
}

void zValues::SortNames() {
    if (!bytes_.empty()) SortEntries(bytes_, 0, static_cast<int>(bytes_.size()) - 1);
    if (!strings_.empty()) SortEntries(strings_, 0, static_cast<int>(strings_.size()) - 1);
    if (!longs_.empty()) SortEntries(longs_, 0, static_cast<int>(longs_.size()) - 1);
    if (!singles_.empty()) SortEntries(singles_, 0, static_cast<int>(singles_.size()) - 1);
}

bool zValues::Export(zStream& iData) {
    try {
        ExportList(iData, strings_);
        ExportList(iData, bytes_);
        ExportList(iData, longs_);
        ExportList(iData, singles_);
        iData.WriteString(TemplateGUID);
        return true;
    } catch (const RuntimeError&) {
    } catch (const std::exception&) {
    }
    return false;
}

bool zValues::Import(zStream& iData) {
    try {
        ImportList(iData, strings_);
        ImportList(iData, bytes_);
        ImportList(iData, longs_);
        ImportList(iData, singles_);
        // A stored empty GUID means "no template", not "keep the old one".
        std::string guid;
        iData.ReadString(guid);
        TemplateGUID = guid;
        return true;
    } catch (const RuntimeError&) {
    } catch (const std::exception&) {
    }
    return false;
}

void zValues::ImportInstances(zFile& iFile) {
    if (TemplateGUID.empty()) return;
    auto found = iFile.GetInstance(TemplateGUID);
    auto values = std::dynamic_pointer_cast<zValues>(found);
    if (found && !values) Raise(errTypeMismatch);
    Template = values;
}

void zValues::ExportInstances(zFile& iFile) {
    if (!Template) return;
    iFile.AddInstance(Template);
    // The template may have got its GUID only now (AddInstance gives one to an
    // object without), so the stored reference is taken from it here.
    TemplateGUID = Template->GUID;
}

}  // namespace zun
