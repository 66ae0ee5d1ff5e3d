// The fake in-process server (see fake_com_server_win.h). Built as fake_com_server.dll.
#include "fake_com_server_win.h"

namespace {

volatile LONG live_count = 0;
volatile LONG unload_allowed = 0;

// One reference-counted object that answers IUnknown only.
class FakeObject : public IUnknown {
public:
    FakeObject() { InterlockedIncrement(&live_count); }
    virtual ~FakeObject() { InterlockedDecrement(&live_count); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override
    {
        if (result == nullptr)
            return E_POINTER;
        if (iid != IID_IUnknown) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }

private:
    volatile LONG references_ = 1;
};

class FakeFactory : public IClassFactory {
public:
    FakeFactory() { InterlockedIncrement(&live_count); }
    virtual ~FakeFactory() { InterlockedDecrement(&live_count); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override
    {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override
    {
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        FakeObject* object = new FakeObject;
        HRESULT answer = object->QueryInterface(iid, result);
        object->Release();
        return answer;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    volatile LONG references_ = 1;
};

} // namespace

extern "C" {

__attribute__((dllexport)) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid,
                                                                    void** result)
{
    *result = nullptr;
    if (clsid == fake_server_class) {
        FakeFactory* factory = new FakeFactory;
        HRESULT answer = factory->QueryInterface(iid, result);
        factory->Release();
        return answer;
    }
    if (clsid == fake_direct_class && iid == IID_IUnknown) {
        *result = static_cast<IUnknown*>(new FakeObject);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

__attribute__((dllexport)) HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return live_count == 0 && unload_allowed != 0 ? S_OK : S_FALSE;
}

__attribute__((dllexport)) LONG WINAPI fake_server_live_count() { return live_count; }

__attribute__((dllexport)) void WINAPI fake_server_allow_unload(BOOL allow)
{
    InterlockedExchange(&unload_allowed, allow ? 1 : 0);
}

} // extern "C"
