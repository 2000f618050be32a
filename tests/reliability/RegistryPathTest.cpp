// Values the plug-in forms paths from, at and beyond their limits: bad
// "InstPath" values of the target application, and folders for import and
// export of 260 characters and more.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datasource/PluginDataSourceScan2Mepla.h"
#include "framework/Unique.h"
#include "tests/reliability/Reliability.h"

using namespace s2mtest;
using namespace reliability;

namespace {

const wchar_t kVendorKey[] = L"SOFTWARE\\Halden\\e.Pallo\\";

void SetValue(const wchar_t* version, DWORD type, const void* data, DWORD bytes)
{
    fx::UniqueRegKey key;
    const std::wstring path = std::wstring(kVendorKey) + version;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"InstPath", 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
}

struct BadValue {
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BYTE> Bytes(const std::wstring& text, bool terminator)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + (terminator ? 1 : 0)) * sizeof(wchar_t));
}

}  // namespace

// A bad value under the first version probed ("12.0LE") is skipped, and the
// good one of a later version is found.
TEST(RegistryValues, BadInstPathIsSkippedForTheNextVersion)
{
    ScratchDir good(L"InstGood");
    ASSERT_TRUE(::CopyFileW(BinPath(L"Qstart12.exe").c_str(), good.File(L"Qstart12.exe").c_str(), FALSE));
    // A folder that really holds the launcher, written without terminator:
    // whatever is cut or kept, nothing beyond the data may be read.
    std::vector<BYTE> unterminated = Bytes(good.Path(), false);
    std::vector<BYTE> odd = Bytes(good.Path(), false);
    odd.push_back(0x41);
    const DWORD number = 42;
    const std::vector<BadValue> cases = {
        {"DWORD", REG_DWORD, std::vector<BYTE>(reinterpret_cast<const BYTE*>(&number),
                                                reinterpret_cast<const BYTE*>(&number) + sizeof number)},
        {"binary holding a path", REG_BINARY, Bytes(good.Path(), true)},
        {"multi-string", REG_MULTI_SZ, Bytes(good.Path() + L'\0', true)},
        {"empty string", REG_SZ, Bytes(L"", true)},
        {"no data at all", REG_SZ, {}},
        {"1025 characters", REG_SZ, Bytes(std::wstring(1025, L'a'), true)},
        {"1024 characters without terminator", REG_SZ, Bytes(std::wstring(1024, L'b'), false)},
        {"4000 characters", REG_EXPAND_SZ, Bytes(good.Path() + std::wstring(4000, L'\\'), true)},
        {"300 characters", REG_SZ, Bytes(L"C:\\" + std::wstring(297, L'c'), true)},
        {"odd byte count", REG_SZ, odd},
        {"one byte", REG_SZ, {0x43}},
    };
    for (const BadValue& c : cases) {
        SCOPED_TRACE(c.label);
        RegistryOverride hklm;
        SetValue(L"12.0LE", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        SetValue(L"14.0", REG_SZ, good.Path().c_str(), static_cast<DWORD>((good.Path().size() + 1) * sizeof(wchar_t)));
        CPluginDataSourceScan2Mepla source;
        const std::wstring found = source.GetAppPath(nullptr);
        EXPECT_EQ(found, good.File(L"Qstart12.exe"));
    }
    // A value without terminator is cut at its data: the folder it names is used.
    {
        RegistryOverride hklm;
        SetValue(L"12.0", REG_SZ, unterminated.data(), static_cast<DWORD>(unterminated.size()));
        CPluginDataSourceScan2Mepla source;
        EXPECT_EQ(source.GetAppPath(nullptr), good.File(L"Qstart12.exe"));
    }
}

// Folders whose settings-file path reaches or passes 260 characters are
// refused with a code; the plug-in's own settings file stays as it was.
TEST(LongPaths, ImportAndExportRefuseFoldersBeyondTheLimit)
{
    RemoveTree(SettingsFolder());
    CPluginDataSourceScan2Mepla source;
    GUID id = {};
    ASSERT_EQ(source.CreateID(&id), S_OK);
    const std::string before = ReadFileBytes(SettingsFile());

    const size_t tail = std::wstring(L"\\AppSettings.XML").size();
    for (const size_t length : {size_t(260) - tail, size_t(259), size_t(260), size_t(261), size_t(300),
                                size_t(1000), size_t(32767), size_t(70000)}) {
        SCOPED_TRACE(length);
        std::wstring folder = L"C:\\";
        while (folder.size() < length) folder += L"segment\\";
        folder.resize(length);
        if (folder.back() == L'\\') folder.back() = L'x';
        const fx::UniqueBstr b = fx::MakeBstr(folder);
        EXPECT_LT(source.ImportData(b.get()), 0);
        EXPECT_LT(source.ExportData(b.get()), 0);
        EXPECT_TRUE(ReadFileBytes(SettingsFile()) == before);
    }
    RemoveTree(SettingsFolder());
}

// Exactly at the limit: a folder whose settings-file path has 259
// characters still works both ways.
TEST(LongPaths, FolderJustWithinTheLimitWorks)
{
    RemoveTree(SettingsFolder());
    CPluginDataSourceScan2Mepla source;
    GUID id = {};
    ASSERT_EQ(source.CreateID(&id), S_OK);

    ScratchDir scratch(L"LimitFolder");
    const size_t want = 259 - std::wstring(L"\\AppSettings.XML").size();
    std::wstring folder = scratch.Path();
    while (folder.size() < want) {
        const size_t room = want - folder.size() - 1;
        if (room == 0) break;
        folder += L"\\" + std::wstring(std::min<size_t>(room, 60), L'd');
        if (!::CreateDirectoryW(folder.c_str(), nullptr)) break;
    }
    if (folder.size() != want) GTEST_SKIP() << "this file system refuses folders that long";
    ASSERT_EQ(source.ExportData(folder.c_str()), S_OK);
    EXPECT_TRUE(ReadFileBytes(folder + L"\\AppSettings.XML") == ReadFileBytes(SettingsFile()));
    EXPECT_EQ(source.ImportData(folder.c_str()), S_OK);
    RemoveTree(SettingsFolder());
}
