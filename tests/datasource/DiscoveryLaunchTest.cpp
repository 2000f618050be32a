// Finding the target application's launcher in the machine registry, and the
// command line it is started with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datasource/PluginDataSourceScan2Mepla.h"
#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"
#include "tests/support/LogFile.h"
#include "tests/support/TestSupport.h"

using namespace s2mtest;

namespace {

const wchar_t kLogName[] = L"S2M_DiscoveryLaunch";

class LoggedTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_ZelInfoLog.Load(DistPath(L"zelinfolog.dll").c_str());
        g_ZelInfoLog.CreateHandle(::GetModuleHandleW(nullptr));
        g_ZelInfoLog.SetThreadName(kLogName);
    }
    void SetUp() override { ClearLog(LogPath(kLogName)); }
    std::vector<std::wstring> Log() const
    {
        std::vector<std::wstring> texts;
        for (const LogLine& line : ParseLog(ReadLog(LogPath(kLogName)))) texts.push_back(line.text);
        return texts;
    }
};

// Writes a value under HKLM (overridden for this process by the test).
void SetValue(const std::wstring& keyPath, DWORD type, const void* data, DWORD bytes)
{
    fx::UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"InstPath", 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
}

void SetInstPath(const std::wstring& keyPath, const std::wstring& folder)
{
    SetValue(keyPath, REG_SZ, folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

std::wstring PalloKey(const wchar_t* version) { return std::wstring(L"SOFTWARE\\Halden\\e.Pallo\\") + version; }

// A folder with a launcher file in it.
std::wstring MakeInstall(const ScratchDir& scratch, const std::wstring& name)
{
    const std::wstring folder = scratch.File(name);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteFileBytes(folder + L"\\Qstart12.exe", "MZ");
    return folder;
}

class DiscoveryTest : public LoggedTest {
protected:
    ScratchDir scratch_;
    RegistryOverride machine_;
    CPluginDataSourceScan2Mepla data_;
};

}  // namespace

TEST_F(DiscoveryTest, NothingInstalled)
{
    EXPECT_EQ(data_.GetAppPath(nullptr), L"");
    const std::wstring line = L"RegOpenKeyEx: error = 80070002";
    EXPECT_EQ(Log(), (std::vector<std::wstring>{line, line, line, line}));
}

TEST_F(DiscoveryTest, FirstVersionInProbingOrderWins)
{
    SetInstPath(PalloKey(L"14.0"), MakeInstall(scratch_, L"v14"));
    SetInstPath(PalloKey(L"12.0LE"), MakeInstall(scratch_, L"v12LE"));
    SetInstPath(PalloKey(L"12.0"), MakeInstall(scratch_, L"v12"));
    const std::wstring expected = scratch_.File(L"v12LE") + L"\\Qstart12.exe";
    EXPECT_EQ(data_.GetAppPath(nullptr), expected);
    EXPECT_EQ(Log(), (std::vector<std::wstring>{L"Get_Mepla_Installpath = " + expected}));
}

TEST_F(DiscoveryTest, VersionWithoutLauncherIsSkipped)
{
    const std::wstring empty = scratch_.File(L"empty");
    ::CreateDirectoryW(empty.c_str(), nullptr);
    SetInstPath(PalloKey(L"12.0LE"), empty);
    SetInstPath(PalloKey(L"13.0"), MakeInstall(scratch_, L"v13"));
    EXPECT_EQ(data_.GetAppPath(nullptr), scratch_.File(L"v13") + L"\\Qstart12.exe");
    const std::vector<std::wstring> log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], L"PathFileExists: error = 80070002");
    EXPECT_EQ(log[1], L"RegOpenKeyEx: error = 80070002");  // 14.0
}

TEST_F(DiscoveryTest, KeyOnlyUnderWow6432Node)
{
    SetInstPath(L"SOFTWARE\\Wow6432Node\\Halden\\e.Pallo\\12.0", MakeInstall(scratch_, L"wow"));
    EXPECT_EQ(data_.GetAppPath(nullptr), scratch_.File(L"wow") + L"\\Qstart12.exe");
}

TEST_F(DiscoveryTest, TrailingBackslashOrNot)
{
    const std::wstring folder = MakeInstall(scratch_, L"v14");
    for (const std::wstring& value : {folder, folder + L"\\"}) {
        SetInstPath(PalloKey(L"14.0"), value);
        EXPECT_EQ(data_.GetAppPath(nullptr), folder + L"\\Qstart12.exe") << fx::ToUtf8(value);
    }
}

