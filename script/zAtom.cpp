#include "script/zAtom.h"

#include <functional>
#include <unordered_set>

namespace zun {

// Fills in what a call of this name means (defined with the call dispatch).
void ClassifyCallName(AtomData& d);

namespace {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    size_t operator()(const AtomData* d) const noexcept { return d->Hash; }
};
struct TextEq {
    using is_transparent = void;
    bool operator()(const AtomData* a, const AtomData* b) const noexcept { return a == b; }
    bool operator()(std::string_view a, const AtomData* b) const noexcept { return a == b->Text; }
    bool operator()(const AtomData* a, std::string_view b) const noexcept { return a->Text == b; }
};
using Table = std::unordered_set<AtomData*, TextHash, TextEq>;

// Never destroyed: atoms held by other static objects may be released after
// the end of main.
Table& TheTable() {
    static Table* t = new Table();
    return *t;
}

const std::string kEmpty;

}  // namespace

Atom Atom::Intern(std::string_view text) {
    if (text.empty()) return Atom();
    Table& t = TheTable();
    auto it = t.find(text);
    if (it != t.end()) return Atom(*it);
    auto* d = new AtomData();
    d->Text.assign(text);
    d->Hash = std::hash<std::string_view>{}(text);
    ClassifyCallName(*d);
    t.insert(d);
    return Atom(d);
}

Atom Atom::Find(std::string_view text) {
    if (text.empty()) return Atom();
    Table& t = TheTable();
    auto it = t.find(text);
    if (it != t.end()) return Atom(*it);
    return Atom();
}

const std::string& Atom::Text() const noexcept { return p_ ? p_->Text : kEmpty; }

void Atom::Remove(AtomData* d) noexcept {
    TheTable().erase(d);
    delete d;
}

size_t Atom::TableSize() { return TheTable().size(); }

}  // namespace zun
