// ComInitializer: the process-wide use count, COM's life, creation through the system and the
// fallback through server modules (fake_com_server.dll, built beside this test).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "com/com_initializer_win.h"
#include "fake_com_server_win.h"

namespace {

// A creation function that records its call and answers as told.
struct CreationRecord {
    int calls = 0;
    LPUNKNOWN outer = reinterpret_cast<LPUNKNOWN>(1);
    DWORD context = 0;
    HRESULT answer = E_FAIL;
};
CreationRecord record;

HRESULT STDAPICALLTYPE recording_creation(REFCLSID, LPUNKNOWN outer, DWORD context, REFIID,
                                          LPVOID* result)
{
    ++record.calls;
    record.outer = outer;
    record.context = context;
    if (record.answer == S_OK)
        *result = reinterpret_cast<void*>(0x1234);
    return record.answer;
}

// Puts the recording creation function in place for one test, and the system's back after.
class ComCreation : public ::testing::Test {
protected:
    void SetUp() override
    {
        record = CreationRecord();
        saved_ = ComInitializer::creation_function;
        ComInitializer::creation_function = recording_creation;
    }
    void TearDown() override { ComInitializer::creation_function = saved_; }

private:
    CreateInstanceFunction saved_ = nullptr;
};

// True when COM is initialised on this thread; leaves it as it was.
bool com_initialised_here()
{
    HRESULT probe = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(probe))
        CoUninitialize();
    return probe != S_OK;
}

std::wstring fake_server_path()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"fake_com_server.dll";
}

TEST(ComInitializerCount, FirstInitialisesLastUninitialises)
{
    ASSERT_EQ(ComInitializer::use_count(), 0);
    ASSERT_FALSE(com_initialised_here());
    {
        ComInitializer first(true);
        EXPECT_EQ(ComInitializer::use_count(), 1);
        EXPECT_EQ(ComInitializer::owner(), &first);
        EXPECT_TRUE(com_initialised_here());
        {
            ComInitializer second(true);
            EXPECT_EQ(ComInitializer::use_count(), 2);
            EXPECT_EQ(ComInitializer::owner(), &first);
        }
        EXPECT_EQ(ComInitializer::use_count(), 1);
        EXPECT_TRUE(com_initialised_here()) << "a second initializer must not end COM";
    }
    EXPECT_EQ(ComInitializer::use_count(), 0);
    EXPECT_EQ(ComInitializer::owner(), nullptr);
    EXPECT_FALSE(com_initialised_here());
}

TEST_F(ComCreation, NullResultAddressCreatesNothing)
{
    ComInitializer com(true);
    EXPECT_EQ(ComInitializer::create_instance(CLSID_NULL, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(record.calls, 0);
}

TEST_F(ComCreation, SystemCreationIsInProcessWithoutOuterObject)
{
    ComInitializer com(true);
    record.answer = S_OK;
    void* object = nullptr;
    EXPECT_EQ(ComInitializer::create_instance(CLSID_NULL, IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.outer, nullptr);
    EXPECT_EQ(record.context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
}

TEST_F(ComCreation, AnySystemFailureBecomesNoInterfaceWithoutModules)
{
    ComInitializer com(true);
    for (HRESULT failure : {E_FAIL, REGDB_E_CLASSNOTREG, E_OUTOFMEMORY, S_FALSE}) {
        record.answer = failure;
        void* object = nullptr;
        EXPECT_EQ(ComInitializer::create_instance(CLSID_NULL, IID_IUnknown, &object), E_NOINTERFACE)
            << std::hex << failure;
    }
}

TEST_F(ComCreation, ServerModulesServeWhatTheSystemDoesNot)
{
    ComInitializer com(true);
    // A module without DllGetClassObject first: it is passed over.
    ASSERT_TRUE(ComInitializer::add_server_module(LoadLibraryW(L"version.dll")));
    HMODULE server = LoadLibraryW(fake_server_path().c_str());
    ASSERT_NE(server, nullptr);
    ASSERT_TRUE(ComInitializer::add_server_module(server));
    auto live = reinterpret_cast<FakeServerLiveCount>(
        reinterpret_cast<void (*)()>(GetProcAddress(server, "fake_server_live_count")));
    auto allow_unload = reinterpret_cast<FakeServerAllowUnload>(
        reinterpret_cast<void (*)()>(GetProcAddress(server, "fake_server_allow_unload")));
    ASSERT_TRUE(live != nullptr && allow_unload != nullptr);

    IUnknown* through_factory = nullptr;
    EXPECT_EQ(ComInitializer::create_instance(fake_server_class, IID_IUnknown,
                                              reinterpret_cast<void**>(&through_factory)),
              S_OK);
    ASSERT_NE(through_factory, nullptr);
    EXPECT_EQ(live(), 1) << "the class factory must be released";
    IUnknown* direct = nullptr;
    EXPECT_EQ(ComInitializer::create_instance(fake_direct_class, IID_IUnknown,
                                              reinterpret_cast<void**>(&direct)),
              S_OK);
    ASSERT_NE(direct, nullptr);
    void* unknown_class = nullptr;
    EXPECT_EQ(ComInitializer::create_instance(CLSID_NULL, IID_IUnknown, &unknown_class),
              E_NOINTERFACE);

    // Objects alive, or unloading not allowed: the module stays.
    allow_unload(TRUE);
    EXPECT_TRUE(ComInitializer::free_unloadable_modules());
    through_factory->Release();
    direct->Release();
    allow_unload(FALSE);
    EXPECT_TRUE(ComInitializer::free_unloadable_modules());
    EXPECT_NE(GetModuleHandleW(L"fake_com_server.dll"), nullptr);

    allow_unload(TRUE);
    EXPECT_FALSE(ComInitializer::free_unloadable_modules());
    EXPECT_EQ(GetModuleHandleW(L"fake_com_server.dll"), nullptr);
    EXPECT_EQ(ComInitializer::create_instance(fake_server_class, IID_IUnknown, &unknown_class),
              E_NOINTERFACE);
}

TEST(ComInitializerModules, NoListWithoutAnInitializer)
{
    ASSERT_EQ(ComInitializer::use_count(), 0);
    EXPECT_FALSE(ComInitializer::add_server_module(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_TRUE(ComInitializer::free_unloadable_modules());
}

TEST(ComInitializerModules, LastInitializerUnloadsWillingModules)
{
    HMODULE server = nullptr;
    {
        ComInitializer com(false);
        server = LoadLibraryW(fake_server_path().c_str());
        ASSERT_NE(server, nullptr);
        auto allow_unload = reinterpret_cast<FakeServerAllowUnload>(
            reinterpret_cast<void (*)()>(GetProcAddress(server, "fake_server_allow_unload")));
        allow_unload(TRUE);
        ASSERT_TRUE(ComInitializer::add_server_module(server));
    }
    EXPECT_EQ(GetModuleHandleW(L"fake_com_server.dll"), nullptr);
}

} // namespace