TEST_F(DiscoveryTest, InstPathIsReadSafelyWhateverItHolds)
{
    const std::wstring folder = MakeInstall(scratch_, L"v14");
    // Stored without its terminator: still the folder.
    SetValue(PalloKey(L"14.0"), REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() * sizeof(wchar_t)));
    EXPECT_EQ(data_.GetAppPath(nullptr), folder + L"\\Qstart12.exe");

    struct Case { const char* what; DWORD type; std::wstring data; DWORD bytes; };
    const std::wstring huge(3000, L'x');
    const DWORD number = 42;
    const Case cases[] = {
        {"a number", REG_DWORD, std::wstring(reinterpret_cast<const wchar_t*>(&number), 2), 4},
        {"binary data", REG_BINARY, folder, static_cast<DWORD>(folder.size() * sizeof(wchar_t))},
        {"an empty string", REG_SZ, L"", 2},
        {"more than 1024 characters", REG_SZ, huge, static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t))},
        {"exactly 1024 characters without terminator", REG_SZ, std::wstring(1024, L'y'), 2048},
        {"an odd number of bytes", REG_SZ, folder, static_cast<DWORD>(folder.size() * sizeof(wchar_t) - 1)},
    };
    for (const Case& c : cases) {
        ClearLog(LogPath(kLogName));
        SetValue(PalloKey(L"14.0"), c.type, c.data.c_str(), c.bytes);
        const std::wstring path = data_.GetAppPath(nullptr);
        EXPECT_TRUE(path.empty()) << c.what << ": " << fx::ToUtf8(path);
        const std::vector<std::wstring> log = Log();
        ASSERT_EQ(log.size(), 4u) << c.what;
        EXPECT_NE(log[1].find(L": error = 80070002"), std::wstring::npos) << c.what;
    }
}

namespace {

// The data source with a fixed launcher, so the command line can be checked
// without a registry.
class FixedLauncher : public CPluginDataSourceScan2Mepla {
public:
    explicit FixedLauncher(std::wstring launcher) : m_launcher(std::move(launcher)) {}
    std::wstring GetAppPath(const SettingRecord*) override { return m_launcher; }

private:
    std::wstring m_launcher;
};

SettingRecord WithTemplate(const std::wstring& parameter)
{
    SettingRecord record;
    record.SetParameter(parameter);
    return record;
}

std::wstring CommandLine(CPluginDataSourceScan2Mepla& data, const std::wstring& parameter,
                         const std::vector<std::wstring>& copies, HRESULT* result = nullptr)
{
    std::vector<wchar_t> line;
    const HRESULT hr = data.BuildCommandLine(WithTemplate(parameter), copies, line);
    if (result) *result = hr;
    return SUCCEEDED(hr) ? std::wstring(line.data()) : std::wstring();
}

class LaunchTest : public LoggedTest {};

}  // namespace

TEST_F(LaunchTest, AnalyzeParam)
{
    struct Case { const wchar_t* parameter; std::vector<std::wstring> tokens; };
    const Case cases[] = {
        {L"", {L"%file"}},
        {L"-f -o", {L"-f -o"}},
        {L"  no percent  ", {L"  no percent  "}},
        {L"%file", {L"%file"}},
        {L"-f %file -o out", {L"-f", L"%file", L"-o out"}},
        {L"100% sure %file", {L"100% sure", L"%file"}},
        {L"%file ", {L"%file", L""}},
        {L"%file%file", {L"%file", L"%file"}},
        {L"%file%filex", {L"%file", L"%filex"}},
        {L"%FILE", {L"%FILE"}},
        {L"a %file b %file", {L"a", L"%file", L"b", L"%file"}},
    };
    CPluginDataSourceScan2Mepla data;
    for (const Case& c : cases) {
        std::vector<std::wstring> tokens;
        EXPECT_EQ(data.AnalyzeParam(c.parameter, tokens), S_OK);
        EXPECT_EQ(tokens, c.tokens) << fx::ToUtf8(c.parameter);
    }
}

