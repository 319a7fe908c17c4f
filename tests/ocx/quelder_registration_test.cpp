// regsvr32 registers Quelder.ocx and removes it again: the type library, the
// class with its ProgID and control keys, and the interfaces' marshalling
// keys; registering twice and unregistering twice are harmless. The same for
// the current user alone (regsvr32 /n /i:user). Unregistering leaves what the
// other bitness's file registered, and a failed registration what was there.
#include <gtest/gtest.h>

#include <olectl.h>

#include <optional>
#include <string>
#include <vector>

#include "control_test_support.hpp"

namespace quelder::testing {
namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The other bitness's registry view (CLSID and Interface keys): the
// 32-bit one from 64-bit code and the other way round.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
// Whether that view is one of its own here (64-bit or WoW64), not this one.
bool TwoViews() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// Where the classes' keys are: HKEY_CLASSES_ROOT or another root, and a view.
struct Place {
    HKEY root = HKEY_CLASSES_ROOT;
    REGSAM view = 0;
    const char* name = "";  // for the messages: "HKCU\\Software\\Classes\\"
};
std::string Where(const Place& place) { return place.name; }

HKEY OpenKey(const std::wstring& path, Place place = {}) {
    HKEY key = nullptr;
    return RegOpenKeyExW(place.root, path.c_str(), 0, KEY_ALL_ACCESS | place.view, &key) == ERROR_SUCCESS ? key : nullptr;
}
// root\path, value name (null: the default value).
std::optional<std::wstring> RegistryString(const std::wstring& path, const wchar_t* name = nullptr, Place place = {}) {
    HKEY key = OpenKey(path, place);
    if (key == nullptr) return std::nullopt;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    const LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}
bool KeyExists(const std::wstring& path, Place place = {}) {
    HKEY key = OpenKey(path, place);
    if (key == nullptr) return false;
    RegCloseKey(key);
    return true;
}
void WriteString(const std::wstring& path, const wchar_t* name, const std::wstring& value, Place place = {},
                 DWORD options = REG_OPTION_NON_VOLATILE) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(place.root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | place.view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << Narrow(path);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS)
        << Narrow(path);
    RegCloseKey(key);
}
void DeleteKey(const std::wstring& path, Place place = {}) {
    if (HKEY key = OpenKey(path, place)) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(place.root, path.c_str(), place.view, 0);
    EXPECT_FALSE(KeyExists(path, place)) << Narrow(path);
}
// HKEY_CURRENT_USER\Software\Classes or HKEY_LOCAL_MACHINE\Software\Classes.
class Classes {
public:
    // Made when missing: in a new prefix the user has no Software\Classes
    // until something registers for the user.
    Classes(HKEY root, const char* name) : name_(name) {
        RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
    }
    ~Classes() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    Classes(const Classes&) = delete;
    Classes& operator=(const Classes&) = delete;
    Place place() const { return {key_, 0, name_}; }

private:
    HKEY key_ = nullptr;
    const char* name_;
};
std::string Show(const std::optional<std::wstring>& value) { return value ? Narrow(*value) : "(missing)"; }
bool SamePath(const std::optional<std::wstring>& a, const std::wstring& b) {
    return a && CompareStringOrdinal(a->c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// regsvr32 /s options ocx; its exit code.
DWORD Regsvr32(const std::wstring& options = L"") {
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + OcxPath() + L"\"";
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
const std::wstring kLibraryVersion = L"TypeLib\\" + kLibid + L"\\1.0";
const std::wstring kLibraryFile = kLibraryVersion + (sizeof(void*) == 8 ? L"\\409\\win64" : L"\\409\\win32");
const std::wstring kInterfaces[] = {L"Interface\\" + GuidText(IID__Quelder), L"Interface\\" + GuidText(DIID___Quelder)};

void ExpectRegistered(Place place = {}) {
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
        const auto actual = RegistryString(v.key, v.name, place);
        EXPECT_EQ(actual, v.expected) << Where(place) << Narrow(v.key) << " " << (v.name ? Narrow(v.name) : "(default)") << ": "
                                      << Show(actual);
    }
    const auto server = RegistryString(kClassKey + L"\\InprocServer32", nullptr, place);
    EXPECT_TRUE(SamePath(server, path)) << Where(place) << "InprocServer32: " << Show(server);
    const auto toolbox = RegistryString(kClassKey + L"\\ToolboxBitmap32", nullptr, place);
    EXPECT_TRUE(SamePath(toolbox, path + L", 30000")) << "ToolboxBitmap32: " << Show(toolbox);
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Control", place));
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", place));

    for (const auto& [iid, name] : {std::pair{IID__Quelder, L"_Quelder"}, std::pair{DIID___Quelder, L"__Quelder"}}) {
        const std::wstring key = L"Interface\\" + GuidText(iid);
        EXPECT_EQ(RegistryString(key, nullptr, place), std::wstring(name)) << Where(place) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\ProxyStubClsid32", nullptr, place), kMarshaler) << Where(place) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\TypeLib", nullptr, place), kLibid) << Where(place) << Narrow(key);
        EXPECT_EQ(RegistryString(key + L"\\TypeLib", L"Version", place), std::wstring(L"1.0")) << Where(place) << Narrow(key);
    }
    const auto library = RegistryString(kLibraryFile, nullptr, place);
    EXPECT_TRUE(SamePath(library, path)) << Where(place) << "registered type library: " << Show(library);

    // Any client can now make one by its ProgID (Wine makes no class of a user's).
    if (place.root != HKEY_CLASSES_ROOT) return;
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"QuelderLib.Quelder", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Quelder));
    ComPtr<IDispatch> board;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(board.GetAddressOf())),
              S_OK);
}

