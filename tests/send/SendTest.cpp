// The send action through the host interface, without a display: every
// confirmation the plug-in would ask counts as "&Finish".
#include "tests/send/SendFixture.h"

#include "datasource/PluginDataSourceScan2Mepla.h"
#include "tests/ui/UiDriver.h"

using namespace sendtest;

namespace {
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002UL);
}

TEST_F(SendTest, CopiesUnderFreeNames)
{
    InstallLauncher();
    struct Case {
        const char* what;
        std::vector<std::wstring> present;  // already in the save folder
        std::vector<std::wstring> sources;  // relative to the scans folder
        std::vector<std::wstring> copies;   // expected, in order
    };
    const Case cases[] = {
        {"next free suffix", {L"scan.png", L"scan_001.png", L"scan_002.png"}, {L"scan.png"}, {L"scan_003.png"}},
        {"no extension", {L"README"}, {L"README"}, {L"README_001"}},
        {"one name twice in a list", {}, {L"a\\name.png", L"b\\name.png"}, {L"name.png", L"name_001.png"}},
        {"a folder takes the name too", {L"dir.png\\"}, {L"dir.png"}, {L"dir_001.png"}},
        {"dots in the stem", {L"x.y.png"}, {L"x.y.png"}, {L"x.y_001.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(save_->Path());
        ::CreateDirectoryW(save_->Path().c_str(), nullptr);
        ::DeleteFileW(CommandLineFile().c_str());
        for (const std::wstring& p : c.present) {
            if (p.back() == L'\\')
                ::CreateDirectoryW(save_->File(p.substr(0, p.size() - 1)).c_str(), nullptr);
            else
                MakeScan(save_->File(p));
        }
        std::vector<std::wstring> sources;
        for (const std::wstring& s : c.sources) {
            const std::wstring path = scans_->File(s);
            ::SHCreateDirectoryExW(nullptr, path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
            MakeScan(path);
            sources.push_back(path);
        }
        const GUID id = NewInstance();
        ASSERT_EQ(Execute(id, WriteList(ListText(sources))), S_OK);
        std::vector<std::wstring> copies;
        for (const std::wstring& name : c.copies) {
            copies.push_back(save_->File(name));
            EXPECT_EQ(ReadFileBytes(copies.back()), PngBytes()) << fx::ToUtf8(name);
        }
        EXPECT_EQ(LauncherCommandLine(), ExpectedCommandLine(copies));
        for (const std::wstring& s : sources) EXPECT_TRUE(Exists(s));
    }
}

TEST_F(SendTest, AThousandTakenNamesGiveFourDigits)
{
    InstallLauncher();
    MakeScan(save_->File(L"scan.png"));
    for (int n = 1; n < 1000; ++n) {
        fx::UniqueFile f(::CreateFileW(save_->File(fx::Format(L"scan_%03d.png", n)).c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(f) << n;
    }
    MakeScan(scans_->File(L"scan.png"));
    ASSERT_EQ(Execute(NewInstance(), WriteList(ListText({scans_->File(L"scan.png")}))), S_OK);
    EXPECT_EQ(ReadFileBytes(save_->File(L"scan_1000.png")), PngBytes());
    EXPECT_EQ(LauncherCommandLine(), ExpectedCommandLine({save_->File(L"scan_1000.png")}));
}

TEST_F(SendTest, JapanesePathsReachTheLauncherIntact)
{
    InstallLauncher();
    const std::wstring folder = save_->File(L"名刺フォルダ");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    MakeScan(folder + L"\\名刺.png");
    const std::vector<std::wstring> sources = {scans_->File(L"名刺.png"), scans_->File(L"スキャン 1.png")};
    for (const std::wstring& s : sources) MakeScan(s);
    ASSERT_EQ(Execute(NewInstance(3, folder + L"\\"), WriteList(ListText(sources))), S_OK);
    EXPECT_EQ(LauncherCommandLine(),
              ExpectedCommandLine({folder + L"\\名刺_001.png", folder + L"\\スキャン 1.png"}));
}

TEST_F(SendTest, DeleteFlagOnlyForVariantTrueAfterALaunch)
{
    struct Case {
        VARIANT_BOOL flag;
        bool launcherRuns;
        bool deleted;
    };
    for (const Case c : {Case{VARIANT_TRUE, false, false}, Case{VARIANT_TRUE, true, true}, Case{1, true, false},
                         Case{VARIANT_FALSE, true, false}}) {
        SCOPED_TRACE(testing::Message() << "flag " << c.flag << (c.launcherRuns ? "" : ", launch fails"));
        ::DeleteFileW(CommandLineFile().c_str());
        if (c.launcherRuns) {
            ::RemoveDirectoryW(Launcher().c_str());
            InstallLauncher();
        } else {
            // Present, so the target counts as installed, but no program.
            ASSERT_TRUE(::CreateDirectoryW(Launcher().c_str(), nullptr));
            RegisterInstall();
        }
        const std::vector<std::wstring> sources = {scans_->File(L"one.png"), scans_->File(L"two.png")};
        for (const std::wstring& s : sources) MakeScan(s);
        const HRESULT hr = Execute(NewInstance(), WriteList(ListText(sources)), c.flag);
        if (c.launcherRuns) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_NE(LauncherCommandLine(), L"");
        } else {
            EXPECT_LT(hr, 0);
            const std::vector<std::wstring> failures = Failures();
            ASSERT_GE(failures.size(), 3u);
            EXPECT_EQ(failures[failures.size() - 3], FailureLine(L"CreateProcess", hr));
            EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"RunApp", hr));
            EXPECT_EQ(failures.back(), FailureLine(L"m_Data.Execute", hr));
        }
        for (const std::wstring& s : sources) EXPECT_EQ(Exists(s), !c.deleted) << fx::ToUtf8(s);
    }
}

TEST_F(SendTest, TargetMissingFinishesWithoutADisplay)
{
    MakeScan(scans_->File(L"scan.png"));
    const HRESULT hr = Execute(NewInstance(), WriteList(ListText({scans_->File(L"scan.png")})));
    EXPECT_EQ(hr, kNotFound);
    const std::vector<std::wstring> failures = Failures();
    ASSERT_GE(failures.size(), 2u);
    EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"App ShowComfirmDlg", kNotFound));
    EXPECT_EQ(failures.back(), FailureLine(L"m_Data.Execute", kNotFound));
    EXPECT_FALSE(Exists(save_->File(L"scan.png")));
}

