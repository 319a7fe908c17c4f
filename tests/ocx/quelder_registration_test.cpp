// regsvr32 registers Quelder.ocx and removes it again: the type library, the
// class with its ProgID and control keys, and the interfaces' marshalling
// keys; registering twice and unregistering twice are harmless. The same for
// the current user alone (regsvr32 /n /i:user); the machine's registration
// and the user's keep to their own keys. Unregistering leaves what the other
// bitness's file registered, and a failed registration what was there.
#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control_test_support.hpp"
#include "handles/win_handles.hpp"

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

// Where the classes' keys are: a root, the path of the classes below it, and
// a view. Keys are opened by their whole path from the root, so that the
// view applies to all of it.
struct Place {
    HKEY root = HKEY_CLASSES_ROOT;
    const wchar_t* classes = L"";
    const char* name = "HKCR\\";  // for the messages
    REGSAM view = 0;
};
const Place kUser{HKEY_CURRENT_USER, L"Software\\Classes\\", "HKCU\\Software\\Classes\\"};
const Place kMachine{HKEY_LOCAL_MACHINE, L"Software\\Classes\\", "HKLM\\Software\\Classes\\"};
Place OtherView(Place place) {
    place.view = kOtherView;
    return place;
}
std::string Where(const Place& place) { return (place.view != 0 ? "(other view) " : "") + std::string(place.name); }

handles::UniqueRegKey OpenKey(const std::wstring& path, const Place& place = {}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(place.root, (place.classes + path).c_str(), 0, KEY_ALL_ACCESS | place.view, &key) != ERROR_SUCCESS)
        return {};
    return handles::UniqueRegKey(key);
}
// root\path, value name (null: the default value).
std::optional<std::wstring> RegistryString(const std::wstring& path, const wchar_t* name = nullptr, const Place& place = {}) {
    const handles::UniqueRegKey key = OpenKey(path, place);
    if (!key) return std::nullopt;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}
