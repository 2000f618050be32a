// ReadMachineString and the shared-files search, against the registry (HKLM
// redirected to a scratch key) and real folders.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr wchar_t kSharedFiles[] = L"SOFTWARE\\Torvane Inc.\\Shared Files";
constexpr wchar_t kWindows[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    fx::UniqueRegKey k;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(k.get(), name, 0, type, static_cast<const BYTE*>(data), bytes));
}

void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ)
{
    SetValue(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(const wchar_t* key)
{
    fx::UniqueRegKey k;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

std::wstring ModulePath(HMODULE module)
{
    wchar_t buffer[MAX_PATH] = {};
    ::GetModuleFileNameW(module, buffer, MAX_PATH);
    return buffer;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

// Puts a copy of the do-nothing library at `path`, making its folders.
void PlaceProbe(const std::wstring& path)
{
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(s2mtest::BinPath(L"s2m_probe_fixture.dll").c_str(), path.c_str(), FALSE)) << fx::ToUtf8(path);
}

// Changes the current folder for one test.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& path)
    {
        ::GetCurrentDirectoryW(MAX_PATH, saved_);
        ::SetCurrentDirectoryW(path.c_str());
    }
    ~CurrentFolder() { ::SetCurrentDirectoryW(saved_); }

private:
    wchar_t saved_[MAX_PATH] = {};
};

TEST(ReadMachineString, Results)
{
    s2mtest::RegistryOverride hklm;
    ASSERT_FALSE(KeyExists(kWindows));
    const wchar_t* key = L"SOFTWARE\\S2MTest\\Read";
    wchar_t buffer[MAX_PATH + 1];
    DWORD bytes = MAX_PATH * sizeof(wchar_t);

    // A key that did not exist: 3, and the key is left in place.
    EXPECT_EQ(3, ReadMachineString(key, L"Value", buffer, &bytes));
    EXPECT_TRUE(KeyExists(key));
    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadMachineString(key, L"Value", buffer, &bytes));

    SetString(key, L"Value", L"C:\\Shared");
    SetString(key, nullptr, L"the default");
    const DWORD number = 7;
    SetValue(key, L"Number", REG_DWORD, &number, sizeof(number));
    SetString(key, L"Expand", L"%ProgramFiles%", REG_EXPAND_SZ);

    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(0, ReadMachineString(key, L"Value", buffer, &bytes));
    EXPECT_STREQ(L"C:\\Shared", buffer);
    EXPECT_EQ(sizeof(L"C:\\Shared"), bytes);
    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(0, ReadMachineString(key, nullptr, buffer, &bytes));
    EXPECT_STREQ(L"the default", buffer);
    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(-1, ReadMachineString(key, L"Number", buffer, &bytes));
    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(-1, ReadMachineString(key, L"Expand", buffer, &bytes));
}

TEST(ReadMachineString, StringsWithoutTerminatorStayInTheBuffer)
{
    s2mtest::RegistryOverride hklm;
    const wchar_t* key = L"SOFTWARE\\S2MTest\\Raw";
    const std::wstring shortText = L"abcde";
    SetValue(key, L"Short", REG_SZ, shortText.data(), static_cast<DWORD>(shortText.size() * sizeof(wchar_t)));
    const std::wstring full(MAX_PATH, L'y');
    SetValue(key, L"Full", REG_SZ, full.data(), static_cast<DWORD>(full.size() * sizeof(wchar_t)));
    SetString(key, L"Long", std::wstring(400, L'z'));

    wchar_t buffer[MAX_PATH + 1];
    std::fill(std::begin(buffer), std::end(buffer), L'X');
    DWORD bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(0, ReadMachineString(key, L"Short", buffer, &bytes));
    EXPECT_STREQ(L"abcde", buffer);

    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(ERROR_MORE_DATA, ReadMachineString(key, L"Full", buffer, &bytes));
    bytes = MAX_PATH * sizeof(wchar_t);
    EXPECT_EQ(ERROR_MORE_DATA, ReadMachineString(key, L"Long", buffer, &bytes));
    EXPECT_EQ(L'X', buffer[MAX_PATH]);
}

// Folders of one search: a copy of the library in each place the search looks.
class SharedSearch : public testing::Test {
protected:
    void SetUp() override
    {
        // The machine's own values must be out of sight before any is written.
        ASSERT_FALSE(KeyExists(kWindows));
        named = dir.File(L"named\\s2mprobe.dll");
        sharedFolder = dir.File(L"shared");
        programFiles = dir.File(L"pf");
        commonFiles = dir.File(L"cf");
        PlaceProbe(named);
        PlaceProbe(sharedFolder + L"\\s2mprobe.dll");
        PlaceProbe(programFiles + L"\\Torvane\\Shared Files\\s2mprobe.dll");
        PlaceProbe(commonFiles + L"\\Torvane\\s2mprobe.dll");
        ::CreateDirectoryW(dir.File(L"empty").c_str(), nullptr);
    }

    s2mtest::ScratchDir dir;
    s2mtest::RegistryOverride hklm;
    std::wstring named, sharedFolder, programFiles, commonFiles;
};

TEST_F(SharedSearch, OrderOfPreference)
{
    enum Named { None, Sz, ExpandSz, Missing };
    const struct Case {
        const char* what;
        Named namedValue;
        bool sharedDefault;
        bool programFilesDir;  // else points at an empty folder
        bool commonFilesDir;
        const wchar_t* expected;  // below the scratch folder; null: nothing loads
    } cases[] = {
        {"the value named like the file wins", Sz, true, true, true, L"named\\s2mprobe.dll"},
        {"a non-REG_SZ value is a failed read", ExpandSz, true, true, true, L"shared\\s2mprobe.dll"},
        {"a failed load moves on", Missing, true, true, true, L"shared\\s2mprobe.dll"},
        {"the key's default: the shared-files folder", None, true, true, true, L"shared\\s2mprobe.dll"},
        {"no key: program files", None, false, true, true, L"pf\\Torvane\\Shared Files\\s2mprobe.dll"},
        {"then common files", None, false, false, true, L"cf\\Torvane\\s2mprobe.dll"},
        {"nowhere", None, false, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Torvane Inc.");
        if (c.namedValue == Sz) SetString(kSharedFiles, L"s2mprobe.dll", named);
        if (c.namedValue == ExpandSz) SetString(kSharedFiles, L"s2mprobe.dll", named, REG_EXPAND_SZ);
        if (c.namedValue == Missing) SetString(kSharedFiles, L"s2mprobe.dll", dir.File(L"empty\\s2mprobe.dll"));
        if (c.sharedDefault) SetString(kSharedFiles, nullptr, sharedFolder);
        SetString(kWindows, L"ProgramFilesDir", c.programFilesDir ? programFiles : dir.File(L"empty"));
        SetString(kWindows, L"CommonFilesDir", c.commonFilesDir ? commonFiles : dir.File(L"empty"));

        ::SetLastError(0);
        fx::UniqueModule module(LoadSharedLibrary(L"s2mprobe.dll", nullptr, 0));
        if (!c.expected) {
            EXPECT_FALSE(module);
            EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), ::GetLastError());
            continue;
        }
        ASSERT_TRUE(module);
        EXPECT_TRUE(SamePath(dir.File(c.expected), ModulePath(module.get()))) << fx::ToUtf8(ModulePath(module.get()));
    }
}

