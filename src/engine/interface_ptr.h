// interface_ptr: owns one reference to a COM-style interface (anything with Release).
//
// assign takes over a reference the caller has just obtained (no AddRef); reset and
// destruction Release it. Member access on an empty pointer throws interface_ptr_exception
// with code 2. Not copyable: a copy would Release a reference it never took.
#pragma once

#include "engine/exceptions.h"

template <typename T> class interface_ptr {
public:
    interface_ptr() = default;
    interface_ptr(const interface_ptr&) = delete;
    interface_ptr& operator=(const interface_ptr&) = delete;
    ~interface_ptr() { reset(); }

    void reset()
    {
        T* const ptr = ptr_;
        ptr_ = nullptr;
        if (ptr != nullptr)
            ptr->Release();
    }

    void assign(T* ptr)
    {
        reset();
        ptr_ = ptr;
    }

    T* operator->() const
    {
        if (ptr_ == nullptr)
            throw interface_ptr_exception(IException::used_while_empty);
        return ptr_;
    }

    bool empty() const { return ptr_ == nullptr; }
    // The raw pointer, null when empty; the reference stays owned here.
    T* get() const { return ptr_; }

private:
    T* ptr_ = nullptr;
};
