// The exceptions of the owning pointers. They are thrown only for misuse (a programming
// error): an empty pointer used, or a current element outside the owned range. Nothing in the
// program catches them; they are thrown by value and can be caught as their own class or as
// IException.
#pragma once

#include <cstdint>

class IException {
public:
    static constexpr int32_t message_size = 128;

    // code values used by the owning pointers.
    static constexpr int32_t used_while_empty = 2;
    static constexpr int32_t index_out_of_range = 3;

    // Keeps at most message_size - 1 characters of text (null: an empty text) and fills the
    // rest with zeros.
    IException(const wchar_t* text, int32_t code, int32_t detail);
    IException(const IException&) = default;
    IException& operator=(const IException&) = default;
    virtual ~IException();

    const wchar_t* message() const { return message_; }
    int32_t code() const { return code_; }
    int32_t detail() const { return detail_; }

private:
    wchar_t message_[message_size];
    int32_t code_;
    int32_t detail_;
};

// "smart ptr exception", detail 0.
class smart_ptr_exception : public IException {
public:
    explicit smart_ptr_exception(int32_t code);
};

// "interface ptr exception", detail 0.
class interface_ptr_exception : public IException {
public:
    explicit interface_ptr_exception(int32_t code);
};
