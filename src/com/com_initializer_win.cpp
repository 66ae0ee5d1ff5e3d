#include "com/com_initializer_win.h"

#include <new>

namespace {

struct ServerModule {
    HMODULE module;
    ServerModule* next;
};

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFunction)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFunction)();

// Process-wide state shared by every initializer.
volatile LONG use_count_ = 0;
ComInitializer* owner_ = nullptr;
ServerModule* server_modules_ = nullptr; // guarded by list_lock_
CRITICAL_SECTION list_lock_;             // exists while an initializer lives

// {00000001-0000-0000-C000-000000000046}
const IID class_factory_iid = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

template <typename Function> Function module_export(HMODULE module, const char* name)
{
    // Through a plain function pointer type, so that the compiler accepts the cast.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool initializer_lives() { return InterlockedCompareExchange(&use_count_, 0, 0) > 0; }

// One module's attempt: the class factory first, else the interface straight from
// DllGetClassObject.
bool create_from_module(HMODULE module, REFCLSID class_id, REFIID interface_id, void** result)
{
    auto get_class_object = module_export<GetClassObjectFunction>(module, "DllGetClassObject");
    if (get_class_object == nullptr)
        return false;
    IClassFactory* factory = nullptr;
    if (SUCCEEDED(
            get_class_object(class_id, class_factory_iid, reinterpret_cast<void**>(&factory))) &&
        factory != nullptr) {
        HRESULT created = factory->CreateInstance(nullptr, interface_id, result);
        factory->Release();
        if (created == S_OK)
            return true;
    }
    return get_class_object(class_id, interface_id, result) == S_OK;
}

// Under the list lock: unloads every module whose DllCanUnloadNow agrees. True when none went.
bool unload_modules()
{
    bool none_unloaded = true;
    EnterCriticalSection(&list_lock_);
    ServerModule** link = &server_modules_;
    while (*link != nullptr) {
        ServerModule* node = *link;
        auto can_unload_now = module_export<CanUnloadNowFunction>(node->module, "DllCanUnloadNow");
        if (can_unload_now != nullptr && can_unload_now() == S_OK) {
            *link = node->next;
            FreeLibrary(node->module);
            delete node;
            none_unloaded = false;
        } else {
            link = &node->next;
        }
    }
    LeaveCriticalSection(&list_lock_);
    return none_unloaded;
}

// Drops the nodes of modules that refused to unload; the modules themselves stay loaded.
void forget_server_modules()
{
    while (server_modules_ != nullptr) {
        ServerModule* node = server_modules_;
        server_modules_ = node->next;
        delete node;
    }
}

} // namespace

CreateInstanceFunction ComInitializer::creation_function = &CoCreateInstance;

ComInitializer::ComInitializer(bool multithreaded)
{
    if (InterlockedIncrement(&use_count_) > 1)
        return;
    owner_ = this;
    server_modules_ = nullptr;
    InitializeCriticalSection(&list_lock_);
    CoInitializeEx(nullptr, multithreaded ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);
}

ComInitializer::~ComInitializer()
{
    LONG count = InterlockedDecrement(&use_count_);
    if (count > 0)
        return;
    if (count == 0) {
        owner_ = nullptr;
        CoUninitialize();
        unload_modules();
        forget_server_modules();
        DeleteCriticalSection(&list_lock_);
    }
    InterlockedExchange(&use_count_, 0);
}

HRESULT ComInitializer::create_instance(REFCLSID class_id, REFIID interface_id, void** result)
{
    if (result == nullptr)
        return E_POINTER;
    if (creation_function(class_id, nullptr, CLSCTX_INPROC_SERVER, interface_id, result) == S_OK)
        return S_OK;
    if (server_modules_ == nullptr || !initializer_lives())
        return E_NOINTERFACE;
    bool created = false;
    EnterCriticalSection(&list_lock_);
    for (ServerModule* node = server_modules_; node != nullptr && !created; node = node->next)
        created = create_from_module(node->module, class_id, interface_id, result);
    LeaveCriticalSection(&list_lock_);
    return created ? S_OK : E_NOINTERFACE;
}

bool ComInitializer::free_unloadable_modules()
{
    return initializer_lives() ? unload_modules() : true;
}

bool ComInitializer::add_server_module(HMODULE module)
{
    if (module == nullptr || !initializer_lives())
        return false;
    ServerModule* node = new (std::nothrow) ServerModule{module, nullptr};
    if (node == nullptr)
        return false;
    EnterCriticalSection(&list_lock_);
    ServerModule** link = &server_modules_;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = node;
    LeaveCriticalSection(&list_lock_);
    return true;
}

int32_t ComInitializer::use_count() { return InterlockedCompareExchange(&use_count_, 0, 0); }

ComInitializer* ComInitializer::owner() { return owner_; }