bool KeyExists(const std::wstring& path, const Place& place = {}) { return static_cast<bool>(OpenKey(path, place)); }
void WriteString(const std::wstring& path, const wchar_t* name, const std::wstring& value, const Place& place = {},
                 DWORD options = REG_OPTION_NON_VOLATILE) {
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(place.root, (place.classes + path).c_str(), 0, nullptr, options, KEY_ALL_ACCESS | place.view,
                              nullptr, &created, nullptr),
              ERROR_SUCCESS)
        << Where(place) << Narrow(path);
    const handles::UniqueRegKey key(created);
    EXPECT_EQ(RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS)
        << Where(place) << Narrow(path);
}
void DeleteKey(const std::wstring& path, const Place& place = {}) {
    if (const handles::UniqueRegKey key = OpenKey(path, place)) RegDeleteTreeW(key.get(), nullptr);
    RegDeleteKeyExW(place.root, (place.classes + path).c_str(), place.view, 0);
    EXPECT_FALSE(KeyExists(path, place)) << Where(place) << Narrow(path);
}
std::string Show(const std::optional<std::wstring>& value) { return value ? Narrow(*value) : "(missing)"; }
bool SamePath(const std::optional<std::wstring>& a, const std::wstring& b) {
    return a && CompareStringOrdinal(a->c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// regsvr32 /s options ocx; its exit code.
DWORD Regsvr32(const std::wstring& options = L"") {
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + OcxPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return ~0u;
    const handles::UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    WaitForSingleObject(process.get(), 60000);
    DWORD code = ~0u;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

// The entry points regsvr32 calls, called in this process. Each regsvr32 is
// a Wine process of its own, seconds under emulation: steps that are not
// about regsvr32 itself call these instead.
class Server {
public:
    HRESULT Register() const { return Call<HRESULT STDAPICALLTYPE()>("DllRegisterServer"); }
    HRESULT Unregister() const { return Call<HRESULT STDAPICALLTYPE()>("DllUnregisterServer"); }
    HRESULT Install(BOOL install, const wchar_t* command) const {
        return Call<HRESULT STDAPICALLTYPE(BOOL, LPCWSTR)>("DllInstall", install, command);
    }

private:
    template <typename F, typename... Args>
    HRESULT Call(const char* name, Args... args) const {
        auto* entry = ocx_.Proc<F>(name);
        return entry != nullptr ? entry(args...) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    Library ocx_{OcxPath()};
};

const std::wstring kClsid = GuidText(CLSID_Quelder);
const std::wstring kLibid = GuidText(LIBID_QuelderLib);
const std::wstring kClassKey = L"CLSID\\" + kClsid;
// The board class's property page: its CLSID's keys alone.
const std::wstring kPageKey = L"CLSID\\" + GuidText(CLSID_QuelderBoardPage);
const std::wstring kMarshaler = L"{00020424-0000-0000-C000-000000000046}";
const std::wstring kLibraryVersion = L"TypeLib\\" + kLibid + L"\\1.0";
const std::wstring kLibraryFile = kLibraryVersion + (sizeof(void*) == 8 ? L"\\409\\win64" : L"\\409\\win32");
const std::wstring kInterfaces[] = {L"Interface\\" + GuidText(IID__Quelder), L"Interface\\" + GuidText(DIID___Quelder)};

void ExpectRegistered(const Place& place = {}) {
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
        {kPageKey, nullptr, L"QuelderBoard property page"},
        {kPageKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    };
    for (const Value& v : values) {
        const auto actual = RegistryString(v.key, v.name, place);
        EXPECT_EQ(actual, v.expected) << Where(place) << Narrow(v.key) << " " << (v.name ? Narrow(v.name) : "(default)") << ": "
                                      << Show(actual);
    }
    const auto server = RegistryString(kClassKey + L"\\InprocServer32", nullptr, place);
    EXPECT_TRUE(SamePath(server, path)) << Where(place) << Narrow(kClassKey) << "\\InprocServer32: " << Show(server);
    const auto pageServer = RegistryString(kPageKey + L"\\InprocServer32", nullptr, place);
    EXPECT_TRUE(SamePath(pageServer, path)) << Where(place) << "the page's InprocServer32: " << Show(pageServer);
    EXPECT_FALSE(KeyExists(kPageKey + L"\\ProgID", place)) << Where(place) << "the page has a ProgID";
    const auto toolbox = RegistryString(kClassKey + L"\\ToolboxBitmap32", nullptr, place);
    EXPECT_TRUE(SamePath(toolbox, path + L", 30000")) << Where(place) << "ToolboxBitmap32: " << Show(toolbox);
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Control", place)) << Where(place);
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", place)) << Where(place);

    // The interfaces, for clients of either bitness.
    std::vector<Place> views = {place};
    if (TwoViews()) views.push_back(OtherView(place));
    for (const Place& view : views) {
        for (const auto& [iid, name] : {std::pair{IID__Quelder, L"_Quelder"}, std::pair{DIID___Quelder, L"__Quelder"}}) {
            const std::wstring key = L"Interface\\" + GuidText(iid);
            EXPECT_EQ(RegistryString(key, nullptr, view), std::wstring(name)) << Where(view) << Narrow(key);
            EXPECT_EQ(RegistryString(key + L"\\ProxyStubClsid32", nullptr, view), kMarshaler) << Where(view) << Narrow(key);
            EXPECT_EQ(RegistryString(key + L"\\TypeLib", nullptr, view), kLibid) << Where(view) << Narrow(key);
            EXPECT_EQ(RegistryString(key + L"\\TypeLib", L"Version", view), std::wstring(L"1.0")) << Where(view) << Narrow(key);
        }
    }
    const auto library = RegistryString(kLibraryFile, nullptr, place);
    EXPECT_TRUE(SamePath(library, path)) << Where(place) << "registered type library: " << Show(library);

    // Any client can now make one by its ProgID (Wine makes no class of a user's).
    if (place.root == HKEY_CURRENT_USER) return;
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"QuelderLib.Quelder", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Quelder));
    ComPtr<IDispatch> board;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(board.GetAddressOf())),
              S_OK);
}

void ExpectUnregistered(const Place& place = {}) {
    for (const std::wstring& key : {kClassKey, kPageKey, std::wstring(L"QuelderLib.Quelder"), kInterfaces[0],
                                    kInterfaces[1], L"TypeLib\\" + kLibid}) {
        EXPECT_FALSE(KeyExists(key, place)) << Where(place) << Narrow(key) << " is still there";
    }
    // The interfaces were registered in the other view too.
    for (const std::wstring& key : kInterfaces)
        EXPECT_FALSE(KeyExists(key, OtherView(place))) << Where(OtherView(place)) << Narrow(key) << " is still there";
}

