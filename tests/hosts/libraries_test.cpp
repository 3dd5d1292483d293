// The two provider libraries as the services load them: by path, through their exports only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "desk/desk.h"
#include "device_root.h"
#include "repl/repl.h"

namespace {

using namespace repl;

class LibrariesTest : public testsupport::DeviceTest {
protected:
    void TearDown() override {
        desk::unlinkNamed("QuorinMutex");
        desk::unlinkNamed("QuorinChange");
    }
};

TEST_F(LibrariesTest, TheHandheldProviderExportsItsSixEntryPoints) {
    void* lib = dlopen(HANDREPL, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(lib) << dlerror();
    for (const char* name : {"FindObjects", "GetObjTypeInfo", "InitObjType", "ObjectNotify",
                             "ReportStatus", "SyncData"})
        EXPECT_TRUE(dlsym(lib, name)) << name;
    // Nothing of the store's code leaks out of it.
    EXPECT_FALSE(dlsym(lib, "_ZN4cedb11objectStoreEv"));
    auto init = reinterpret_cast<PFN_InitObjType>(dlsym(lib, "InitObjType"));
    IDeviceObjHandler* handler = nullptr;
    ASSERT_TRUE(init(u"Quorin", &handler, 1));
    ASSERT_TRUE(handler);
    void* out = &handler;
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(handler->AddRef(), 2u);
    EXPECT_EQ(handler->Release(), 1u);
    EXPECT_EQ(handler->Release(), 0u);
    EXPECT_TRUE(init(nullptr, nullptr, 0));
}

TEST_F(LibrariesTest, TheDesktopServerHandsOutItsFactoryAndSaysWhenItMayBeUnloaded) {
    void* lib = dlopen(DESKREPL, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(lib) << dlerror();
    auto getClass = reinterpret_cast<PFN_DllGetClassObject>(dlsym(lib, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(lib, "DllCanUnloadNow"));
    ASSERT_TRUE(getClass && canUnload);
    void* out = nullptr;
    EXPECT_EQ(getClass(CLSID_QuorinStore, IID_IReplStore, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_OK);

    IReplStore* store = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IReplStore, reinterpret_cast<void**>(&store)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(store->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(store->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    unknown->Release();
    EXPECT_EQ(store->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);

    // Aggregated: only the inner IUnknown may be asked for, and the store's own calls go to
    // the outer object.
    struct Outer final : IUnknown {
        HRESULT QueryInterface(const GUID&, void** o) override {
            *o = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return ++refs; }
        ULONG Release() override { return --refs; }
        ULONG refs = 1;
    } outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IReplStore, &out), CLASS_E_NOAGGREGATION);
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    ASSERT_EQ(inner->QueryInterface(IID_IReplStore, reinterpret_cast<void**>(&store)), S_OK);
    const ULONG before = outer.refs;
    store->AddRef();  // counted by the outer object
    EXPECT_EQ(outer.refs, before + 1);
    store->Release();
    store->Release();  // the reference QueryInterface gave, also the outer object's
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