TEST_F(SendTest, VanishedOwnFolderFinishesBeforeTheListIsRead)
{
    InstallLauncher();
    // The list does not exist either: the folder is asked about first.
    const HRESULT hr = Execute(NewInstance(3, save_->File(L"gone")), scans_->File(L"no-list.txt"));
    EXPECT_EQ(hr, kNotFound);
    EXPECT_TRUE(Logged(FailureLine(L"GetSavePathID ShowComfirmDlg", kNotFound)));
    EXPECT_FALSE(Logged(FailureLine(L"SetFileList", kNotFound)));
}

TEST_F(SendTest, UnreadableListEndsWithSetFileList)
{
    InstallLauncher();
    const HRESULT hr = Execute(NewInstance(), scans_->File(L"no-list.txt"));
    EXPECT_EQ(hr, kNotFound);
    const std::vector<std::wstring> failures = Failures();
    ASSERT_GE(failures.size(), 2u);
    EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"SetFileList", kNotFound));
    EXPECT_EQ(failures.back(), FailureLine(L"m_Data.Execute", kNotFound));
    EXPECT_FALSE(Exists(CommandLineFile()));
}

TEST_F(SendTest, FailedCopyFinishesAndKeepsEarlierCopies)
{
    InstallLauncher();
    MakeScan(scans_->File(L"first.png"));
    const std::vector<std::wstring> sources = {scans_->File(L"first.png"), scans_->File(L"missing.png")};
    const HRESULT hr = Execute(NewInstance(), WriteList(ListText(sources)), VARIANT_TRUE);
    EXPECT_EQ(hr, kNotFound);
    const std::vector<std::wstring> failures = Failures();
    ASSERT_GE(failures.size(), 3u);
    EXPECT_EQ(failures[failures.size() - 3], FailureLine(L"CopyFile", kNotFound));
    EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"CopyFiles ShowComfirmDlg", kNotFound));
    EXPECT_TRUE(Exists(save_->File(L"first.png")));
    EXPECT_TRUE(Exists(scans_->File(L"first.png")));
    EXPECT_FALSE(Exists(CommandLineFile()));
}

// A folder that is not an absolute path is refused: nothing goes into the
// process's current folder.
TEST_F(SendTest, RelativeOwnFolderIsRefused)
{
    InstallLauncher();
    wchar_t before[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(::SetCurrentDirectoryW(save_->Path().c_str()));
    ASSERT_TRUE(::CreateDirectoryW(save_->File(L"rel").c_str(), nullptr));
    MakeScan(scans_->File(L"scan.png"));
    const HRESULT hr = Execute(NewInstance(3, L"rel"), WriteList(ListText({scans_->File(L"scan.png")})));
    ::SetCurrentDirectoryW(before);
    EXPECT_EQ(hr, kNotFound);
    const std::vector<std::wstring> failures = Failures();
    ASSERT_GE(failures.size(), 3u);
    EXPECT_EQ(failures[failures.size() - 3], FailureLine(L"GetSavePath", static_cast<HRESULT>(0x80070003UL)));
    EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"CopyFiles ShowComfirmDlg", kNotFound));
    EXPECT_FALSE(Exists(save_->File(L"scan.png")));
    EXPECT_FALSE(Exists(save_->File(L"rel\\scan.png")));
}