TEST(Registration, RegisterUnregisterAndAgain) {
    ComApartment com;
    const Server server;
    ASSERT_EQ(Regsvr32(), 0u);
    ExpectRegistered();
    ASSERT_EQ(server.Register(), S_OK) << "registering twice";
    ExpectRegistered();

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectUnregistered();
    EXPECT_EQ(server.Unregister(), S_OK) << "unregistering what is not registered";
    ExpectUnregistered();

    // The other tests of this build find the control registered.
    ASSERT_EQ(server.Register(), S_OK);
    ExpectRegistered();
}

// A key and everything below it: a line for each key, with the time it was
// last written, and for each value. A key written, made or removed shows.
void Describe(HKEY key, const std::string& name, std::string& out) {
    FILETIME written{};
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &written);
    out += name + " (written " + std::to_string((ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime) + ")\n";
    for (DWORD index = 0;; ++index) {
        wchar_t value[256] = {};
        BYTE data[2048] = {};
        DWORD length = 256, size = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(key, index, value, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        out += "  " + Narrow(value) + " = " +
               (type == REG_SZ ? Narrow(reinterpret_cast<const wchar_t*>(data)) : "type " + std::to_string(type)) + "\n";
    }
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY opened = nullptr;
        if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
            out += name + "\\" + Narrow(subkey) + " (cannot be opened)\n";
            continue;
        }
        const handles::UniqueRegKey child(opened);
        Describe(child.get(), name + "\\" + Narrow(subkey), out);
    }
}
// Every key a registration for the user writes, in both views.
std::string UserKeys() {
    std::string out;
    for (const Place& place : {kUser, OtherView(kUser)}) {
        for (const std::wstring& path : {kClassKey, L"CLSID\\" + GuidText(CLSID_QuelderBoard), kPageKey, std::wstring(L"QuelderLib.Quelder"),
                                         std::wstring(L"QuelderLib.QuelderBoard"), L"TypeLib\\" + kLibid, kInterfaces[0],
                                         kInterfaces[1]}) {
            if (const handles::UniqueRegKey key = OpenKey(path, place))
                Describe(key.get(), Where(place) + Narrow(path), out);
            else
                out += Where(place) + Narrow(path) + " (missing)\n";
        }
    }
    return out;
}

// HKEY_CLASSES_ROOT of this process, for the scope, as Windows shows it to a
// user who has registered the classes for himself: the user's keys over the
// machine's, so that what is written to a key the user has lands in the
// user's. Here all of it is the user's.
class ClassesRootShowsTheUsers {
public:
    ClassesRootShowsTheUsers() {
        HKEY user = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &user) != ERROR_SUCCESS) return;
        const handles::UniqueRegKey owner(user);
        status_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, user);
    }
    ~ClassesRootShowsTheUsers() {
        if (status_ == ERROR_SUCCESS) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    ClassesRootShowsTheUsers(const ClassesRootShowsTheUsers&) = delete;
    ClassesRootShowsTheUsers& operator=(const ClassesRootShowsTheUsers&) = delete;
    LSTATUS Status() const { return status_; }

private:
    LSTATUS status_ = ERROR_FILE_NOT_FOUND;
};

