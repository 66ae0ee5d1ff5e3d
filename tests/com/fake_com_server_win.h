// A small in-process COM server for the tests of ComInitializer's module fallback.
//
// fake_server_class: served through an IClassFactory, like any in-process server.
// fake_direct_class: no class factory; DllGetClassObject hands out the object itself when
//                    asked for IUnknown.
// DllCanUnloadNow says S_OK only when no object or factory lives and the test has allowed it.
#pragma once

#include <windows.h>

#include <unknwn.h>

// {6A0E5C3B-2F41-4C8E-9D7A-1B2C3D4E5F60}
inline constexpr CLSID fake_server_class = {
    0x6a0e5c3b, 0x2f41, 0x4c8e, {0x9d, 0x7a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60}};
// {6A0E5C3B-2F41-4C8E-9D7A-1B2C3D4E5F61}
inline constexpr CLSID fake_direct_class = {
    0x6a0e5c3b, 0x2f41, 0x4c8e, {0x9d, 0x7a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x61}};

extern "C" {
// Objects and factories alive right now.
typedef LONG(WINAPI* FakeServerLiveCount)();
// Whether DllCanUnloadNow may say S_OK once nothing lives.
typedef void(WINAPI* FakeServerAllowUnload)(BOOL allow);
}
