// Our "kdxloc.dll" and its translation-file format, called directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/MakerApi.h"
#include "tests/support/TestSupport.h"

namespace {

template <typename Fn>
Fn Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

class Kdxloc : public testing::Test {
protected:
    void SetUp() override
    {
        library.reset(::LoadLibraryW(s2mtest::DistPath(L"kdxloc.dll").c_str()));
        ASSERT_TRUE(library);
        setLocale = Bind<ZelLocalizeSetLocaleFn>(library.get(), "ZelLocalizeSetLocale");
        getLocale = Bind<ZelLocalizeGetLocaleFn>(library.get(), "ZelLocalizeGetLocale");
        addFileA = Bind<ZelLocalizeAddFileAFn>(library.get(), "ZelLocalizeAddFileA");
        addFileW = Bind<ZelLocalizeAddFileWFn>(library.get(), "ZelLocalizeAddFileW");
        clearFiles = Bind<ZelLocalizeClearFilesFn>(library.get(), "ZelLocalizeClearFiles");
        lookupAW = Bind<ZelLocalizeLookupAWFn>(library.get(), "ZelLocalizeLookupAW");
        lookupWW = Bind<ZelLocalizeLookupWWFn>(library.get(), "ZelLocalizeLookupWW");
        a2w = Bind<ZelLocalizeA2WFn>(library.get(), "ZelLocalizeA2W");
        w2a = Bind<ZelLocalizeW2AFn>(library.get(), "ZelLocalizeW2A");
        ASSERT_TRUE(setLocale && getLocale && addFileA && addFileW && clearFiles && lookupAW && lookupWW && a2w && w2a);
        ASSERT_TRUE(::GetProcAddress(library.get(), "ZelLocalizeDialog"));
        clearFiles();
    }
    void TearDown() override
    {
        if (clearFiles) clearFiles();
    }

    // The translation of a key, or "(none)".
    std::wstring Look(const char* key)
    {
        DWORD size = 0;
        const wchar_t* text = lookupAW(key, &size);
        if (!text) {
            EXPECT_GE(size, std::strlen(key) + 1) << key;
            return L"(none)";
        }
        EXPECT_EQ((std::wcslen(text) + 1) * sizeof(wchar_t), size) << key;
        return text;
    }

    fx::UniqueModule library;
    ZelLocalizeSetLocaleFn setLocale = nullptr;
    ZelLocalizeGetLocaleFn getLocale = nullptr;
    ZelLocalizeAddFileAFn addFileA = nullptr;
    ZelLocalizeAddFileWFn addFileW = nullptr;
    ZelLocalizeClearFilesFn clearFiles = nullptr;
    ZelLocalizeLookupAWFn lookupAW = nullptr;
    ZelLocalizeLookupWWFn lookupWW = nullptr;
    ZelLocalizeA2WFn a2w = nullptr;
    ZelLocalizeW2AFn w2a = nullptr;
};

const char kFile[] =
    "\xEF\xBB\xBF; a comment\r\n"
    "# another comment=not an entry\r\n"
    "Before any section=ignored\r\n"
    "\r\n"
    "[0011]\r\n"
    "Both=primary\r\n"
    "Primary only=primary only\r\n"
    "[0411]\r\n"
    "Both=exact\r\n"
    "Both=a second entry is ignored\r\n"
    "Line\\nbreak=\xE6\x94\xB9\xE8\xA1\x8C\\n\xE3\x81\x82\xE3\x82\x8A\r\n"
    "Key\\=with equals=a=b\r\n"
    "Trailing space =with space\r\n"
    "Escapes=tab\\there \\\\ \\u00e9\r\n"
    "\\#Hash=hash key\r\n"
    "Empty=\r\n"
    "[zz]\r\n"
    "Ignored=ignored\r\n"
    "[0x0409]\n"
    "Both=english variant\n";

TEST_F(Kdxloc, FileFormatAndLanguageMatching)
{
    s2mtest::ScratchDir dir;
    ASSERT_TRUE(s2mtest::WriteFileBytes(dir.File(L"test.loc"), kFile));
    EXPECT_EQ(1, addFileW(dir.File(L"test.loc").c_str()));

    const struct {
        LANGID locale;
        const char* key;
        const wchar_t* expected;
    } cases[] = {
        {0x0411, "Both", L"exact"},
        {0x0411, "Primary only", L"primary only"},
        {0x0811, "Both", L"primary"},  // another Japanese sublanguage: the primary section
        {0x0409, "Both", L"english variant"},
        {0x0809, "Both", L"(none)"},  // no English primary section
        {0x0411, "Line\nbreak", L"改行\nあり"},
        {0x0411, "Key=with equals", L"a=b"},
        {0x0411, "Trailing space ", L"with space"},
        {0x0411, "Trailing space", L"(none)"},
        {0x0411, "both", L"(none)"},
        {0x0411, "Escapes", L"tab\there \\ \u00e9"},
        {0x0411, "#Hash", L"hash key"},
        {0x0411, "Empty", L""},
        {0x0411, "Ignored", L"(none)"},
        {0x0411, "Before any section", L"(none)"},
        {0x0411, "# another comment", L"(none)"},
    };
    for (const auto& c : cases) {
        setLocale(c.locale);
        EXPECT_EQ(c.locale, getLocale());
        EXPECT_EQ(c.expected, Look(c.key)) << c.key << " " << c.locale;
    }

    setLocale(0x0411);
    DWORD size = 0;
    const wchar_t* wide = lookupWW(L"Both", &size);
    ASSERT_NE(nullptr, wide);
    EXPECT_STREQ(L"exact", wide);
    EXPECT_EQ(sizeof(L"exact"), size);

    EXPECT_EQ(1, clearFiles());
    EXPECT_EQ(L"(none)", Look("Both"));
}

TEST_F(Kdxloc, EarlierFilesWinAndMissingFilesAreHarmless)
{
    s2mtest::ScratchDir dir;
    ASSERT_TRUE(s2mtest::WriteFileBytes(dir.File(L"a.loc"), "[0411]\nShared=from a\n"));
    ASSERT_TRUE(s2mtest::WriteFileBytes(dir.File(L"b.loc"), "[0411]\nShared=from b\nOnly b=b\n"));
    setLocale(0x0411);
    EXPECT_EQ(0, addFileW(dir.File(L"missing.loc").c_str()));
    EXPECT_EQ(1, addFileW(dir.File(L"a.loc").c_str()));
    EXPECT_EQ(1, addFileA(fx::ToUtf8(dir.File(L"b.loc")).c_str()));
    EXPECT_EQ(L"from a", Look("Shared"));
    EXPECT_EQ(L"b", Look("Only b"));
}

TEST_F(Kdxloc, Conversions)
{
    wchar_t wide[16];
    EXPECT_EQ(wide, a2w(wide, "Browse...", 16));
    EXPECT_STREQ(L"Browse...", wide);
    EXPECT_EQ(nullptr, a2w(wide, "much too long for four", 4));
    char narrow[16];
    EXPECT_EQ(narrow, w2a(narrow, L"Cancel", 16));
    EXPECT_STREQ("Cancel", narrow);
}

}  // namespace
