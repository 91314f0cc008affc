// Intrusive reference counting for the script engine's own values and arrays.
// Script values are shared objects with identity (a variable, an array entry
// and a function result may all be one object), and the interpreter makes and
// drops them at a high rate; a count inside the object, not atomic (everything
// runs on one thread), keeps that cheap. Game objects stay std::shared_ptr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/zInterfaces.h"

namespace zun {

// Polymorphic through iClass, so a holder that only knows the base can still
// destroy the right object.
class RefObject : public iClass {
public:
    RefObject() = default;
    RefObject(const RefObject&) = delete;
    RefObject& operator=(const RefObject&) = delete;

    void AddRef() noexcept { ++refs_; }
    void Release() noexcept {
        if (--refs_ == 0) delete this;
    }
    int32_t RefCount() const noexcept { return refs_; }

protected:
    ~RefObject() override = default;

private:
    int32_t refs_ = 0;
};

// Blocks of one size for objects the interpreter makes and drops at a high
// rate; freed blocks are kept for reuse. Builds with a sanitizer use the
// ordinary heap so that it can see every object.
#if defined(__SANITIZE_ADDRESS__)
#define ZUN_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUN_PLAIN_HEAP 1
#endif
#endif

template <size_t Size>
class BlockPool {
public:
    static void* Alloc() {
#ifdef ZUN_PLAIN_HEAP
        return ::operator new(Size);
#else
        if (Node* n = free_) {
            free_ = n->next;
            return n;
        }
        return Grow();
#endif
    }
    static void Free(void* p) noexcept {
#ifdef ZUN_PLAIN_HEAP
        ::operator delete(p);
#else
        Node* n = static_cast<Node*>(p);
        n->next = free_;
        free_ = n;
#endif
    }

private:
    struct Node {
        Node* next;
    };
    static_assert(Size >= sizeof(Node));
    static inline Node* free_ = nullptr;
    static void* Grow() {
        constexpr size_t kPerChunk = 256;
        char* chunk = static_cast<char*>(::operator new(Size * kPerChunk));
        for (size_t i = 1; i < kPerChunk; ++i) Free(chunk + i * Size);
        return chunk;
    }
};

// An allocator for the small lists the interpreter makes per call (scopes,
// argument and array literals): lists of up to 64 bytes come from block pools.
template <class T>
struct PoolAllocator {
    using value_type = T;
    PoolAllocator() noexcept = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        size_t bytes = n * sizeof(T);
        if (bytes <= 16) return static_cast<T*>(BlockPool<16>::Alloc());
        if (bytes <= 32) return static_cast<T*>(BlockPool<32>::Alloc());
        if (bytes <= 64) return static_cast<T*>(BlockPool<64>::Alloc());
        return static_cast<T*>(::operator new(bytes));
    }
    void deallocate(T* p, size_t n) noexcept {
        size_t bytes = n * sizeof(T);
        if (bytes <= 16) BlockPool<16>::Free(p);
        else if (bytes <= 32) BlockPool<32>::Free(p);
        else if (bytes <= 64) BlockPool<64>::Free(p);
        else ::operator delete(p);
    }
    template <class U>
    bool operator==(const PoolAllocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    Ref(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    Ref(const Ref& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    template <class U>
    Ref(const Ref<U>& o) noexcept : p_(o.get()) {
        if (p_) p_->AddRef();
    }
    ~Ref() {
        if (p_) p_->Release();
    }
    Ref& operator=(const Ref& o) noexcept {
        if (o.p_) o.p_->AddRef();
        T* old = p_;
        p_ = o.p_;
        if (old) old->Release();
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            T* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old) old->Release();
        }
        return *this;
    }
    Ref& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }
    void reset() noexcept {
        T* old = p_;
        p_ = nullptr;
        if (old) old->Release();
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }
    // Gives up ownership without releasing.
    T* detach() noexcept {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    // Takes over a pointer whose count was already raised for us.
    static Ref adopt(T* p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }

private:
    T* p_ = nullptr;
};

template <class T, class... A>
Ref<T> MakeRef(A&&... a) {
    return Ref<T>(new T(std::forward<A>(a)...));
}

}  // namespace zun
