// The send action's confirmations on the test screen, answered by a user
// played from a second thread.
#include "tests/send/SendFixture.h"

#include "tests/ui/UiDriver.h"
#include "ui/Msg.h"
#include "ui/resource.h"

using namespace sendtest;
using uitest::Driver;

namespace {
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002UL);

// Runs Execute on this thread while `script` answers the dialogs.
HRESULT ExecuteDriven(const std::function<HRESULT()>& execute, uitest::Script script,
                      std::string& failure)
{
    Driver driver(std::move(script));
    const HRESULT hr = execute();
    failure = driver.Finish();
    return hr;
}
}  // namespace

TEST_F(SendTest, TargetMissingAndFinish)
{
    MakeScan(scans_->File(L"scan.png"));
    const GUID id = NewInstance();
    const std::wstring list = WriteList(ListText({scans_->File(L"scan.png")}));
    std::wstring message;
    std::string failure;
    const HRESULT hr = ExecuteDriven([&] { return Execute(id, list); }, [&](Driver& d) {
        HWND confirm = d.WaitForWindow(L"Confirmation");
        message = Driver::ItemText(confirm, IDC_STATIC_MESSAGE);
        d.Click(confirm, IDCANCEL);
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(hr, kNotFound);
    EXPECT_EQ(message, L"Using this plugin requires to install the メプラ application.");
    EXPECT_TRUE(Logged(FailureLine(L"App ShowComfirmDlg", kNotFound)));
    EXPECT_FALSE(Exists(save_->File(L"scan.png")));
}

TEST_F(SendTest, TargetInstalledWhileAskedThenRetry)
{
    MakeScan(scans_->File(L"scan.png"));
    const GUID id = NewInstance();
    const std::wstring list = WriteList(ListText({scans_->File(L"scan.png")}));
    std::string failure;
    const HRESULT hr = ExecuteDriven([&] { return Execute(id, list); }, [&](Driver& d) {
        HWND confirm = d.WaitForWindow(L"Confirmation");
        InstallLauncher();
        d.Click(confirm, IDOK);
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(LauncherCommandLine(), ExpectedCommandLine({save_->File(L"scan.png")}));
}

TEST_F(SendTest, VanishedFolderThenDesktopThroughSettings)
{
    InstallLauncher();
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_DESKTOP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_DEFAULT, desktop),
              S_OK);
    const std::wstring name = L"send-desktop-scan.png";
    const std::wstring onDesktop = std::wstring(desktop) + L"\\" + name;
    ::DeleteFileW(onDesktop.c_str());
    MakeScan(scans_->File(name));
    const GUID id = NewInstance(3, save_->File(L"vanished"));
    // The list appears only while the first confirmation is open: it is
    // read after the folder check.
    const std::wstring list = scans_->File(L"list.txt");
    std::wstring message;
    std::string failure;
    const HRESULT hr = ExecuteDriven([&] { return Execute(id, list); }, [&](Driver& d) {
        HWND confirm = d.WaitForWindow(L"Confirmation");
        message = Driver::ItemText(confirm, IDC_STATIC_MESSAGE);
        d.Check(WriteList(ListText({scans_->File(name)})) == list, "list written");
        d.Click(confirm, IDC_BTN_SETTING);
        HWND settings = d.WaitForWindow(L"Detail Settings");
        d.Select(settings, IDC_CBO_SAVELOCATION, 2);
        d.Click(settings, IDOK);
        d.WaitGone(settings);
        d.Click(confirm, IDOK);
        d.Check(d.StaysAbsent(L"Confirmation", 1000), "asked once");
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(message, g_Msg.SaveLocationMessage());
    EXPECT_EQ(Stored(id).GetSaveID(), 2);
    EXPECT_EQ(ReadFileBytes(onDesktop), PngBytes());
    EXPECT_EQ(LauncherCommandLine(), ExpectedCommandLine({onDesktop}));
    ::DeleteFileW(onDesktop.c_str());
}

TEST_F(SendTest, FailedCopyRetriedAfterTheFix)
{
    InstallLauncher();
    const std::wstring first = scans_->File(L"first.png"), second = scans_->File(L"second.png");
    MakeScan(first);
    const GUID id = NewInstance();
    const std::wstring list = WriteList(ListText({first, second}));
    std::wstring message;
    std::string failure;
    const HRESULT hr = ExecuteDriven([&] { return Execute(id, list, VARIANT_TRUE); }, [&](Driver& d) {
        HWND confirm = d.WaitForWindow(L"Confirmation");
        message = Driver::ItemText(confirm, IDC_STATIC_MESSAGE);
        d.Check(WriteFileBytes(second, PngBytes()), "missing scan made");
        d.Click(confirm, IDOK);
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(message, g_Msg.CopyFailedMessage());
    EXPECT_TRUE(Logged(FailureLine(L"CopyFile", kNotFound)));
    // The first attempt's copy stays on disk but is not sent again.
    EXPECT_TRUE(Exists(save_->File(L"first.png")));
    EXPECT_EQ(LauncherCommandLine(), ExpectedCommandLine({save_->File(L"first_001.png"), save_->File(L"second.png")}));
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(second));
}

TEST_F(SendTest, FailedCopyThenFinish)
{
    InstallLauncher();
    const GUID id = NewInstance();
    const std::wstring list = WriteList(ListText({scans_->File(L"missing.png")}));
    std::string failure;
    const HRESULT hr = ExecuteDriven([&] { return Execute(id, list); }, [&](Driver& d) {
        d.PressEscape(d.WaitForWindow(L"Confirmation"));
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(hr, kNotFound);
    const std::vector<std::wstring> failures = Failures();
    ASSERT_GE(failures.size(), 3u);
    EXPECT_EQ(failures[failures.size() - 3], FailureLine(L"CopyFile", kNotFound));
    EXPECT_EQ(failures[failures.size() - 2], FailureLine(L"CopyFiles ShowComfirmDlg", kNotFound));
    EXPECT_FALSE(Exists(CommandLineFile()));
}
