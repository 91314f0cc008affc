// An argument that a procedure may normalise and hand back to its caller.
//
// Several drawing and colour procedures write clamped or defaulted values back
// into the caller's variables (a zero source width becomes the texture width, a
// transparency of 1.5 becomes 1). Callers that keep the value pass a variable of
// the exact type; callers that do not care pass a literal or an expression, and
// the write goes into a temporary that dies with the call. A variable of another
// type is converted into a temporary as well, so it is never written.
#pragma once

#include <type_traits>

namespace zun {

template <class T>
class ByRef {
public:
    ByRef(T& v) : p_(&v) {}
    template <class U, class = std::enable_if_t<std::is_arithmetic_v<std::remove_cvref_t<U>> &&
                                                !std::is_same_v<U, T&>>>
    ByRef(U&& v) : tmp_(static_cast<T>(v)), p_(&tmp_) {}
    ByRef(const ByRef&) = delete;
    ByRef& operator=(const ByRef&) = delete;

    operator T() const { return *p_; }
    T get() const { return *p_; }
    T& ref() { return *p_; }
    ByRef& operator=(T v) {
        *p_ = v;
        return *this;
    }

private:
    T tmp_{};
    T* p_;
};

}  // namespace zun