void ExpectUnregistered(Place place = {}) {
    for (const std::wstring& key : {kClassKey, std::wstring(L"QuelderLib.Quelder"), kInterfaces[0], kInterfaces[1],
                                    L"TypeLib\\" + kLibid}) {
        EXPECT_FALSE(KeyExists(key, place)) << Where(place) << Narrow(key) << " is still there";
    }
    // The type library's registration wrote the interfaces into the other view too.
    for (const std::wstring& key : kInterfaces)
        EXPECT_FALSE(KeyExists(key, {place.root, kOtherView, place.name})) << Where(place) << Narrow(key) << " (other view) is still there";
}

TEST(Registration, RegisterUnregisterAndAgain) {
    ComApartment com;
    ASSERT_EQ(Regsvr32(), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(), 0u) << "registering twice";
    ExpectRegistered();
    CoFreeUnusedLibraries();

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectUnregistered();
    EXPECT_EQ(Regsvr32(L"/u"), 0u) << "unregistering what is not registered";
    ExpectUnregistered();

    // The other tests of this build find the control registered.
    ASSERT_EQ(Regsvr32(), 0u);
    ExpectRegistered();
}

TEST(Registration, PerUserRegistrationStaysWithTheUser) {
    ComApartment com;
    const Classes user(HKEY_CURRENT_USER, "HKCU\\Software\\Classes\\");
    const Classes machine(HKEY_LOCAL_MACHINE, "HKLM\\Software\\Classes\\");
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0u);
    ExpectRegistered(user.place());
    ExpectUnregistered(machine.place());

    // An unknown command line writes and removes nothing.
    Library ocx(OcxPath());
    auto* install = ocx.Proc<HRESULT STDAPICALLTYPE(BOOL, LPCWSTR)>("DllInstall");
    ASSERT_NE(install, nullptr);
    for (const wchar_t* command : {L"machine", L"user,machine"}) {
        for (const BOOL doInstall : {TRUE, FALSE}) {
            const HRESULT hr = install(doInstall, command);
            EXPECT_EQ(hr, E_INVALIDARG) << Narrow(command) << " install " << doInstall << ": " << std::hex << hr;
        }
    }
    ExpectRegistered(user.place());
    ExpectUnregistered(machine.place());

    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
    ExpectUnregistered(user.place());

    // Without a command line, DllInstall is DllRegisterServer and DllUnregisterServer.
    HRESULT hr = install(TRUE, nullptr);
    EXPECT_EQ(hr, S_OK) << std::hex << hr;
    ExpectRegistered();
    ExpectUnregistered(user.place());
    hr = install(FALSE, L"");
    EXPECT_EQ(hr, S_OK) << std::hex << hr;
    ExpectUnregistered();
    ASSERT_EQ(Regsvr32(), 0u);
}

// What the other bitness's file writes when it is registered too, in the
// keys both share (the ProgID, the type library) and in its own view.
struct Written {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
    Place place;
};
std::vector<Written> OtherBitnessRegistration() {
    const std::wstring file = sizeof(void*) == 8 ? L"C:\\x86\\Quelder.ocx" : L"C:\\x64\\Quelder.ocx";
    std::vector<Written> written = {
        {kLibraryVersion + (sizeof(void*) == 8 ? L"\\409\\win32" : L"\\409\\win64"), nullptr, file, {}},
        {kLibraryVersion + L"\\HELPDIR", nullptr, file.substr(0, file.rfind(L'\\')), {}},
        {L"QuelderLib.Quelder\\CLSID", nullptr, kClsid, {}},
    };
    // Where there is no other view, its keys there would be this file's own.
    if (!TwoViews()) return written;
    written.push_back({kClassKey + L"\\InprocServer32", nullptr, file, {HKEY_CLASSES_ROOT, kOtherView, "(other view) "}});
    for (const std::wstring& key : kInterfaces)
        written.push_back({key + L"\\TypeLib", nullptr, kLibid, {HKEY_CLASSES_ROOT, kOtherView, "(other view) "}});
    return written;
}
void ExpectStillThere(const std::vector<Written>& written, const char* after) {
    for (const Written& w : written) {
        const auto actual = RegistryString(w.key, w.name, w.place);
        EXPECT_EQ(actual, w.value) << after << ": " << Where(w.place) << Narrow(w.key) << ": " << Show(actual);
    }
}