TEST_F(SendTest, MalformedListStillSendsEveryFile)
{
    InstallLauncher();
    const std::wstring a = scans_->File(L"a.png"), b = scans_->File(L"b.png"), c = scans_->File(L"c.png");
    for (const std::wstring& s : {a, b, c}) MakeScan(s);
    // Carriage returns, empty lines and a last line without a line feed.
    const std::wstring list = L"\xFEFF" + a + L"\r\n\n\r\n" + b + L"\n\n" + c;
    ASSERT_EQ(Execute(NewInstance(), WriteList(list)), S_OK);
    EXPECT_EQ(LauncherCommandLine(),
              ExpectedCommandLine({save_->File(L"a.png"), save_->File(L"b.png"), save_->File(L"c.png")}));
}

TEST(FileList, LinesAsTheyAreMeant)
{
    ScratchDir dir;
    const std::wstring longPath = L"C:\\" + std::wstring(400, L'x') + L".png";
    struct Case {
        const char* what;
        std::wstring text;
        std::vector<std::wstring> entries;
    };
    const Case cases[] = {
        {"well formed", L"\xFEFF" L"C:\\a.png\nC:\\b.png\n", {L"C:\\a.png", L"C:\\b.png"}},
        {"no byte-order mark", L"C:\\a.png\n", {L"C:\\a.png"}},
        {"mark only at the start", L"\xFEFF" L"C:\\a.png\n\xFEFF" L"C:\\b.png\n", {L"C:\\a.png", L"\xFEFF" L"C:\\b.png"}},
        {"last line without line feed", L"\xFEFF" L"C:\\a.png\nC:\\b.png", {L"C:\\a.png", L"C:\\b.png"}},
        {"carriage returns", L"\xFEFF" L"C:\\a.png\r\nC:\\b.png\r\n", {L"C:\\a.png", L"C:\\b.png"}},
        {"empty lines", L"\xFEFF\n\nC:\\a.png\n\r\n\n", {L"C:\\a.png"}},
        {"a line longer than 262", L"\xFEFF" + longPath + L"\nC:\\b.png\n", {longPath, L"C:\\b.png"}},
        {"mark alone", L"\xFEFF", {}},
        {"empty file", L"", {}},
    };
    CPluginDataSourceScan2Mepla data;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = dir.File(L"list.txt");
        ASSERT_TRUE(WriteFileBytes(path, Utf16Bytes(c.text)));
        std::vector<std::wstring> entries = {L"stale"};
        EXPECT_EQ(data.SetFileList(path.c_str(), entries), S_OK);
        EXPECT_EQ(entries, c.entries);
    }
    // A lone byte at the end is no character.
    ASSERT_TRUE(WriteFileBytes(dir.File(L"odd.txt"), Utf16Bytes(L"\xFEFF" L"C:\\a.png") + "x"));
    std::vector<std::wstring> entries;
    EXPECT_EQ(data.SetFileList(dir.File(L"odd.txt").c_str(), entries), S_OK);
    EXPECT_EQ(entries, std::vector<std::wstring>{L"C:\\a.png"});
    EXPECT_EQ(data.SetFileList(dir.File(L"none.txt").c_str(), entries), kNotFound);
}

TEST(SavePath, OwnFolderTooLongOrUnresolvable)
{
    uitest::LogCapture log;
    ScratchDir dir;
    CPluginDataSourceScan2Mepla data;
    const std::wstring source = dir.File(L"scan.png");
    MakeScan(source);
    struct Case {
        std::wstring folder;
        HRESULT code;
    };
    const Case cases[] = {
        {L"C:\\" + std::wstring(MAX_PATH, L'f'), static_cast<HRESULT>(0x800700CEUL)},
        {L"C:\\" + std::wstring(MAX_PATH - 3, L'f'), static_cast<HRESULT>(0x800700CEUL)},  // exactly 260
        {L"", static_cast<HRESULT>(0x80070003UL)},
        {L"relative\\folder", static_cast<HRESULT>(0x80070003UL)},
    };
    for (const Case& c : cases) {
        SettingRecord record;
        record.SetSaveID(3);
        record.SetSaveFoloder(c.folder);
        EXPECT_EQ(data.GetSavePath(record), L"");
        std::vector<std::wstring> copies;
        EXPECT_EQ(data.CopyFiles({source}, record, copies), c.code);
        EXPECT_TRUE(copies.empty());
        EXPECT_TRUE(log.Has(FailureLine(L"GetSavePath", c.code)));
    }
    SettingRecord record;
    record.SetSaveID(3);
    record.SetSaveFoloder(dir.Path());
    EXPECT_EQ(data.GetSavePath(record), dir.Path() + L"\\");
    record.SetSaveFoloder(dir.Path() + L"\\");
    EXPECT_EQ(data.GetSavePath(record), dir.Path() + L"\\");
}
