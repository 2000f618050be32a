// The localisation binding: which library it loads, its fallbacks, and the
// shipped translation file through our "kdxloc.dll".
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/Localize.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring Widen(const char* text) { return fx::FromUtf8(text); }

std::wstring ModulePath(HMODULE module)
{
    wchar_t buffer[MAX_PATH] = {};
    ::GetModuleFileNameW(module, buffer, MAX_PATH);
    return buffer;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

void Copy(const std::wstring& from, const std::wstring& to)
{
    const std::wstring folder = to.substr(0, to.find_last_of(L'\\'));
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(from.c_str(), to.c_str(), FALSE)) << fx::ToUtf8(to);
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// Every key the plug-in looks up.
const char* const kKeys[] = {
    "Detail Settings", "Location to &save the scanned image", "OK", "Cancel", "Save in %s", "Browse...", "Error",
    "The specified path is invalid or too long. Select the path again.", "Please select save location.",
    "Confirmation", "&Setting...", "&Retry", "&Finish", "Launch application not selected properly.",
    "Please select the application to use.", "The location to save cannot be confirmed.",
    "The file could not be copied to the specified folder.",
    "Using this plugin requires to install the %s application.", "Segoe UI", "Tahoma", "Segoe UI/9", "No setting",
    "Application", "Tessivo plug-in for %s", "Send to %s", "Function to link %s and Tessivo", "Install the %s.",
};

class Localize : public testing::Test {
protected:
    void SetUp() override { UnloadLocalizeLibrary(); }
    void TearDown() override { UnloadLocalizeLibrary(); }
};

TEST_F(Localize, WithoutLibraryEveryTextIsItsKey)
{
    for (const char* key : kKeys) {
        EXPECT_EQ(Widen(key), LocalizeText(key).str()) << key;
        DWORD size = 0;
        EXPECT_EQ(nullptr, LocLookupAW(key, &size));
        EXPECT_EQ(2 * std::strlen(key) + 2, size) << key;
    }
    EXPECT_EQ(nullptr, LocLookupAW("x", nullptr));
    EXPECT_EQ(0, LocSetLocale(0x0411));
    LocAddFileW(L"C:\\nowhere\\Scan2Mepla.loc");
    EXPECT_STREQ(L"Confirmation", LocalizeText("Confirmation"));

    wchar_t buffer[4] = {L'?', L'?', L'?', L'?'};
    EXPECT_EQ(buffer, LocA2W(buffer, "&Retry", 4));
    EXPECT_STREQ(L"&Re", buffer);
    EXPECT_EQ(L"", LocalizeText(nullptr).str());
}

TEST_F(Localize, KeysLongerThanTheTextStorageAreCut)
{
    const std::string key(700, 'k');
    EXPECT_EQ(std::wstring(LocalText::kCapacity - 1, L'k'), LocalizeText(key.c_str()).str());
}

// A folder that stands for the plug-in's: a module in it, and the candidates
// the case puts beside it.
TEST_F(Localize, TheLibraryBesideThePluginIsPreferred)
{
    const struct Case {
        const char* what;
        bool plug, kdx, zel;
        const wchar_t* expected;
    } cases[] = {
        {"plugkdxloc.dll first", true, true, true, L"plugkdxloc.dll"},
        {"then kdxloc.dll", false, true, true, L"kdxloc.dll"},
        {"then zelloc.dll", false, false, true, L"zelloc.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s2mtest::ScratchDir dir;
        s2mtest::RegistryOverride hklm;
        // A shared-files folder that also holds the library must lose.
        Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"shared\\kdxloc.dll"));
        {
            fx::UniqueRegKey key;
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Torvane Inc.\\Shared Files", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr);
            const std::wstring shared = dir.File(L"shared");
            ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(shared.c_str()),
                             static_cast<DWORD>((shared.size() + 1) * sizeof(wchar_t)));
        }
        Copy(s2mtest::BinPath(L"s2m_probe_fixture.dll"), dir.File(L"plugin\\Scan2Mepla.dll"));
        if (c.plug) Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"plugin\\plugkdxloc.dll"));
        if (c.kdx) Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"plugin\\kdxloc.dll"));
        if (c.zel) Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"plugin\\zelloc.dll"));
        {
            fx::UniqueModule plugin(::LoadLibraryW(dir.File(L"plugin\\Scan2Mepla.dll").c_str()));
            ASSERT_TRUE(plugin);
            EXPECT_EQ(1, LoadLocalizeLibrary(plugin.get()));
            EXPECT_TRUE(SamePath(dir.File(std::wstring(L"plugin\\") + c.expected), ModulePath(g_LocLibrary.Module())))
                << fx::ToUtf8(ModulePath(g_LocLibrary.Module()));
        }
        UnloadLocalizeLibrary();
    }
}

