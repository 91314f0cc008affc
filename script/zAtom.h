// Interned names. Every name the engine compares (variables, array entry names,
// function names) is kept once in a table, so two equal names are one object
// and comparing them is comparing pointers. The empty name is the null atom.
// An interned name lives while something holds it; the byte code caches hold
// the names they decoded for as long as the function lives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zun {

struct AtomData {
    std::string Text;
    size_t Hash = 0;
    int32_t Refs = 0;
    // What a call of this name means, worked out once when the name is interned
    // (see the interpreter): the call form, the engine built-in and the host
    // built-in of that name, -1 when none; whether the name is qualified ("P.f").
    int16_t FormId = -1;
    int16_t EngineId = -1;
    int16_t HostId = -1;
    bool HasDot = false;
    // Cached answer of the game table for this name; valid while GameGen equals
    // the engine's current dispatch generation.
    uint32_t GameGen = 0;
    bool GameKnows = false;
};

class Atom {
public:
    Atom() noexcept = default;
    Atom(const Atom& o) noexcept : p_(o.p_) {
        if (p_) ++p_->Refs;
    }
    Atom(Atom&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~Atom() { Drop(); }
    Atom& operator=(const Atom& o) noexcept {
        if (o.p_) ++o.p_->Refs;
        AtomData* old = p_;
        p_ = o.p_;
        if (old) Unref(old);
        return *this;
    }
    Atom& operator=(Atom&& o) noexcept {
        if (this != &o) {
            AtomData* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old) Unref(old);
        }
        return *this;
    }

    // The atom of a text, interned on first use. "" gives the null atom.
    static Atom Intern(std::string_view text);
    // The atom of a text when it is interned already, else the null atom. A
    // name that is not interned cannot be the name of any entry.
    static Atom Find(std::string_view text);

    const std::string& Text() const noexcept;
    bool Empty() const noexcept { return p_ == nullptr; }
    AtomData* Data() const noexcept { return p_; }
    friend bool operator==(const Atom& a, const Atom& b) noexcept { return a.p_ == b.p_; }
    friend bool operator!=(const Atom& a, const Atom& b) noexcept { return a.p_ != b.p_; }

    // Number of names interned at the moment (for tests).
    static size_t TableSize();

private:
    explicit Atom(AtomData* p) noexcept : p_(p) {
        if (p_) ++p_->Refs;
    }
    void Drop() noexcept {
        if (p_) Unref(p_);
        p_ = nullptr;
    }
    static void Unref(AtomData* d) noexcept {
        if (--d->Refs == 0) Remove(d);
    }
    static void Remove(AtomData* d) noexcept;

    AtomData* p_ = nullptr;
};

struct AtomHash {
    size_t operator()(const Atom& a) const noexcept { return reinterpret_cast<size_t>(a.Data()) >> 4; }
};

}  // namespace zun
