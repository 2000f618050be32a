// The setup program, run silently the way an administrator runs it: the files,
// exactly the class registration, creating the plug-in by its class ID,
// removal, and installing over an installed copy.  Under Wine the user is an
// administrator, so both modes and the shared-files folder are reachable.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Unique.h"
#include "tests/support/TestSupport.h"

using namespace s2mtest;

namespace {

const std::wstring kClsid = L"{962B83D5-70E5-4B5E-9712-56654F65A76D}";
const std::wstring kLibid = L"{E7409910-08F4-4AA2-9D99-584EC2F75379}";
const std::wstring kIid = L"{3F3AD679-1DCA-446B-9E6E-4A45ABB8D6D1}";
const std::wstring kClassKey = L"Software\\Classes\\CLSID\\" + kClsid;
const std::wstring kTypeLibKey = L"Software\\Classes\\TypeLib\\" + kLibid;
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Scan2Mepla";
const std::wstring kSharedKey = L"SOFTWARE\\Torvane Inc.\\Shared Files";
const std::wstring kSharedDlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring MachineFolder() { return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Torvane\\Scan2Mepla"; }
std::wstring UserFolder() { return KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Torvane\\Scan2Mepla"; }
std::wstring SharedFolder() { return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Torvane\\Shared Files"; }
std::wstring SettingsFile() { return KnownFolder(CSIDL_APPDATA) + L"\\Torvane\\Scan2Mepla\\AppSettings.XML"; }
std::wstring BackupFile() { return KnownFolder(CSIDL_APPDATA) + L"\\Torvane\\Scan2Mepla\\~AppSettings.XML"; }

std::wstring SetupExe()
{
    wchar_t full[MAX_PATH] = {};
    ::GetFullPathNameW((ExeDir() + L"\\..\\installer\\Scan2Mepla-setup.exe").c_str(), MAX_PATH, full, nullptr);
    return full;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const std::wstring& path)
{
    fx::UniqueRegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The string value, or "<none>" when the key or the value is missing.
std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<none>";
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return L"<none>";
    return type == REG_SZ ? std::wstring(buffer) : L"<not a string>";
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name)
{
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Names of the value entries of a key ("" for the default value).
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Narrow(const std::wstring& text) { return fx::ToUtf8(text); }

struct Mode {
    const char* name;
    const wchar_t* switches;
    HKEY root;            // where the class and the uninstall entry go
    HKEY otherRoot;
    bool shared;          // the maker's libraries in the shared-files folder
    std::wstring (*folder)();
    const wchar_t* modeValue;
};

const Mode kMachine = {"machine", L"/MACHINE", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, true, MachineFolder, L"machine"};
const Mode kUser = {"user", L"/USER", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, true, UserFolder, L"user"};
const Mode kUserBeside = {"user_noshared", L"/USER /NOSHARED", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, false,
                          UserFolder, L"user"};

void DeleteKey(HKEY root, const std::wstring& path) { ::RegDeleteTreeW(root, path.c_str()); ::RegDeleteKeyW(root, path.c_str()); }

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), name.c_str());
}

// Everything a setup may leave behind, whatever state a failed run left.
void RemoveEverything()
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DeleteKey(root, kClassKey);
        DeleteKey(root, kTypeLibKey);
        DeleteKey(root, L"Software\\Classes\\Interface\\" + kIid);
        DeleteKey(root, kUninstallKey);
    }
    DeleteKey(HKEY_LOCAL_MACHINE, kSharedKey);
    for (const wchar_t* name : {L"zelinfolog.dll", L"kdxloc.dll"})
        DeleteValue(HKEY_LOCAL_MACHINE, kSharedDlls, SharedFolder() + L"\\" + name);
    for (const std::wstring& folder : {MachineFolder(), UserFolder(), SharedFolder()}) RemoveTree(folder);
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(SetupExe())) << Narrow(SetupExe()) << " was not built";
        // The settings of this prefix's user are put back afterwards.
        for (Saved& saved : saved_) {
            saved.existed = Exists(saved.path);
            if (saved.existed) saved.bytes = ReadFileBytes(saved.path);
        }
        RemoveEverything();
    }
    void TearDown() override
    {
        RemoveEverything();
        for (const Saved& saved : saved_) {
            if (saved.existed) {
                ::SHCreateDirectoryExW(nullptr, (KnownFolder(CSIDL_APPDATA) + L"\\Torvane\\Scan2Mepla").c_str(), nullptr);
                WriteFileBytes(saved.path, saved.bytes);
            } else {
                ::DeleteFileW(saved.path.c_str());
            }
        }
    }

    static void Setup(const std::wstring& switches)
    {
        ProcessResult run = RunProgram(L"\"" + SetupExe() + L"\" /S " + switches);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(0u, run.exitCode) << "setup " << Narrow(switches) << ": " << run.output;
    }

    // The uninstaller in place (_?= keeps it from copying itself away and
    // returning at once); it cannot delete itself, so that is done here.
    static void Uninstall(const Mode& mode, const std::wstring& switches = L"")
    {
        const std::wstring folder = mode.folder();
        ProcessResult run = RunProgram(L"\"" + folder + L"\\uninstall.exe\" /S " + switches + L" _?=" + folder);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(0u, run.exitCode) << run.output;
        EXPECT_EQ(std::vector<std::wstring>{L"uninstall.exe"}, FilesIn(folder)) << "left behind in the plug-in folder";
        ::DeleteFileW((folder + L"\\uninstall.exe").c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    static void ExpectInstalled(const Mode& mode)
    {
        SCOPED_TRACE(mode.name);
        const std::wstring folder = mode.folder();
        std::vector<std::wstring> expected = {L"Scan2Mepla.dll", L"Scan2Mepla.loc", L"ZelMepla.ico", L"uninstall.exe"};
        if (!mode.shared) expected.push_back(L"kdxloc.dll");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, FilesIn(folder));
        for (const std::wstring& name : expected) {
            if (name == L"uninstall.exe") continue;
            EXPECT_EQ(ReadFileBytes(DistPath(name)), ReadFileBytes(folder + L"\\" + name)) << Narrow(name);
        }

        if (mode.shared) {
            EXPECT_EQ((std::vector<std::wstring>{L"kdxloc.dll", L"zelinfolog.dll"}), FilesIn(SharedFolder()));
            EXPECT_EQ(ReadFileBytes(DistPath(L"zelinfolog.dll")), ReadFileBytes(SharedFolder() + L"\\zelinfolog.dll"));
            // The value the plug-in's library search reads.
            EXPECT_EQ(SharedFolder(), ReadString(HKEY_LOCAL_MACHINE, kSharedKey));
        } else {
            EXPECT_FALSE(Exists(SharedFolder()));
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSharedKey));
        }

        // Exactly the class registration, in the mode's root only.
        EXPECT_EQ(L"ScanToMeplaPlugin Class", ReadString(mode.root, kClassKey));
        EXPECT_EQ((std::vector<std::wstring>{L"InprocServer32", L"Programmable", L"TypeLib", L"Version"}),
                  SubKeys(mode.root, kClassKey));
        EXPECT_EQ(std::vector<std::wstring>{L""}, ValueNames(mode.root, kClassKey));
        EXPECT_EQ(folder + L"\\Scan2Mepla.dll", ReadString(mode.root, kClassKey + L"\\InprocServer32"));
        EXPECT_EQ(L"Apartment", ReadString(mode.root, kClassKey + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_EQ((std::vector<std::wstring>{L"", L"ThreadingModel"}), ValueNames(mode.root, kClassKey + L"\\InprocServer32"));
        EXPECT_EQ(kLibid, ReadString(mode.root, kClassKey + L"\\TypeLib"));
        EXPECT_EQ(L"1.0", ReadString(mode.root, kClassKey + L"\\Version"));
        EXPECT_TRUE(SubKeys(mode.root, kClassKey + L"\\Programmable").empty());
        EXPECT_FALSE(KeyExists(mode.otherRoot, kClassKey));
        // Wine registers a per-user type library for the machine, so either root.
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTypeLibKey) || KeyExists(HKEY_LOCAL_MACHINE, kTypeLibKey));

        EXPECT_EQ(mode.modeValue, ReadString(mode.root, kUninstallKey, L"InstallMode"));
        EXPECT_EQ(folder, ReadString(mode.root, kUninstallKey, L"InstallLocation"));
        EXPECT_FALSE(KeyExists(mode.otherRoot, kUninstallKey));
    }

    static void ExpectCreatedFrom(const Mode& mode)
    {
        const std::wstring how = mode.root == HKEY_CURRENT_USER ? L" user" : L"";
        ProcessResult run = RunProgram(L"\"" + BinPath(L"installer_create_plugin.exe") + L"\"" + how);
        ASSERT_EQ(0u, run.exitCode) << run.output;
        std::string served = run.output;
        while (!served.empty() && (served.back() == '\n' || served.back() == '\r')) served.pop_back();
        EXPECT_EQ(Narrow(mode.folder() + L"\\Scan2Mepla.dll"), served);

        // The host stand-in, through the COM runtime (which under Wine sees
        // the machine's classes only), talks to the installed copy.
        if (mode.root == HKEY_LOCAL_MACHINE) {
            ProcessResult host = RunProgram(L"\"" + BinPath(L"tvohost.exe") + L"\" texts");
            ASSERT_EQ(0u, host.exitCode) << host.output;
            EXPECT_NE(std::string::npos, host.output.find("Host: created the plug-in {962B83D5-70E5-4B5E-9712-56654F65A76D}"))
                << host.output;
            EXPECT_NE(std::string::npos, host.output.find("Icon: " + Narrow(mode.folder()) + "\\ZelMepla.ico"))
                << host.output;
        }
    }

    static void ExpectRemoved()
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            EXPECT_FALSE(KeyExists(root, kClassKey));
            EXPECT_FALSE(KeyExists(root, kTypeLibKey));
            EXPECT_FALSE(KeyExists(root, kUninstallKey));
        }
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSharedKey));
        for (const wchar_t* name : {L"zelinfolog.dll", L"kdxloc.dll"})
            EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSharedDlls, SharedFolder() + L"\\" + name));
        EXPECT_FALSE(Exists(SharedFolder()));
        EXPECT_FALSE(Exists(MachineFolder()));
        EXPECT_FALSE(Exists(UserFolder()));
    }

    static void WriteSettings()
    {
        ::SHCreateDirectoryExW(nullptr, (KnownFolder(CSIDL_APPDATA) + L"\\Torvane\\Scan2Mepla").c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(SettingsFile(), kSettings));
        ASSERT_TRUE(WriteFileBytes(BackupFile(), kSettings));
    }

    static constexpr const char* kSettings = "<?xml version=\"1.0\"?><Settings/>";
    struct Saved {
        std::wstring path;
        bool existed = false;
        std::string bytes;
    };
    Saved saved_[2] = {{SettingsFile()}, {BackupFile()}};
};

