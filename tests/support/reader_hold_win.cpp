#include "support/reader_hold_win.h"

ReaderHold::ReaderHold(DWORD process_id, uint64_t read, Stop stop)
{
    const std::wstring name = event_name(process_id, read);
    release_ = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    held_ = CreateEventW(nullptr, TRUE, FALSE, (name + L"-held").c_str());
    if (stop == deaf_to_stop)
        deaf_ = CreateEventW(nullptr, TRUE, FALSE, (name + L"-deaf").c_str());
}

ReaderHold::~ReaderHold()
{
    release();
    if (release_ != nullptr)
        CloseHandle(release_);
    if (held_ != nullptr)
        CloseHandle(held_);
    if (deaf_ != nullptr)
        CloseHandle(deaf_);
}

bool ReaderHold::held(DWORD timeout_ms) const
{
    return held_ != nullptr && WaitForSingleObject(held_, timeout_ms) == WAIT_OBJECT_0;
}

void ReaderHold::release()
{
    if (release_ != nullptr)
        SetEvent(release_);
}

std::wstring ReaderHold::event_name(DWORD process_id, uint64_t read)
{
    return L"Local\\dravik-reader-hold-" + std::to_wstring(process_id) + L"-" +
           (read == end_of_input ? std::wstring(L"end") : std::to_wstring(read));
}
