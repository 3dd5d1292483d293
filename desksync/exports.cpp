// The in-process server's two exports and its class factory.
#include <type_traits>

#include "desksync/repl_store.h"

#define QUORIN_EXPORT __attribute__((visibility("default")))

using namespace repl;

namespace {

class CClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }  // one static factory for the server's life
    ULONG Release() override { return 1; }
    HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        // An aggregating object may only ask for the inner IUnknown.
        if (outer && !(iid == IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        auto* store = new desksync::CReplStore(outer);
        const HRESULT hr = store->inner()->QueryInterface(iid, out);
        store->inner()->Release();  // the reference of creation; the caller holds its own
        return hr;
    }
    HRESULT LockServer(BOOL lock) override {
        lock ? ++desksync::serverLocks() : --desksync::serverLocks();
        return S_OK;
    }
};

}  // namespace

extern "C" {

QUORIN_EXPORT HRESULT DllGetClassObject(const GUID& clsid, const GUID& iid, void** out) {
    (void)clsid;  // one class in this server
    static CClassFactory factory;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IClassFactory || iid == IID_IUnknown)) return CLASS_E_CLASSNOTAVAILABLE;
    *out = &factory;
    return S_OK;
}

QUORIN_EXPORT HRESULT DllCanUnloadNow() {
    return desksync::liveObjects() > 0 || desksync::serverLocks() > 0 ? S_FALSE : S_OK;
}
}

static_assert(std::is_same_v<decltype(&DllGetClassObject), PFN_DllGetClassObject>);
static_assert(std::is_same_v<decltype(&DllCanUnloadNow), PFN_DllCanUnloadNow>);
