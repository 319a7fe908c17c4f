// Quelder.ocx loads under Windows and exports its entry points.
#include <gtest/gtest.h>

#include "support/win_test_support.hpp"

namespace {

using quelder::testing::Library;
using quelder::testing::OcxPath;

TEST(OcxExports, LoadsAndExportsItsEntryPoints) {
    Library ocx(OcxPath());
    ASSERT_NE(ocx.get(), nullptr) << "LoadLibrary failed, error " << GetLastError();
    for (const char* name :
         {"DllRegisterServer", "DllUnregisterServer", "DllInstall", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_NE(ocx.Proc<void>(name), nullptr) << name << " is not exported";
}

TEST(OcxExports, GetClassObjectRefusesAnUnknownClass) {
    Library ocx(OcxPath());
    ASSERT_NE(ocx.get(), nullptr);
    auto* get = ocx.Proc<HRESULT WINAPI(REFCLSID, REFIID, void**)>("DllGetClassObject");
    ASSERT_NE(get, nullptr);
    void* factory = reinterpret_cast<void*>(1);
    const HRESULT hr = get(IID_IUnknown, IID_IClassFactory, &factory);
    EXPECT_EQ(hr, CLASS_E_CLASSNOTAVAILABLE) << std::hex << hr;
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(get(IID_IUnknown, IID_IClassFactory, nullptr), E_POINTER);
}

}  // namespace
