// The "System Info..." lookup: GetKeyValue on values of every kind, and
// StartSysInfo against seeded registry values and a stand-in program.
#include <gtest/gtest.h>

#include "about/about_test_support.hpp"
#include "about/sys_info.hpp"

using namespace std::string_literals;
using quelder::about::GetKeyValue;
using quelder::about::kSysInfoUnavailable;
using quelder::about::StartSysInfo;
namespace t = quelder::about::testing;

namespace {

std::string Printable(const std::string& text) {
    std::string shown;
    for (char ch : text) shown += ch == '\0' ? "\\0"s : std::string(1, ch);
    return "\"" + shown + "\" (" + std::to_string(text.size()) + " bytes)";
}

// ---- GetKeyValue -------------------------------------------------------------

constexpr char kTestKey[] = "Software\\Quelder Tests\\About";

class GetKeyValueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quelder Tests");
    }
    void Store(DWORD type, const std::string& bytes) {
        ASSERT_EQ(RegSetValueExA(key_, "Value", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

struct StoredValue {
    const char* name;
    DWORD type;
    std::string bytes;
    bool found;
    std::string text;  // KeyVal afterwards; it held "before" on entry
};

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

TEST_F(GetKeyValueTest, ReadsEachKindOfValue) {
    const std::string longest(1023, 'x');
    const StoredValue cases[] = {
        {"text with its NUL loses it", REG_SZ, "C:\\Tools\\info.exe\0"s, true, "C:\\Tools\\info.exe"},
        {"text without NUL keeps every byte", REG_SZ, "C:\\Tools\\info.exe"s, true, "C:\\Tools\\info.exe"},
        {"text with two NULs loses exactly one", REG_SZ, "abc\0\0"s, true, "abc\0"s},
        {"a lone NUL is empty", REG_SZ, "\0"s, true, ""},
        {"a value of size 0 is empty", REG_SZ, ""s, true, ""},
        {"1024 bytes fit", REG_SZ, longest + '\0', true, longest},
        {"1025 bytes do not", REG_SZ, longest + "x\0"s, false, ""},
        {"number, most significant byte first", REG_DWORD, Dword(0x12345678), true, "&h12345678"},
        {"number whose last byte is NUL loses it", REG_DWORD, Dword(0x2A), true, "&h00002A"},
        {"number of size 0 is empty", REG_DWORD, ""s, true, ""},
        {"expandable text is left alone", REG_EXPAND_SZ, "C:\\Tools\\info.exe\0"s, true, "before"},
        {"binary is left alone", REG_BINARY, "\x01\x02"s, true, "before"},
    };
    for (const StoredValue& value : cases) {
        Store(value.type, value.bytes);
        std::string text = "before";
        const bool found = GetKeyValue(HKEY_CURRENT_USER, kTestKey, "Value", text);
        EXPECT_EQ(found, value.found) << value.name;
        EXPECT_EQ(text, value.text) << value.name << ": got " << Printable(text);
    }
}

TEST_F(GetKeyValueTest, MissingKeyOrValueEmptiesTheText) {
    const struct {
        const char* key;
        const char* value;
    } missing[] = {{kTestKey, "NoSuchValue"}, {"Software\\Quelder Tests\\NoSuchKey", "Value"}};
    for (const auto& where : missing) {
        std::string text = "before";
        EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, where.key, where.value, text)) << where.key << " " << where.value;
        EXPECT_EQ(text, "") << where.key << " " << where.value;
    }
}

// ---- StartSysInfo --------------------------------------------------------------

class StartSysInfoTest : public ::testing::Test {
protected:
    // Runs StartSysInfo and returns the message box it showed, if any.
    t::SeenMessageBox Start() {
        t::MessageBoxWatcher watcher;
        StartSysInfo();
        return watcher.Result();
    }

    // The program started once, from `program`, shown normally, with only its
    // quoted path on the command line.
    void ExpectStarted(const std::string& program) {
        const t::SeenMessageBox box = Start();
        EXPECT_FALSE(box.shown) << "message: " << std::string(box.text.begin(), box.text.end()).c_str();
        const auto runs = standIns_.WaitForRuns(1);
        ASSERT_EQ(runs.size(), 1u) << "expected a start of " << program;
        EXPECT_EQ(_stricmp(runs[0].program.c_str(), program.c_str()), 0) << "started " << runs[0].program;
        EXPECT_EQ(runs[0].commandLine, "\"" + program + "\"");
        EXPECT_TRUE(runs[0].showWindowSet);
        EXPECT_EQ(runs[0].showWindow, SW_SHOWNORMAL);
        t::PumpFor(500);
        EXPECT_EQ(standIns_.Runs().size(), 1u) << "started more than once";
    }

    void ExpectUnavailable(const char* why) {
        const t::SeenMessageBox box = Start();
        ASSERT_TRUE(box.shown) << why << ": no message box";
        EXPECT_EQ(box.text, kSysInfoUnavailable) << why;
        EXPECT_EQ(box.title, DefaultTitle()) << why;
        EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"}) << why;
        EXPECT_EQ(box.icons, 0) << why;
        EXPECT_EQ(box.owner, nullptr) << why << ": no About box is open";
        t::PumpFor(300);
        EXPECT_TRUE(standIns_.Runs().empty()) << why << ": started " << standIns_.Runs()[0].program;
    }

    static std::string Text(const std::string& text) { return text + '\0'; }

    static const std::wstring& DefaultTitle() {
        static const std::wstring title = t::DefaultMessageBoxTitle();
        return title;
    }

    t::SysInfoRegistry registry_;
    t::StandIns standIns_;
    const std::string folder_ = std::string(t::StandIns::kScratch) + "\\folder";
    const std::string emptyFolder_ = std::string(t::StandIns::kScratch) + "\\empty";
};

TEST_F(StartSysInfoTest, PathValueStartsThatProgramBeforeTheFolderIsTried) {
    const std::string program = std::string(t::StandIns::kScratch) + "\\sysinfo.exe";
    ASSERT_TRUE(standIns_.Place(program));
    ASSERT_TRUE(standIns_.Place(folder_ + "\\MSINFO32.EXE"));
    registry_.SetPath(REG_SZ, Text(program));
    registry_.SetFolder(REG_SZ, Text(folder_));
    ExpectStarted(program);
}

TEST_F(StartSysInfoTest, FolderValueStartsMsinfo32InThatFolder) {
    ASSERT_TRUE(standIns_.Place(folder_ + "\\MSINFO32.EXE"));
    registry_.SetFolder(REG_SZ, Text(folder_));
    ExpectStarted(folder_ + "\\MSINFO32.EXE");
}

TEST_F(StartSysInfoTest, FolderEndingInBackslashGetsASecondOne) {
    ASSERT_TRUE(standIns_.Place(folder_ + "\\MSINFO32.EXE"));
    registry_.SetFolder(REG_SZ, Text(folder_ + "\\"));
    const t::SeenMessageBox box = Start();
    EXPECT_FALSE(box.shown);
    const auto runs = standIns_.WaitForRuns(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, "\"" + folder_ + "\\\\MSINFO32.EXE\"");
}

TEST_F(StartSysInfoTest, TextStoredWithoutItsNulStartsTheSameProgram) {
    const std::string program = std::string(t::StandIns::kScratch) + "\\sysinfo.exe";
    ASSERT_TRUE(standIns_.Place(program));
    registry_.SetPath(REG_SZ, program);
    ExpectStarted(program);
}

// Started from a command line without quotes, "C:\Program Files\..." would be
// "C:\Program.exe" with arguments.
TEST_F(StartSysInfoTest, PathWithSpacesStartsOnlyThatProgram) {
    const std::string folder = "C:\\Program Files\\Quelder Test";
    ASSERT_TRUE(standIns_.Place("C:\\Program.exe"));
    ASSERT_TRUE(standIns_.Place(folder + "\\sysinfo.exe"));
    registry_.SetPath(REG_SZ, Text(folder + "\\sysinfo.exe"));
    ExpectStarted(folder + "\\sysinfo.exe");
}

TEST_F(StartSysInfoTest, FolderWithSpacesStartsOnlyItsMsinfo32) {
    const std::string folder = "C:\\Program Files\\Quelder Test";
    ASSERT_TRUE(standIns_.Place("C:\\Program.exe"));
    ASSERT_TRUE(standIns_.Place(folder + "\\MSINFO32.EXE"));
    registry_.SetFolder(REG_SZ, Text(folder));
    ExpectStarted(folder + "\\MSINFO32.EXE");
}

TEST_F(StartSysInfoTest, NoValuesShowTheMessage) { ExpectUnavailable("no values"); }

TEST_F(StartSysInfoTest, FolderWithoutMsinfo32ShowsTheMessage) {
    standIns_.MakeFolder(emptyFolder_);
    registry_.SetFolder(REG_SZ, Text(emptyFolder_));
    ExpectUnavailable("folder without MSINFO32.EXE");
}

// A path that was found is not looked for again in the folder.
TEST_F(StartSysInfoTest, PathThatCannotStartShowsTheMessage) {
    ASSERT_TRUE(standIns_.Place(folder_ + "\\MSINFO32.EXE"));
    registry_.SetFolder(REG_SZ, Text(folder_));
    const std::string cases[] = {Text(std::string(t::StandIns::kScratch) + "\\missing.exe"),
                                 Text(t::StandIns::kScratch), ""s, "\0"s};
    for (const std::string& path : cases) {
        registry_.SetPath(REG_SZ, path);
        ExpectUnavailable(("PATH " + Printable(path)).c_str());
    }
}

TEST_F(StartSysInfoTest, ValueOfAnotherTypeShowsTheMessage) {
    const std::string program = std::string(t::StandIns::kScratch) + "\\sysinfo.exe";
    ASSERT_TRUE(standIns_.Place(program));
    registry_.SetPath(REG_EXPAND_SZ, Text(program));
    ExpectUnavailable("PATH of type 2");
}

}  // namespace
