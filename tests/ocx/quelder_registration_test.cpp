// regsvr32 registers Quelder.ocx and removes it again: the type library, the
// class with its ProgID and control keys, and the interfaces' marshalling
// keys; registering twice and unregistering twice are harmless.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "control_test_support.hpp"

namespace quelder::testing {
namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// HKEY_CLASSES_ROOT\path, value name (null: the default value).
std::optional<std::wstring> RegistryString(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}
bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}
std::string Show(const std::optional<std::wstring>& value) { return value ? Narrow(*value) : "(missing)"; }
bool SamePath(const std::optional<std::wstring>& a, const std::wstring& b) {
    return a && CompareStringOrdinal(a->c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// regsvr32 /s [/u] ocx; its exit code.
DWORD Regsvr32(bool unregister) {
    std::wstring command = L"regsvr32.exe /s " + std::wstring(unregister ? L"/u " : L"") + L"\"" + OcxPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return ~0u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

const std::wstring kClsid = GuidText(CLSID_Quelder);
const std::wstring kLibid = GuidText(LIBID_QuelderLib);
const std::wstring kClassKey = L"CLSID\\" + kClsid;
const std::wstring kMarshaler = L"{00020424-0000-0000-C000-000000000046}";

void ExpectRegistered() {
    const std::wstring path = OcxPath();
    struct Value {
        std::wstring key;
        const wchar_t* name;
        std::wstring expected;
    };
    const Value values[] = {
        {kClassKey, nullptr, L"Quelder"},
        {kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kClassKey + L"\\ProgID", nullptr, L"QuelderLib.Quelder"},
        {kClassKey + L"\\MiscStatus", nullptr, L"0"},
        {kClassKey + L"\\MiscStatus\\1", nullptr, L"131473"},
        {kClassKey + L"\\TypeLib", nullptr, kLibid},
        {kClassKey + L"\\Version", nullptr, L"1.0"},
        {L"QuelderLib.Quelder", nullptr, L"Quelder"},
        {L"QuelderLib.Quelder\\CLSID", nullptr, kClsid},
    };
    for (const Value& v : values) {
        const auto actual = RegistryString(v.key, v.name);
        EXPECT_EQ(actual, v.expected) << Narrow(v.key) << " " << (v.name ? Narrow(v.name) : "(default)") << ": "
                                      << Show(actual);
    }
    const auto server = RegistryString(kClassKey + L"\\InprocServer32");
    EXPECT_TRUE(SamePath(server, path)) << "InprocServer32: " << Show(server);
    const auto toolbox = RegistryString(kClassKey + L"\\ToolboxBitmap32");
    EXPECT_TRUE(SamePath(toolbox, path + L", 30000")) << "ToolboxBitmap32: " << Show(toolbox);
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Control"));
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));

    for (const auto& [iid, name] : {std::pair{IID__Quelder, L"_Quelder"}, std::pair{DIID___Quelder, L"__Quelder"}}) {
        const std::wstring key = L"Interface\\" + GuidText(iid);
        EXPECT_EQ(RegistryString(key), std::wstring(name)) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\ProxyStubClsid32"), kMarshaler) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\TypeLib"), kLibid) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\TypeLib", L"Version"), std::wstring(L"1.0")) << Narrow(key);
    }
    const auto library = RegistryString(L"TypeLib\\" + kLibid + L"\\1.0\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32"));
    EXPECT_TRUE(SamePath(library, path)) << "registered type library: " << Show(library);

    // Any client can now make one by its ProgID.
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"QuelderLib.Quelder", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Quelder));
    ComPtr<IDispatch> board;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(board.GetAddressOf())),
              S_OK);
}

void ExpectUnregistered() {
    for (const std::wstring& key : {kClassKey, std::wstring(L"QuelderLib.Quelder"), L"Interface\\" + GuidText(IID__Quelder),
                                    L"Interface\\" + GuidText(DIID___Quelder), L"TypeLib\\" + kLibid + L"\\1.0"}) {
        EXPECT_FALSE(KeyExists(key)) << Narrow(key) << " is still there";
    }
}

TEST(Registration, RegisterUnregisterAndAgain) {
    ComApartment com;
    ASSERT_EQ(Regsvr32(false), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(false), 0u) << "registering twice";
    ExpectRegistered();
    CoFreeUnusedLibraries();

    ASSERT_EQ(Regsvr32(true), 0u);
    ExpectUnregistered();
    EXPECT_EQ(Regsvr32(true), 0u) << "unregistering what is not registered";
    ExpectUnregistered();

    // The other tests of this build find the control registered.
    ASSERT_EQ(Regsvr32(false), 0u);
    ExpectRegistered();
}

}  // namespace
}  // namespace quelder::testing