TEST_F(LaunchTest, CommandLines)
{
    FixedLauncher data(L"C:\\Mepla\\Qstart12.exe");
    const std::vector<std::wstring> copies = {L"C:\\s\\a.png", L"C:\\s\\b b.png"};
    struct Case { const wchar_t* parameter; const wchar_t* line; };
    const Case cases[] = {
        {L"", L"\"C:\\Mepla\\Qstart12.exe\" \"C:\\s\\a.png\" \"C:\\s\\b b.png\""},
        {L"-view", L"\"C:\\Mepla\\Qstart12.exe\" -view"},
        {L"%file ", L"\"C:\\Mepla\\Qstart12.exe\" \"C:\\s\\a.png\" \"C:\\s\\b b.png\" "},
        {L"%file%file",
         L"\"C:\\Mepla\\Qstart12.exe\" \"C:\\s\\a.png\" \"C:\\s\\b b.png\" \"C:\\s\\a.png\" \"C:\\s\\b b.png\""},
        {L"%file%filex", L"\"C:\\Mepla\\Qstart12.exe\" \"C:\\s\\a.png\" \"C:\\s\\b b.png\" %filex"},
        {L"100% sure %file", L"\"C:\\Mepla\\Qstart12.exe\" 100% sure \"C:\\s\\a.png\" \"C:\\s\\b b.png\""},
    };
    for (const Case& c : cases) EXPECT_EQ(CommandLine(data, c.parameter, copies), c.line) << fx::ToUtf8(c.parameter);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LaunchTest, LengthLimitLeavesOutWhatDoesNotFit)
{
    FixedLauncher data(L"C:\\L.exe");  // quoted: 10 characters
    // Each piece: blank, quotes and 247 characters = 250.
    std::vector<std::wstring> copies;
    for (int i = 0; i < 200; ++i) copies.push_back(fx::Format(L"C:\\%03d", i) + std::wstring(241, L'p'));
    const std::wstring line = CommandLine(data, L"%file %file tail", copies);
    // 10 + 127 * 250 = 31760 fits, the 128th piece passes 32000.
    EXPECT_EQ(line.size(), 10u + 127u * 250u);
    EXPECT_NE(line.find(copies[126]), std::wstring::npos);
    EXPECT_EQ(line.find(copies[127]), std::wstring::npos);
    EXPECT_EQ(Log(), (std::vector<std::wstring>{L"RunApp nBuffLength > 32000", L"RunApp nBuffLength > 32000",
                                                L"RunApp nBuffLength > 32000 2"}));
}

TEST_F(LaunchTest, PiecesTooLongForTheirBuffersAreRefused)
{
    struct Case { const char* what; std::wstring launcher, parameter; std::vector<std::wstring> copies; const wchar_t* log; };
    const Case cases[] = {
        {"copy path over 260", L"C:\\L.exe", L"", {std::wstring(262, L'c')}, L"_stprintf_s: error = 80070001"},
        {"template piece over 261", L"C:\\L.exe", std::wstring(263, L't') + L" %file", {L"C:\\a.png"},
         L"command copy false 2: error = 80070001"},
        {"literal pieces over 260 together", L"C:\\L.exe",
         std::wstring(200, L'a') + L" %file " + std::wstring(200, L'b') + L" %file " + std::wstring(200, L'c'), {},
         L"command add false 2: error = 80070001"},
        {"launcher path too long", std::wstring(300, L'l'), L"", {}, L"_stprintf_s: error = 80070001"},
    };
    for (const Case& c : cases) {
        ClearLog(LogPath(kLogName));
        FixedLauncher data(c.launcher);
        HRESULT hr = S_OK;
        CommandLine(data, c.parameter, c.copies, &hr);
        EXPECT_EQ(hr, static_cast<HRESULT>(0x80070001)) << c.what;
        EXPECT_EQ(Log(), std::vector<std::wstring>{c.log}) << c.what;
    }
}

TEST_F(LaunchTest, StartedLauncherReceivesTheCommandLine)
{
    ScratchDir scratch;
    const std::wstring install = scratch.File(L"メプラ install");
    ::CreateDirectoryW(install.c_str(), nullptr);
    const std::wstring launcher = install + L"\\Qstart12.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(L"Qstart12.exe").c_str(), launcher.c_str(), FALSE));
    FixedLauncher data(launcher);
    const std::vector<std::wstring> copies = {scratch.File(L"名刺 1.png"), scratch.File(L"card_001.png")};
    ASSERT_EQ(data.RunApp(WithTemplate(L"-open %file"), copies), S_OK);

    const std::wstring record = install + L"\\Qstart12.cmdline.txt";
    for (int i = 0; i < 500 && ::GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(20);
    const std::wstring expected =
        L"\"" + launcher + L"\" -open \"" + copies[0] + L"\" \"" + copies[1] + L"\"";
    EXPECT_EQ(ReadFileWide(record), expected);
}

TEST_F(LaunchTest, LauncherThatCannotStart)
{
    ScratchDir scratch;
    FixedLauncher data(scratch.File(L"missing.exe"));
    EXPECT_EQ(data.RunApp(WithTemplate(L""), {}), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(Log(), std::vector<std::wstring>{L"CreateProcess: error = 80070002"});
}
