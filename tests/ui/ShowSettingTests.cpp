// The data source's "edit this instance": load, show Detail Settings, save on OK.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "datasource/PluginDataSourceScan2Mepla.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiDriver.h"
#include "ui/resource.h"

using uitest::Driver;

namespace {

std::wstring SettingsFolder()
{
    wchar_t appData[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    return std::wstring(appData) + L"\\Torvane\\Scan2Mepla";
}

class ShowSettingDlgTest : public testing::Test {
protected:
    void SetUp() override
    {
        s2mtest::RemoveTree(SettingsFolder());
        ASSERT_EQ(data_.CreateID(&id_), S_OK);
        SettingRecord record(id_);
        record.SetName(L"name");
        record.SetSaveID(1);
        ASSERT_EQ(data_.SaveData(record), S_OK);
    }
    void TearDown() override { s2mtest::RemoveTree(SettingsFolder()); }

    std::string SettingsBytes() const { return s2mtest::ReadFileBytes(SettingsFolder() + L"\\AppSettings.XML"); }

    CPluginDataSourceScan2Mepla data_;
    GUID id_ = {};
};

}  // namespace

TEST_F(ShowSettingDlgTest, OkSavesTheChosenLocation)
{
    Driver driver([](Driver& d) {
        HWND w = d.WaitForWindow(L"Detail Settings");
        d.Check(Driver::ComboSelection(w, IDC_CBO_SAVELOCATION) == 1, "opens on My Documents");
        d.Select(w, IDC_CBO_SAVELOCATION, 2);  // Desktop
        d.Click(w, IDOK);
    });
    EXPECT_EQ(data_.ShowSettingDlg(id_, 12345), S_OK);
    EXPECT_EQ(driver.Finish(), "");

    SettingRecord record(id_);
    ASSERT_EQ(data_.LoadData(record), S_OK);
    EXPECT_EQ(record.GetSaveID(), 2);
    EXPECT_EQ(record.GetName(), L"name") << "the carried fields come back unchanged";
}

TEST_F(ShowSettingDlgTest, CancelWritesNothing)
{
    const std::string before = SettingsBytes();
    Driver driver([](Driver& d) {
        HWND w = d.WaitForWindow(L"Detail Settings");
        d.Select(w, IDC_CBO_SAVELOCATION, 2);
        d.Click(w, IDCANCEL);
    });
    EXPECT_EQ(data_.ShowSettingDlg(id_, 0), S_OK);
    EXPECT_EQ(driver.Finish(), "");
    EXPECT_EQ(SettingsBytes(), before) << "the settings file is untouched";
}

TEST_F(ShowSettingDlgTest, UnknownIdFailsWithTheLoadCodeAndShowsNothing)
{
    GUID unknown = id_;
    unknown.Data1 ^= 1;
    Driver driver([](Driver& d) { d.Check(d.StaysAbsent(L"Detail Settings", 1500), "no dialog"); });
    // The file parses but has no entry of that ID.
    EXPECT_EQ(data_.ShowSettingDlg(unknown, 0), static_cast<HRESULT>(0x80070000));
    EXPECT_EQ(driver.Finish(), "");
}
