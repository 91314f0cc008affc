#include "script/zAtom.h"

#include <cstring>
#include <functional>
#include <unordered_set>

#include "script/zHostValue.h"

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

// Names are looked up by text far more often than new ones are made (the game
// sends the same few events by name every frame), and the table's hash and
// bucket walk cost more than the rest of such a lookup. So the atoms found
// last are remembered by a cheap digest of their text. An entry holds no
// reference: an atom clears its entry when it goes.
constexpr int kRecentBits = 8;
AtomData* gRecent[size_t(1) << kRecentBits];

uint64_t Load8(const char* p) noexcept {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

uint64_t Load4(const char* p) noexcept {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

size_t RecentSlot(std::string_view s) noexcept {
    const size_t n = s.size();
    const char* p = s.data();
    uint64_t x = n;
    // The first and last bytes (overlapping for short names) tell most names
    // apart; a clash only sends the lookup on to the table.
    if (n >= 8) x ^= Load8(p) ^ (Load8(p + n - 8) * 0xFF51AFD7ED558CCDull);
    else if (n >= 4) x ^= Load4(p) ^ (Load4(p + n - 4) << 29);
    else
        for (size_t i = 0; i < n; ++i) x = x * 131 + static_cast<uint8_t>(p[i]);
    return static_cast<size_t>((x * 0x9E3779B97F4A7C15ull) >> (64 - kRecentBits));
}

// Names are short: most compare in two loads a side.
// The heap bytes of a name's text; the short ones sit inside the text object.
size_t NameBytes(size_t iLength) noexcept { return iLength > 15 ? iLength + 1 : 0; }

bool SameText(const std::string& a, std::string_view b) noexcept {
    const size_t n = b.size();
    if (a.size() != n) return false;
    const char* p = a.data();
    const char* q = b.data();
    if (n > 16) return std::memcmp(p, q, n) == 0;
    if (n >= 8) return Load8(p) == Load8(q) && Load8(p + n - 8) == Load8(q + n - 8);
    if (n >= 4) return Load4(p) == Load4(q) && Load4(p + n - 4) == Load4(q + n - 4);
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != q[i]) return false;
    }
    return true;
}

[[gnu::noinline]] AtomData* LookupInTable(std::string_view text, AtomData*& recent) {
    Table& t = TheTable();
    auto it = t.find(text);
    if (it == t.end()) return nullptr;
    recent = *it;
    return *it;
}

// The interned atom of a non-empty text, or null.
inline AtomData* Lookup(std::string_view text) {
    AtomData*& recent = gRecent[RecentSlot(text)];
    AtomData* d = recent;
    if (d && SameText(d->Text, text)) return d;
    return LookupInTable(text, recent);
}

}  // namespace

Atom Atom::Intern(std::string_view text) {
    if (text.empty()) return Atom();
    if (AtomData* found = Lookup(text)) return Atom(found);
    // A name is kept text like any other: a script that names array entries
    // with long texts it builds would otherwise hold them outside its budget.
    if (const size_t n = NameBytes(text.size()); n && !TakeScriptBytes(n)) ScriptOutOfMemory();
    Table& t = TheTable();
    auto* d = new AtomData();
    d->Text.assign(text);
    d->Hash = std::hash<std::string_view>{}(text);
    ClassifyCallName(*d);
    t.insert(d);
    return Atom(d);
}

Atom Atom::Find(std::string_view text) {
    if (text.empty()) return Atom();
    return Atom(Lookup(text));
}

const std::string& Atom::Text() const noexcept { return p_ ? p_->Text : kEmpty; }

void Atom::Remove(AtomData* d) noexcept {
    AtomData*& recent = gRecent[RecentSlot(d->Text)];
    if (recent == d) recent = nullptr;
    TheTable().erase(d);
    GiveScriptBytes(NameBytes(d->Text.size()));
    delete d;
}

size_t Atom::TableSize() { return TheTable().size(); }

}  // namespace zun