// A registration for the user and one for the machine keep to their own keys:
// the machine's go to HKEY_LOCAL_MACHINE\Software\Classes and leave the
// user's as the user's registration left them, whichever comes or goes first.
TEST(Registration, UserAndMachineRegistrationsKeepToTheirOwnKeys) {
    ComApartment com;
    const Server server;
    ASSERT_EQ(server.Unregister(), S_OK);
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0u);
    ExpectRegistered(kUser);
    ExpectUnregistered(kMachine);
    const std::string users = UserKeys();

    // An unknown command line writes and removes nothing.
    for (const wchar_t* command : {L"machine", L"user,machine"}) {
        for (const BOOL doInstall : {TRUE, FALSE}) {
            const HRESULT hr = server.Install(doInstall, command);
            EXPECT_EQ(hr, E_INVALIDARG) << Narrow(command) << " install " << doInstall << ": " << std::hex << hr;
        }
    }
    EXPECT_EQ(UserKeys(), users) << "after unknown command lines";
    ExpectUnregistered(kMachine);

    // Registered and unregistered for the machine beside the user's: by
    // regsvr32, and by DllInstall without a command line (DllRegisterServer
    // and DllUnregisterServer) in this process while HKEY_CLASSES_ROOT shows
    // the user's keys, as on Windows.
    struct Way {
        const char* name;
        bool classesRootShowsTheUsers;
        std::function<HRESULT()> doRegister, doUnregister;
    };
    const Way ways[] = {
        {"regsvr32", false, [] { return static_cast<HRESULT>(Regsvr32()); }, [] { return static_cast<HRESULT>(Regsvr32(L"/u")); }},
        {"DllInstall, HKCR showing the user's keys", true, [&] { return server.Install(TRUE, nullptr); },
         [&] { return server.Install(FALSE, L""); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        for (const bool registering : {true, false}) {
            {
                std::optional<ClassesRootShowsTheUsers> shown;
                if (way.classesRootShowsTheUsers) {
                    ASSERT_EQ(shown.emplace().Status(), ERROR_SUCCESS);
                }
                const HRESULT hr = registering ? way.doRegister() : way.doUnregister();
                EXPECT_EQ(hr, S_OK) << (registering ? "registering" : "unregistering") << ": " << std::hex << hr;
            }
            if (registering)
                ExpectRegistered(kMachine);
            else
                ExpectUnregistered(kMachine);
            EXPECT_EQ(UserKeys(), users) << "after " << (registering ? "registering" : "unregistering") << " for the machine";
        }
    }

    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
    ExpectUnregistered(kUser);
    ExpectUnregistered(kMachine);
    ASSERT_EQ(server.Register(), S_OK);
    ExpectRegistered();
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
    written.push_back({kClassKey + L"\\InprocServer32", nullptr, file, OtherView({})});
    for (const std::wstring& key : kInterfaces)
        written.push_back({key + L"\\TypeLib", nullptr, kLibid, OtherView({})});
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
    const Server server;
    ASSERT_EQ(server.Unregister(), S_OK);
    const std::vector<Written> other = OtherBitnessRegistration();
    for (const Written& w : other) WriteString(w.key, w.name, w.value, w.place);

    // Left by an earlier registration: a class key, and a volatile MiscStatus
    // that takes no lasting subkey, so registering fails after the type
    // library, the interfaces and part of the class were written.
    WriteString(kClassKey, L"Earlier", L"kept");
    WriteString(kClassKey + L"\\MiscStatus", L"Earlier", L"kept", {}, REG_OPTION_VOLATILE);
    const HRESULT hr = server.Register();
    EXPECT_EQ(hr, SELFREG_E_CLASS) << std::hex << hr;
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
    if (TwoViews()) gone.push_back({kInterfaces[1] + L"\\ProxyStubClsid32", nullptr, OtherView({})});
    for (const Gone& g : gone) {
        const auto actual = RegistryString(g.key, g.name, g.place);
        EXPECT_FALSE(actual) << "after the failed registration: " << Where(g.place) << Narrow(g.key) << ": " << Show(actual);
    }
    DeleteKey(kClassKey);

    // Both registered, this one unregistered: the other's keys stay, and so
    // do the ProgID and the interfaces, which it uses too.
    ASSERT_EQ(server.Register(), S_OK);
    ExpectRegistered();
    ASSERT_EQ(server.Unregister(), S_OK);
    ExpectStillThere(other, "after unregistering this bitness");
    EXPECT_FALSE(KeyExists(kClassKey)) << Narrow(kClassKey);
    EXPECT_FALSE(KeyExists(kLibraryFile)) << Narrow(kLibraryFile);
    for (const std::wstring& key : {std::wstring(L"QuelderLib.Quelder"), kInterfaces[0], kInterfaces[1]})
        EXPECT_TRUE(KeyExists(key)) << Narrow(key) << " is gone";

    // The other gone, and another copy of this bitness registered last: its
    // class and type library entries stay with the ProgID.
    for (const Written& w : other)
        if (w.key != L"QuelderLib.Quelder\\CLSID") DeleteKey(w.key, w.place);
    ASSERT_EQ(server.Register(), S_OK);
    const std::wstring copy = L"C:\\copy\\Quelder.ocx";
    const std::vector<Written> copied = {{kClassKey + L"\\InprocServer32", nullptr, copy, {}},
                                         {kLibraryFile, nullptr, copy, {}},
                                         {L"QuelderLib.Quelder\\CLSID", nullptr, kClsid, {}}};
    for (const Written& w : copied) WriteString(w.key, w.name, w.value, w.place);
    ASSERT_EQ(server.Unregister(), S_OK);
    ExpectStillThere(copied, "after unregistering with a copy registered");

    // Registered again, this file is the last one: everything goes.
    ASSERT_EQ(server.Register(), S_OK);
    ASSERT_EQ(server.Unregister(), S_OK);
    ExpectUnregistered();
    ASSERT_EQ(server.Register(), S_OK);
    ExpectRegistered();
}

}  // namespace
}  // namespace quelder::testing