TEST_F(Localize, BareNamesComeFromTheSharedFilesFolder)
{
    const struct Case {
        const char* what;
        const wchar_t* inShared;  // null: no library anywhere
    } cases[] = {
        {"kdxloc.dll", L"kdxloc.dll"},
        {"zelloc.dll when kdxloc.dll is nowhere", L"zelloc.dll"},
        {"nothing", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s2mtest::ScratchDir dir;
        s2mtest::RegistryOverride hklm;
        const std::wstring shared = dir.File(L"shared");
        ::CreateDirectoryW(shared.c_str(), nullptr);
        if (c.inShared) Copy(s2mtest::DistPath(L"kdxloc.dll"), shared + L"\\" + c.inShared);
        {
            fx::UniqueRegKey key;
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Torvane Inc.\\Shared Files", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr);
            ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(shared.c_str()),
                             static_cast<DWORD>((shared.size() + 1) * sizeof(wchar_t)));
        }
        Copy(s2mtest::BinPath(L"s2m_probe_fixture.dll"), dir.File(L"plugin\\Scan2Mepla.dll"));
        fx::UniqueModule plugin(::LoadLibraryW(dir.File(L"plugin\\Scan2Mepla.dll").c_str()));
        ASSERT_TRUE(plugin);
        if (!c.inShared) {
            EXPECT_EQ(0, LoadLocalizeLibrary(plugin.get()));
            EXPECT_EQ(nullptr, g_LocLibrary.Module());
            EXPECT_EQ(0, LocSetLocale(0x0411));
            EXPECT_STREQ(L"Detail Settings", LocalizeText("Detail Settings"));
            continue;
        }
        EXPECT_EQ(1, LoadLocalizeLibrary(plugin.get()));
        EXPECT_TRUE(SamePath(shared + L"\\" + c.inShared, ModulePath(g_LocLibrary.Module())));
        UnloadLocalizeLibrary();
    }
}

TEST_F(Localize, ASecondCallKeepsTheLoadedLibrary)
{
    s2mtest::ScratchDir dir;
    Copy(s2mtest::BinPath(L"s2m_probe_fixture.dll"), dir.File(L"one\\Scan2Mepla.dll"));
    Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"one\\plugkdxloc.dll"));
    Copy(s2mtest::BinPath(L"s2m_probe_fixture.dll"), dir.File(L"two\\Scan2Mepla.dll"));
    Copy(s2mtest::DistPath(L"kdxloc.dll"), dir.File(L"two\\plugkdxloc.dll"));
    fx::UniqueModule one(::LoadLibraryW(dir.File(L"one\\Scan2Mepla.dll").c_str()));
    fx::UniqueModule two(::LoadLibraryW(dir.File(L"two\\Scan2Mepla.dll").c_str()));
    ASSERT_TRUE(one && two);

    ASSERT_EQ(1, LoadLocalizeLibrary(one.get()));
    const HMODULE first = g_LocLibrary.Module();
    EXPECT_EQ(1, LoadLocalizeLibrary(two.get()));
    EXPECT_EQ(first, g_LocLibrary.Module());
    // Nothing more was loaded from the second folder.
    EXPECT_EQ(nullptr, ::GetModuleHandleW(dir.File(L"two\\plugkdxloc.dll").c_str()));
    UnloadLocalizeLibrary();
}

