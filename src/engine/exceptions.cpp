#include "engine/exceptions.h"

IException::IException(const wchar_t* text, int32_t code, int32_t detail)
    : message_{}, code_(code), detail_(detail)
{
    for (int32_t i = 0; text != nullptr && i < message_size - 1 && text[i] != 0; ++i)
        message_[i] = text[i];
}

IException::~IException() = default;

smart_ptr_exception::smart_ptr_exception(int32_t code) : IException(L"smart ptr exception", code, 0)
{
}

interface_ptr_exception::interface_ptr_exception(int32_t code)
    : IException(L"interface ptr exception", code, 0)
{
}
