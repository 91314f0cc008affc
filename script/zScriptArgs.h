// The argument list of a script call: the value objects at positions 1..Count
// (position 0 is not used). An argument may be Nothing (an unset variable was
// passed). Calls rarely pass many arguments, so the first few live inline.
// A list is made and dropped for every call, most often with no argument at
// all, so only the inline positions in use are ever constructed: an empty
// list costs next to nothing to make and to drop.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "script/zScriptValue.h"

namespace zun {

class zScriptArgs {
public:
    zScriptArgs() noexcept {}
    explicit zScriptArgs(int32_t n) { Resize(n); }
    zScriptArgs(const zScriptArgs& o) : heap_(o.heap_) {
        for (int32_t i = 0; i < o.InlineCount(); ++i) new (&inline_[i]) ValueRef(o.inline_[i]);
        n_ = o.n_;
    }
    zScriptArgs& operator=(const zScriptArgs& o) {
        if (this == &o) return *this;
        // Copied first: dropping the old values may release what o holds.
        std::vector<ValueRef> heap = o.heap_;
        ValueRef in[kInline];
        for (int32_t i = 0; i < o.InlineCount(); ++i) in[i] = o.inline_[i];
        const int32_t n = o.n_;
        Resize(0);
        for (int32_t i = 0; i < (n < kInline ? n : kInline); ++i) new (&inline_[i]) ValueRef(std::move(in[i]));
        heap_.swap(heap);
        n_ = n;
        return *this;
    }
    ~zScriptArgs() {
        if (n_ > 0) Release();
    }

    int32_t Count() const { return n_; }
    // Positions 1..Count; anything else is Nothing.
    zScriptValue* operator[](int32_t i) const {
        if (i < 1 || i > n_) return nullptr;
        return Slot(i).get();
    }
    // Positions 1..Count only.
    ValueRef& At(int32_t i) { return Slot(i); }
    const ValueRef& At(int32_t i) const { return Slot(i); }
    // Positions 1..n; new positions are Nothing, dropped ones released.
    void Resize(int32_t n) {
        // Nearly every list is sized once, when it is still empty.
        if (n_ == 0 && n >= 0 && n <= kInline) {
            for (int32_t i = 0; i < n; ++i) new (&inline_[i]) ValueRef();
            n_ = n;
            return;
        }
        Reshape(n);
    }
    void Push(ValueRef v) {
        Resize(n_ + 1);
        Slot(n_) = std::move(v);
    }

private:
    static constexpr int32_t kInline = 6;
    [[gnu::noinline]] void Release() noexcept {
        heap_.clear();
        for (int32_t i = InlineCount(); i > 0; --i) inline_[i - 1].~ValueRef();
    }
    [[gnu::noinline]] void Reshape(int32_t n) {
        if (n < 0) n = 0;
        const int32_t have = InlineCount();
        const int32_t want = n < kInline ? n : kInline;
        for (int32_t i = have; i < want; ++i) new (&inline_[i]) ValueRef();
        for (int32_t i = want; i < have; ++i) inline_[i].reset();
        if (n > kInline) heap_.resize(static_cast<size_t>(n - kInline));
        else if (!heap_.empty()) heap_.clear();
        n_ = n;
        // Emptied above; ending them now runs nothing.
        for (int32_t i = want; i < have; ++i) inline_[i].~ValueRef();
    }
    int32_t InlineCount() const { return n_ < kInline ? n_ : kInline; }
    ValueRef& Slot(int32_t i) { return i <= kInline ? inline_[i - 1] : heap_[static_cast<size_t>(i - kInline - 1)]; }
    const ValueRef& Slot(int32_t i) const {
        return i <= kInline ? inline_[i - 1] : heap_[static_cast<size_t>(i - kInline - 1)];
    }
    // Positions 1..InlineCount() are constructed, the rest raw storage.
    union {
        ValueRef inline_[kInline];
    };
    std::vector<ValueRef> heap_;
    int32_t n_ = 0;
};

}  // namespace zun
