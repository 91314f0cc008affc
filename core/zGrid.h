// A 2-D array with both indexes 0-based and the first index running fastest:
// element (i, j) lies at i + j * d1. This is also the order in which streams
// store such arrays, so a grid goes to and from a stream as one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/zRuntime.h"

namespace zun {

template <class T>
struct Grid {
    int32_t d1 = 0;  // size of the first dimension (0 To d1 - 1)
    int32_t d2 = 0;  // size of the second dimension (0 To d2 - 1)
    std::vector<T> data;

    Grid() = default;
    Grid(int32_t n1, int32_t n2, const T& fill = T()) { Resize(n1, n2, fill); }

    // New dimensions; every element becomes `fill` (the old contents are not kept).
    void Resize(int32_t n1, int32_t n2, const T& fill = T()) {
        if (n1 < 0 || n2 < 0) Raise(errSubscript);
        data.assign(static_cast<size_t>(n1) * static_cast<size_t>(n2), fill);
        d1 = n1;
        d2 = n2;
    }
    void Clear() {
        data.clear();
        d1 = 0;
        d2 = 0;
    }
    bool Empty() const { return data.empty(); }
    size_t Size() const { return data.size(); }
    bool InBounds(int32_t i, int32_t j) const { return i >= 0 && j >= 0 && i < d1 && j < d2; }

    // Unchecked access; callers that take indexes from outside use At.
    T& operator()(int32_t i, int32_t j) { return data[static_cast<size_t>(i) + static_cast<size_t>(j) * static_cast<size_t>(d1)]; }
    const T& operator()(int32_t i, int32_t j) const {
        return data[static_cast<size_t>(i) + static_cast<size_t>(j) * static_cast<size_t>(d1)];
    }
    // Checked access: "Subscript out of range" outside the bounds.
    T& At(int32_t i, int32_t j) {
        if (!InBounds(i, j)) Raise(errSubscript);
        return (*this)(i, j);
    }
    const T& At(int32_t i, int32_t j) const {
        if (!InBounds(i, j)) Raise(errSubscript);
        return (*this)(i, j);
    }
};

}  // namespace zun
