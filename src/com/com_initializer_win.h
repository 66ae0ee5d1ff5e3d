// Process-wide COM initialisation and object creation.
//
// Contract:
// - The first live ComInitializer initialises COM on the thread that constructs it
//   (multithreaded or apartment-threaded as asked); later ones only count. Destroying the last
//   one uninitialises COM, unloads the server modules that agree to go and ends the module
//   list. Construct and destroy the first and last initializer on the same thread.
// - The use count changes only by interlocked operations; the module list only under its lock.
// - create_instance makes an in-process object through the creation function (the system's
//   CoCreateInstance unless replaced); when that fails it asks the server modules of
//   ServerModuleList in order, and returns E_NOINTERFACE when none serves the class. Every
//   failure is an HRESULT; nothing throws.
// - Nothing in the program adds server modules; add_server_module exists so that the fallback
//   can be exercised. The list is usable only while an initializer lives.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstdint>

// Same form as CoCreateInstance.
typedef HRESULT(STDAPICALLTYPE* CreateInstanceFunction)(REFCLSID class_id, LPUNKNOWN outer,
                                                        DWORD context, REFIID interface_id,
                                                        LPVOID* result);

class ComInitializer {
public:
    // COINIT_MULTITHREADED when multithreaded, else COINIT_APARTMENTTHREADED; the result of
    // CoInitializeEx is not looked at (a thread that already has COM keeps its own mode).
    explicit ComInitializer(bool multithreaded);
    ~ComInitializer();
    ComInitializer(const ComInitializer&) = delete;
    ComInitializer& operator=(const ComInitializer&) = delete;

    // 0 with *result set, E_POINTER for a null result address, else E_NOINTERFACE.
    static HRESULT create_instance(REFCLSID class_id, REFIID interface_id, void** result);

    // Unloads every listed module whose DllCanUnloadNow says S_OK. True when none was unloaded.
    static bool free_unloadable_modules();

    // Appends a module to ServerModuleList, which then owns one reference to it (released by
    // FreeLibrary when it is unloaded). False when no initializer lives or memory ran out.
    static bool add_server_module(HMODULE module);

    static int32_t use_count();
    static ComInitializer* owner();

    // Set to CoCreateInstance before the program starts; may be replaced (tests do).
    static CreateInstanceFunction creation_function;
};
