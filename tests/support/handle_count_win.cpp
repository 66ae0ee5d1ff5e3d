#include "support/handle_count_win.h"

#include <vector>

namespace {

// SystemHandleInformation (class 16) as ntdll fills it.
struct HandleEntry {
    ULONG process_id;
    BYTE object_type;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

long handles_in_system_list(DWORD process_id)
{
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return -1;
    std::vector<char> buffer(1 << 20);
    const LONG length_mismatch = static_cast<LONG>(0xC0000004);
    LONG status;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           length_mismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    long count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        count += list->entries[i].process_id == process_id ? 1 : 0;
    return count;
}

} // namespace

long process_handle_count(HANDLE process)
{
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count != 0)
        return static_cast<long>(count);
    return handles_in_system_list(GetProcessId(process));
}
