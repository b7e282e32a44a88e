#pragma once
// Shared holder with an atomic reference count and a release policy chosen by
// type. Copies may be made and dropped on different threads; the held object
// itself is not protected.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <utility>

// Release policies. A policy is a stateless callable that frees the object.
template <class T>
struct delete_free {
    void operator()(T* p) const { delete p; }
};
struct uint8_free {
    void operator()(unsigned char* p) const { std::free(p); }
};

template <class T, class FreePolicy = delete_free<T>>
class wisdom_ptr {
public:
    wisdom_ptr() noexcept = default;
    // Takes ownership. A null pointer makes a null holder that releases nothing.
    explicit wisdom_ptr(T* p) : ptr_(p), count_(p ? new std::atomic<std::uint32_t>(1) : nullptr) {}

    wisdom_ptr(const wisdom_ptr& o) noexcept : ptr_(o.ptr_), count_(o.count_) {
        if (count_) count_->fetch_add(1, std::memory_order_relaxed);
    }
    wisdom_ptr(wisdom_ptr&& o) noexcept
        : ptr_(std::exchange(o.ptr_, nullptr)), count_(std::exchange(o.count_, nullptr)) {}

    wisdom_ptr& operator=(wisdom_ptr o) noexcept {
        swap(o);
        return *this;
    }
    ~wisdom_ptr() { release(); }

    void swap(wisdom_ptr& o) noexcept {
        std::swap(ptr_, o.ptr_);
        std::swap(count_, o.count_);
    }
    void reset() noexcept { wisdom_ptr().swap(*this); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    bool operator!() const noexcept { return ptr_ == nullptr; }

    std::uint32_t use_count() const noexcept {
        return count_ ? count_->load(std::memory_order_relaxed) : 0;
    }

private:
    void release() noexcept {
        if (count_ && count_->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete count_;
            FreePolicy{}(ptr_);
        }
        ptr_ = nullptr;
        count_ = nullptr;
    }

    T* ptr_ = nullptr;
    std::atomic<std::uint32_t>* count_ = nullptr;
};
