// Path, GUID and module values against real folders and a real module.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "datasource/MyGuid.h"
#include "datasource/MyModule.h"
#include "datasource/MyPath.h"
#include "framework/Unique.h"
#include "tests/support/TestSupport.h"

using s2mtest::ScratchDir;

namespace {

bool IsFolder(const std::wstring& path)
{
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(MyGuidTest, ToStringOfTheZeroGuid)
{
    const MyGuid zero;
    EXPECT_EQ(zero.ToString(1), L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(zero.ToString(0), L"00000000-0000-0000-0000-000000000000");
}

TEST(MyGuidTest, ToStringIsUpperCaseInMemoryOrder)
{
    // The four words as the host pushes them: Data1, Data2|Data3<<16, Data4[0..3], Data4[4..7].
    const MyGuid id(0x962B83D5, 0x4B5E70E5, 0x65561297, 0x6DA7654F);
    EXPECT_EQ(id.ToString(1), L"{962B83D5-70E5-4B5E-9712-56654F65A76D}");
    struct Case { int flag; size_t length; };
    for (const Case c : {Case{1, 38}, Case{0, 36}, Case{2, 36}, Case{-1, 36}})
        EXPECT_EQ(id.ToString(c.flag).size(), c.length) << "flag " << c.flag;
}

TEST(MyFilePathTest, GetFolder)
{
    struct Case { const wchar_t* path; const wchar_t* folder; };
    const Case cases[] = {
        {L"C:\\dir\\file.png", L"C:\\dir"},
        {L"C:\\dir\\sub\\", L"C:\\dir\\sub"},
        {L"file.png", L""},    // nothing to remove
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MyFilePath(c.path).GetFolder(), c.folder) << "path '" << fx::ToUtf8(c.path) << "'";
}

TEST(MyFilePathTest, ExistsAndAccessors)
{
    ScratchDir scratch;
    MyFilePath file(scratch.File(L"a.txt"));
    EXPECT_FALSE(file.Exists());
    ASSERT_TRUE(s2mtest::WriteFileBytes(file.GetPathConst(), "x"));
    EXPECT_TRUE(file.Exists());

    std::wstring copy = file.CopyPath();
    copy += L"changed";
    EXPECT_EQ(file.GetPathConst(), scratch.File(L"a.txt")) << "CopyPath gives an independent copy";
    file.SetPath(L"C:\\other");
    EXPECT_EQ(file.GetPath(), L"C:\\other");
}

TEST(MyFolderPathTest, AppendJoinsWithOneBackslash)
{
    struct Case { const wchar_t* folder; const wchar_t* name; const wchar_t* joined; };
    const Case cases[] = {
        {L"C:\\dir", L"AppSettings.XML", L"C:\\dir\\AppSettings.XML"},
        {L"C:\\dir\\", L"AppSettings.XML", L"C:\\dir\\AppSettings.XML"},
        {L"C:\\dir", L"\\x.png", L"C:\\dir\\x.png"},
    };
    for (const Case& c : cases) {
        const MyFolderPath folder(c.folder);
        EXPECT_EQ(folder.Append(c.name), c.joined) << fx::ToUtf8(c.folder) << " + " << fx::ToUtf8(c.name);
        EXPECT_EQ(folder.GetPathConst(), c.folder) << "the stored path is unchanged";
    }
}

TEST(MyFolderPathTest, AppendPastTheLimitKeepsThePath)
{
    const std::wstring longFolder = L"C:\\" + std::wstring(250, L'a');
    EXPECT_EQ(MyFolderPath(longFolder).Append(std::wstring(20, L'b')), longFolder);
}

TEST(MyFolderPathTest, CreateTreeOnAPartlyExistingTree)
{
    ScratchDir scratch;
    ASSERT_TRUE(::CreateDirectoryW(scratch.File(L"a").c_str(), nullptr));
    const std::wstring deepest = scratch.File(L"a\\b\\c");
    EXPECT_EQ(MyFolderPath(deepest).CreateTree(), 0);
    EXPECT_TRUE(IsFolder(scratch.File(L"a\\b")));
    EXPECT_TRUE(IsFolder(deepest));
    EXPECT_EQ(MyFolderPath(deepest).CreateTree(), 0) << "existing levels are skipped";
    EXPECT_EQ(MyFolderPath(deepest + L"\\").CreateTree(), 0) << "a trailing backslash is one more existing level";
}

TEST(MyFolderPathTest, CreateTreeWithRepeatedComponents)
{
    ScratchDir scratch;
    const std::wstring path = scratch.File(L"x\\x");
    EXPECT_EQ(MyFolderPath(path).CreateTree(), 0);
    EXPECT_TRUE(IsFolder(scratch.File(L"x")));
    EXPECT_TRUE(IsFolder(path));
    EXPECT_FALSE(IsFolder(scratch.File(L"x\\x\\x")));
}

TEST(MyFolderPathTest, CreateTreeReportsTheFailingLevel)
{
    ScratchDir scratch;
    ASSERT_TRUE(s2mtest::WriteFileBytes(scratch.File(L"file"), "not a folder"));
    const long code = MyFolderPath(scratch.File(L"file\\sub\\deeper")).CreateTree();
    EXPECT_NE(code, 0);
    EXPECT_FALSE(IsFolder(scratch.File(L"file\\sub")));
    EXPECT_EQ(MyFolderPath(L"").CreateTree(), 0) << "no component: nothing to do";
}

TEST(MyModuleTest, GetVersionTurnsCommasIntoPoints)
{
    fx::UniqueModule module(::LoadLibraryW(s2mtest::BinPath(L"s2m_versioned.dll").c_str()));
    ASSERT_TRUE(module) << "error " << ::GetLastError();
    const MyModule versioned(L"s2m_versioned.dll");
    EXPECT_EQ(versioned.GetFileName(), s2mtest::BinPath(L"s2m_versioned.dll"));
    EXPECT_EQ(versioned.GetVersion(), L"3.1.0.12");
}

TEST(MyModuleTest, ModuleThatIsNotLoaded)
{
    const MyModule missing(L"no-such-module.dll");
    EXPECT_EQ(missing.GetFileName(), L"");
    EXPECT_EQ(missing.GetVersion(), L"");
}

TEST(MyModuleTest, ModuleWithoutVersionResource)
{
    // The test program itself carries no version resource.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const MyModule program(::PathFindFileNameW(self));
    EXPECT_EQ(program.GetFileName(), self);
    EXPECT_EQ(program.GetVersion(), L"");
}