class InstallerModeTest : public InstallerTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(InstallerModeTest, InstallsRegistersAndRemovesAllButTheSettings)
{
    const Mode& mode = GetParam();
    ASSERT_NO_FATAL_FAILURE(Setup(mode.switches));
    ExpectInstalled(mode);
    ExpectCreatedFrom(mode);

    WriteSettings();
    ASSERT_NO_FATAL_FAILURE(Uninstall(mode));
    ExpectRemoved();
    EXPECT_EQ(kSettings, ReadFileBytes(SettingsFile()));
    EXPECT_EQ(kSettings, ReadFileBytes(BackupFile()));
}

INSTANTIATE_TEST_SUITE_P(Modes, InstallerModeTest, ::testing::Values(kMachine, kUser, kUserBeside),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

TEST_F(InstallerTest, InstallingTwiceLeavesOneCopyThatOneUninstallRemoves)
{
    ASSERT_NO_FATAL_FAILURE(Setup(L""));  // an administrator: for the machine
    ASSERT_NO_FATAL_FAILURE(Setup(L""));
    ExpectInstalled(kMachine);
    ExpectCreatedFrom(kMachine);
    ASSERT_NO_FATAL_FAILURE(Uninstall(kMachine));
    ExpectRemoved();
}

TEST_F(InstallerTest, SwitchingModeTakesTheOldRegistrationAway)
{
    ASSERT_NO_FATAL_FAILURE(Setup(kUser.switches));
    ASSERT_NO_FATAL_FAILURE(Setup(kMachine.switches));
    ExpectInstalled(kMachine);
    EXPECT_FALSE(Exists(UserFolder()));
    ExpectCreatedFrom(kMachine);

    ASSERT_NO_FATAL_FAILURE(Setup(kUser.switches));
    ExpectInstalled(kUser);
    EXPECT_FALSE(Exists(MachineFolder()));
    ExpectCreatedFrom(kUser);
    ASSERT_NO_FATAL_FAILURE(Uninstall(kUser));
    ExpectRemoved();
}

TEST_F(InstallerTest, SettingsGoOnlyWhenAsked)
{
    ASSERT_NO_FATAL_FAILURE(Setup(kUser.switches));
    WriteSettings();
    ASSERT_NO_FATAL_FAILURE(Uninstall(kUser, L"/REMOVESETTINGS"));
    ExpectRemoved();
    EXPECT_FALSE(Exists(SettingsFile()));
    EXPECT_FALSE(Exists(BackupFile()));
}

TEST_F(InstallerTest, SharedLibraryOfAnotherProductStays)
{
    // Another product of the maker placed its logging library without
    // counting its use.
    ASSERT_EQ(0, ::SHCreateDirectoryExW(nullptr, SharedFolder().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(SharedFolder() + L"\\zelinfolog.dll", "theirs"));
    ASSERT_NO_FATAL_FAILURE(Setup(kMachine.switches));
    ExpectInstalled(kMachine);
    ASSERT_NO_FATAL_FAILURE(Uninstall(kMachine));

    EXPECT_EQ((std::vector<std::wstring>{L"zelinfolog.dll"}), FilesIn(SharedFolder()));
    EXPECT_EQ(SharedFolder(), ReadString(HKEY_LOCAL_MACHINE, kSharedKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
    EXPECT_FALSE(Exists(MachineFolder()));
}

}  // namespace
