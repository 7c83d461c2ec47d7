#pragma once

#include "xlibplus/container/exception.h"
#include "xlibplus/memory/locks.h"
#include "xlibplus/memory/memory_manager.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace xlibplus {

// What a vector throws when its array cannot grow: a pointer to an empty text.
extern const char kVectorAllocationFailure[1];

// The operation name printed before a bad index throws. Specialise it to give a
// type's own text; otherwise the compiler's name of operator[] is used.
template <typename T, typename Lock, typename Locker> struct xVectorIndexOperation {
    static const char* name(const char* compilerName) { return compilerName; }
};

#if defined(_MSC_VER)
#define XLIB_OPERATION_NAME __FUNCTION__
#else
#define XLIB_OPERATION_NAME __PRETTY_FUNCTION__
#endif

// A growable array whose element access tests the index. Elements are
// default-constructed in place and moved as raw bytes, so T must tolerate being
// relocated bytewise. The array comes from the memory manager and is owned by
// the vector. Lock and Locker guard the operations that change contents or
// capacity; element access is never guarded.
template <typename T, typename Lock, typename Locker> class _xVector {
  public:
    _xVector() = default;
    _xVector(const _xVector&) = delete;
    _xVector& operator=(const _xVector&) = delete;
    virtual ~_xVector() {
        if (!data_) return;
        destroy(0, count_);
        xFree(data_);
        data_ = nullptr;
    }

    std::int32_t size() const { return count_; }

    // Prints the operation and throws xInvalidIndexException for an index
    // outside 0 .. size() - 1.
    T& operator[](std::int32_t index) {
        if (index < 0 || index >= count_) {
            std::printf("THROW INVALID INDEX FROM %s\n",
                        xVectorIndexOperation<T, Lock, Locker>::name(XLIB_OPERATION_NAME));
            throw xInvalidIndexException();
        }
        return data_[index];
    }

    std::int32_t appendElements(std::int32_t n) { return insertElements(count_, n); }

    // Places n new elements at index (at the end when index is past it) and
    // returns where they went; -1, changing nothing, for negative arguments.
    std::int32_t insertElements(std::int32_t index, std::int32_t n) {
        Locker locker(&lock_);
        if (index < 0 || n < 0) return -1;
        if (n > INT32_MAX - count_) throw kVectorAllocationFailure;
        ensureCapacity(count_ + n);
        if (index > count_) {
            index = count_;
        } else if (index < count_) {
            std::memmove(static_cast<void*>(data_ + index + n),
                         static_cast<const void*>(data_ + index),
                         std::size_t(count_ - index) * sizeof(T));
        }
        for (std::int32_t i = index; i < index + n; ++i)
            new (static_cast<void*>(data_ + i)) T;
        count_ += n;
        return index;
    }

    // Growth rule: 2 x capacity + 8, or n + 8 when that is still short.
    void ensureCapacity(std::int32_t n) {
        if (n <= capacity_) return;
        std::int64_t grown = 2 * std::int64_t(capacity_) + 8;
        if (grown < n) grown = std::int64_t(n) + 8;
        setCapacity(grown > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(grown));
    }

    // Exactly n elements when growing; a shrink reallocates only when it frees
    // more than half the array. n <= 0 frees everything.
    void setCapacity(std::int32_t n) {
        Locker locker(&lock_);
        if (n <= 0) {
            destroy(0, count_);
            xFree(data_);
            data_ = nullptr;
            count_ = capacity_ = 0;
            return;
        }
        if (n > capacity_) {
            resize(n);
            return;
        }
        if (n < count_) {
            destroy(n, count_);
            count_ = n;
        }
        if (capacity_ - n > capacity_ / 2) resize(n);
    }

    void clear(bool releaseMemory) {
        Locker locker(&lock_);
        destroy(0, count_);
        count_ = 0;
        if (releaseMemory) setCapacity(0);
    }

    std::int32_t capacity() const { return capacity_; }

  private:
    void destroy(std::int32_t from, std::int32_t to) {
        for (std::int32_t i = from; i < to; ++i)
            data_[i].~T();
    }

    // pre: n > 0. Throws kVectorAllocationFailure, unchanged, when it cannot.
    void resize(std::int32_t n) {
        const std::uint64_t bytes = std::uint64_t(n) * sizeof(T);
        if (bytes > 0xFFFFFFFFu) throw kVectorAllocationFailure;
        void* moved = xRealloc(data_, static_cast<std::uint32_t>(bytes));
        if (!moved) throw kVectorAllocationFailure;
        data_ = static_cast<T*>(moved);
        capacity_ = n;
    }

    Lock lock_;
    T* data_ = nullptr;
    std::int32_t capacity_ = 0;
    std::int32_t count_ = 0;
};

// The everyday vector: no locking, for use from one thread at a time.
template <typename T> class xVector : public _xVector<T, xEmptyLock<xEmptyLocker>, xEmptyLocker> {
  public:
    xVector() = default;
    ~xVector() override = default;
};

} // namespace xlibplus
