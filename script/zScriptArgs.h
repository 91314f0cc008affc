// The argument list of a script call: the value objects at positions 1..Count
// (position 0 is not used). An argument may be Nothing (an unset variable was
// passed). Calls rarely pass many arguments, so the first few live inline.
#pragma once

#include <cstdint>
#include <vector>

#include "script/zScriptValue.h"

namespace zun {

class zScriptArgs {
public:
    zScriptArgs() = default;
    explicit zScriptArgs(int32_t n) { Resize(n); }
    zScriptArgs(const zScriptArgs&) = default;
    zScriptArgs& operator=(const zScriptArgs&) = default;

    int32_t Count() const { return n_; }
    // Positions 1..Count; anything else is Nothing.
    zScriptValue* operator[](int32_t i) const {
        if (i < 1 || i > n_) return nullptr;
        return Slot(i).get();
    }
    ValueRef& At(int32_t i) { return Slot(i); }
    const ValueRef& At(int32_t i) const { return Slot(i); }
    // Positions 1..n; new positions are Nothing, dropped ones released.
    void Resize(int32_t n) {
        if (n < 0) n = 0;
        for (int32_t i = n + 1; i <= n_ && i <= kInline; ++i) inline_[i - 1].reset();
        if (n > kInline) heap_.resize(static_cast<size_t>(n - kInline));
        else heap_.clear();
        n_ = n;
    }
    void Push(ValueRef v) {
        Resize(n_ + 1);
        Slot(n_) = std::move(v);
    }

private:
    static constexpr int32_t kInline = 6;
    ValueRef& Slot(int32_t i) { return i <= kInline ? inline_[i - 1] : heap_[static_cast<size_t>(i - kInline - 1)]; }
    const ValueRef& Slot(int32_t i) const {
        return i <= kInline ? inline_[i - 1] : heap_[static_cast<size_t>(i - kInline - 1)];
    }
    ValueRef inline_[kInline];
    std::vector<ValueRef> heap_;
    int32_t n_ = 0;
};

}  // namespace zun