TEST_F(Localize, MissingExportsFallBackOneByOne)
{
    s2mtest::ScratchDir dir;
    Copy(s2mtest::BinPath(L"s2m_probe_fixture.dll"), dir.File(L"Scan2Mepla.dll"));
    Copy(s2mtest::BinPath(L"s2m_partialloc.dll"), dir.File(L"plugkdxloc.dll"));
    fx::UniqueModule plugin(::LoadLibraryW(dir.File(L"Scan2Mepla.dll").c_str()));
    ASSERT_EQ(1, LoadLocalizeLibrary(plugin.get()));

    EXPECT_EQ(0, LocSetLocale(0x0411));
    LocAddFileW(L"C:\\nowhere.loc");
    EXPECT_STREQ(L"probe translation", LocalizeText("Probe"));
    EXPECT_STREQ(L"Other", LocalizeText("Other"));
    wchar_t buffer[8];
    EXPECT_STREQ(L"abc", LocA2W(buffer, "abc", 8));
    UnloadLocalizeLibrary();
}

// The shipped library and file, as the plug-in's start-up registers them.
class Japanese : public Localize {
protected:
    void SetUp() override
    {
        Localize::SetUp();
        // Any module in the shipped folder stands for the plug-in there.
        anchor.reset(::LoadLibraryW(s2mtest::DistPath(L"zelinfolog.dll").c_str()));
        ASSERT_TRUE(anchor);
        ASSERT_EQ(1, LoadLocalizeLibrary(anchor.get()));
        ASSERT_TRUE(SamePath(s2mtest::DistPath(L"kdxloc.dll"), ModulePath(g_LocLibrary.Module())));
        LocSetLocale(0x0411);
        LocAddFileW(s2mtest::DistPath(L"Scan2Mepla.loc").c_str());
    }
    void TearDown() override
    {
        Localize::TearDown();
        anchor.reset();
    }
    fx::UniqueModule anchor;
};

TEST_F(Japanese, KeysAreTranslatedAndUnknownKeysStayEnglish)
{
    const struct {
        const char* key;
        const wchar_t* text;
    } cases[] = {
        {"Detail Settings", L"詳細設定"},
        {"Confirmation", L"確認"},
        {"&Retry", L"再試行(&R)"},
        {"Save in %s", L"%sに保存"},
        {"Segoe UI", L"Meiryo UI"},
        {"Tahoma", L"MS UI Gothic"},
        {"Segoe UI/9", L"Meiryo UI/9"},
        {"Not a key of the file", L"Not a key of the file"},
        {"detail settings", L"detail settings"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, LocalizeText(c.key).str()) << c.key;

    // The size rule, as the library answers it.
    DWORD size = 0;
    const wchar_t* text = LocLookupAW("Cancel", &size);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ((std::wcslen(text) + 1) * sizeof(wchar_t), size);
    EXPECT_EQ(nullptr, LocLookupAW("Not a key", &size));
    EXPECT_GE(size, std::strlen("Not a key") + 1);

    // A translated format keeps its placeholder and formats as the key does.
    const std::wstring line = fx::Format(LocalizeText("Save in %s").c_str(), L"マイ ピクチャ");
    EXPECT_EQ(L"マイ ピクチャに保存", line);

    // Back to English, and Japanese again: every lookup is fresh.
    LocSetLocale(0x0409);
    EXPECT_STREQ(L"Detail Settings", LocalizeText("Detail Settings"));
    LocSetLocale(0x0411);
    EXPECT_STREQ(L"詳細設定", LocalizeText("Detail Settings"));
}

TEST_F(Japanese, EveryKeyHasATranslationWithItsPlaceholders)
{
    for (const char* key : kKeys) {
        DWORD size = 0;
        const wchar_t* text = LocLookupAW(key, &size);
        ASSERT_NE(nullptr, text) << key;
        const std::wstring translated = text;
        if (std::strcmp(key, "OK") != 0) {
            EXPECT_NE(Widen(key), translated) << key;
        }
        EXPECT_EQ(Count(Widen(key), L"%s"), Count(translated, L"%s")) << key;
        EXPECT_EQ(Count(Widen(key), L"&"), Count(translated, L"&")) << key;
        EXPECT_EQ(Count(Widen(key), L"/"), Count(translated, L"/")) << key;
    }
}

}  // namespace
