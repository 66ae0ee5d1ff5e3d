// smart_ptr: a reference-counted owning pointer to one object or to an array, with an element
// count (length) and a current element (index) that every access checks.
//
// - assign(p, length) takes ownership of a fresh object (length 1, made by new T, deleted by
//   delete through T's virtual destructor where it has one) or of an array (any other length,
//   0 included, made by new T[length], deleted by delete[]). The delete form follows the
//   length, so an array of one element must be made as a single object; assign_array does
//   that by itself and is the safe way to make arrays.
// - Copies share ownership; the last owner's reset (or destruction) deletes the thing. The
//   count is a plain integer: a smart_ptr and its copies are used by one thread at a time.
// - index is free to move (set_index); element access (*, ->, get) throws
//   smart_ptr_exception with code 2 when empty and code 3 when index is outside
//   0 .. length - 1. A 0-element array is owned (not empty), yet every access throws code 3.
// - assign and reset bring index back to 0.
#pragma once

#include <cstdint>

#include "engine/exceptions.h"

template <typename T> class smart_ptr {
public:
    smart_ptr() = default;

    smart_ptr(const smart_ptr& other)
        : ptr_(other.ptr_), count_ref_(other.count_ref_), length_(other.length_),
          index_(other.index_)
    {
        if (count_ref_ != nullptr)
            ++*count_ref_;
    }

    smart_ptr& operator=(const smart_ptr& other)
    {
        if (this == &other)
            return *this;
        if (other.count_ref_ != nullptr)
            ++*other.count_ref_; // first: other may share this pointer's count
        reset();
        ptr_ = other.ptr_;
        count_ref_ = other.count_ref_;
        length_ = other.length_;
        index_ = other.index_;
        return *this;
    }

    ~smart_ptr() { reset(); }

    // Drops this owner; the last one deletes the object or array. Empty afterwards.
    void reset()
    {
        T* const ptr = ptr_;
        int32_t* const count_ref = count_ref_;
        const int32_t length = length_;
        ptr_ = nullptr;
        count_ref_ = nullptr;
        length_ = 0;
        index_ = 0;
        if (count_ref != nullptr && --*count_ref == 0) {
            delete count_ref;
            destroy(ptr, length);
        }
    }

    // Owns ptr (see the contract above for the length); a null ptr leaves this empty.
    void assign(T* ptr, int32_t length = 1)
    {
        reset();
        if (ptr == nullptr)
            return;
        int32_t* count_ref = nullptr;
        try {
            count_ref = new int32_t(1);
        } catch (...) {
            destroy(ptr, length);
            throw;
        }
        ptr_ = ptr;
        count_ref_ = count_ref;
        length_ = length;
        index_ = 0;
    }

    // A new array of length value-initialised elements (a single object when length is 1).
    void assign_array(int32_t length) { assign(length == 1 ? new T() : new T[length](), length); }

    T& operator*() const { return *get(); }
    T* operator->() const { return get(); }

    // The current element's address.
    T* get() const
    {
        if (ptr_ == nullptr)
            throw smart_ptr_exception(IException::used_while_empty);
        if (index_ < 0 || index_ >= length_)
            throw smart_ptr_exception(IException::index_out_of_range);
        return ptr_ + index_;
    }

    bool empty() const { return ptr_ == nullptr; }
    int32_t length() const { return length_; }
    int32_t index() const { return index_; }
    void set_index(int32_t index) { index_ = index; }
    // Owners sharing the thing; 0 when empty.
    int32_t count() const { return count_ref_ == nullptr ? 0 : *count_ref_; }

private:
    static void destroy(T* ptr, int32_t length)
    {
        if (length == 1)
            delete ptr;
        else
            delete[] ptr;
    }

    T* ptr_ = nullptr;
    int32_t* count_ref_ = nullptr;
    int32_t length_ = 0;
    int32_t index_ = 0;
};