TEST_F(SharedSearch, APathIsLoadedFromThatPathOnly)
{
    SetString(kSharedFiles, L"s2mprobe.dll", named);
    SetString(kSharedFiles, nullptr, sharedFolder);
    SetString(kWindows, L"ProgramFilesDir", programFiles);

    fx::UniqueModule missing(LoadSharedLibrary(dir.File(L"empty\\s2mprobe.dll").c_str(), nullptr, 0));
    EXPECT_FALSE(missing);
    fx::UniqueModule there(LoadSharedLibrary((commonFiles + L"\\Torvane\\s2mprobe.dll").c_str(), nullptr, 0));
    ASSERT_TRUE(there);
    EXPECT_TRUE(SamePath(commonFiles + L"\\Torvane\\s2mprobe.dll", ModulePath(there.get())));
}

TEST_F(SharedSearch, CZelLibraryOwnsWhatTheSearchFound)
{
    SetString(kSharedFiles, nullptr, sharedFolder);
    {
        CZelLibrary library;
        EXPECT_EQ(nullptr, library.GetProcAddress("DllMain"));
        ASSERT_TRUE(library.Load(L"s2mprobe.dll"));
        EXPECT_TRUE(SamePath(sharedFolder + L"\\s2mprobe.dll", ModulePath(library.Module())));
        EXPECT_EQ(nullptr, library.GetProcAddress("NoSuchExport"));
    }
    // Freed with its owner: the file can go.
    EXPECT_TRUE(::DeleteFileW((sharedFolder + L"\\s2mprobe.dll").c_str()));
}

// A library planted in the current folder never runs in the host; the
// shared-files folder and the application's folder are still searched.
TEST_F(SharedSearch, TheCurrentFolderIsNotSearched)
{
    const std::wstring planted = dir.File(L"planted");
    PlaceProbe(planted + L"\\s2mplanted.dll");
    ASSERT_TRUE(::CopyFileW(s2mtest::DistPath(L"zelinfolog.dll").c_str(), (planted + L"\\zelinfolog.dll").c_str(), FALSE));
    CurrentFolder current(planted);
    {
        // The system's own search would take it.
        fx::UniqueModule plain(::LoadLibraryW(L"s2mplanted.dll"));
        ASSERT_TRUE(plain) << "the plain search does not include the current folder here";
    }

    fx::UniqueModule none(LoadSharedLibrary(L"s2mplanted.dll", nullptr, 0));
    EXPECT_FALSE(none);
    ZelInfoLog log;
    EXPECT_NE(S_OK, log.Load(L"zelinfolog.dll"));
    EXPECT_EQ(nullptr, log.module);

    PlaceProbe(sharedFolder + L"\\s2mplanted.dll");
    SetString(kSharedFiles, nullptr, sharedFolder);
    fx::UniqueModule shared(LoadSharedLibrary(L"s2mplanted.dll", nullptr, 0));
    ASSERT_TRUE(shared);
    EXPECT_TRUE(SamePath(sharedFolder + L"\\s2mplanted.dll", ModulePath(shared.get())));

    ASSERT_TRUE(::CopyFileW(s2mtest::DistPath(L"zelinfolog.dll").c_str(),
                            (programFiles + L"\\Torvane\\Shared Files\\zelinfolog.dll").c_str(), FALSE));
    SetString(kWindows, L"ProgramFilesDir", programFiles);
    EXPECT_EQ(S_OK, log.Load(L"zelinfolog.dll"));
    EXPECT_TRUE(SamePath(programFiles + L"\\Torvane\\Shared Files\\zelinfolog.dll", ModulePath(log.module)));
    log.Unload();

    // The application's folder is still searched for a bare name.
    fx::UniqueModule beside(LoadLibraryOutsideCurrentFolder(L"s2m_probe_fixture.dll", nullptr, 0));
    EXPECT_TRUE(beside);
}

}  // namespace