TEST(Registration, TheOtherBitnessKeepsItsKeysAndAFailureKeepsWhatWasThere) {
    ComApartment com;
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    const std::vector<Written> other = OtherBitnessRegistration();
    for (const Written& w : other) WriteString(w.key, w.name, w.value, w.place);

    // Left by an earlier registration: a class key, and a volatile MiscStatus
    // that takes no lasting subkey, so registering fails after the type
    // library, the interfaces and part of the class were written.
    WriteString(kClassKey, L"Earlier", L"kept");
    WriteString(kClassKey + L"\\MiscStatus", L"Earlier", L"kept", {}, REG_OPTION_VOLATILE);
    {
        Library ocx(OcxPath());
        auto* registerServer = ocx.Proc<HRESULT STDAPICALLTYPE()>("DllRegisterServer");
        ASSERT_NE(registerServer, nullptr);
        const HRESULT hr = registerServer();
        EXPECT_EQ(hr, SELFREG_E_CLASS) << std::hex << hr;
    }
    ExpectStillThere(other, "after the failed registration");
    ExpectStillThere({{kClassKey, L"Earlier", L"kept", {}}, {kClassKey + L"\\MiscStatus", L"Earlier", L"kept", {}}},
                     "after the failed registration");
    struct Gone {
        std::wstring key;
        const wchar_t* name;
        Place place;
    };
    std::vector<Gone> gone = {{kClassKey, nullptr, {}},  {kClassKey + L"\\InprocServer32", nullptr, {}},
                              {kClassKey + L"\\MiscStatus", nullptr, {}}, {kLibraryFile, nullptr, {}},
                              {kLibraryVersion, nullptr, {}},  {kInterfaces[0], nullptr, {}}};
    if (TwoViews()) gone.push_back({kInterfaces[1] + L"\\ProxyStubClsid32", nullptr, {HKEY_CLASSES_ROOT, kOtherView, "(other view) "}});
    for (const Gone& g : gone) {
        const auto actual = RegistryString(g.key, g.name, g.place);
        EXPECT_FALSE(actual) << "after the failed registration: " << Where(g.place) << Narrow(g.key) << ": " << Show(actual);
    }
    DeleteKey(kClassKey);

    // Both registered, this one unregistered: the other's keys stay, and so
    // do the ProgID and the interfaces, which it uses too.
    ASSERT_EQ(Regsvr32(), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectStillThere(other, "after unregistering this bitness");
    EXPECT_FALSE(KeyExists(kClassKey)) << Narrow(kClassKey);
    EXPECT_FALSE(KeyExists(kLibraryFile)) << Narrow(kLibraryFile);
    for (const std::wstring& key : {std::wstring(L"QuelderLib.Quelder"), kInterfaces[0], kInterfaces[1]})
        EXPECT_TRUE(KeyExists(key)) << Narrow(key) << " is gone";

    // The other gone, and another copy of this bitness registered last: its
    // class and type library entries stay with the ProgID.
    for (const Written& w : other)
        if (w.key != L"QuelderLib.Quelder\\CLSID") DeleteKey(w.key, w.place);
    ASSERT_EQ(Regsvr32(), 0u);
    const std::wstring copy = L"C:\\copy\\Quelder.ocx";
    const std::vector<Written> copied = {{kClassKey + L"\\InprocServer32", nullptr, copy, {}},
                                         {kLibraryFile, nullptr, copy, {}},
                                         {L"QuelderLib.Quelder\\CLSID", nullptr, kClsid, {}}};
    for (const Written& w : copied) WriteString(w.key, w.name, w.value, w.place);
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectStillThere(copied, "after unregistering with a copy registered");

    // Registered again, this file is the last one: everything goes.
    ASSERT_EQ(Regsvr32(), 0u);
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectUnregistered();
    ASSERT_EQ(Regsvr32(), 0u);
    ExpectRegistered();
}

}  // namespace
}  // namespace quelder::testing
