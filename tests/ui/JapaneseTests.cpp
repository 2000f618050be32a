// Both dialogs with the maker's localisation library and the Japanese
// translation file: every text is the translation and its glyphs exist in the
// dialog's font.
#include <windows.h>

#include <gtest/gtest.h>

#include "services/Localize.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiDriver.h"
#include "ui/AppSettingDlg.h"
#include "ui/ConfirmDlg.h"
#include "ui/Msg.h"
#include "ui/resource.h"

using uitest::Driver;

namespace {

class Japanese : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Loaded from the shipped folder: the library is found beside itself.
        HMODULE library = ::LoadLibraryW(s2mtest::DistPath(L"kdxloc.dll").c_str());
        ASSERT_NE(library, nullptr);
        ASSERT_EQ(LoadLocalizeLibrary(library), 1);
        LocSetLocale(0x0411);
        LocAddFileW(s2mtest::DistPath(L"Scan2Mepla.loc").c_str());
    }
};

// Characters of `text` that the window's font has no glyph for.
std::wstring MissingGlyphs(HWND window, const std::wstring& text)
{
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size() + 1);
    ::GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    std::wstring missing;
    for (size_t i = 0; i < text.size(); ++i)
        if (glyphs[i] == 0xFFFF && text[i] != L'\n') missing += text[i];
    return missing;
}

std::wstring FontFace(HWND window)
{
    LOGFONTW lf = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf.lfFaceName;
}

// Checks a text and that it renders in the dialog's font.
void Expect(Driver& d, HWND dialog, const std::wstring& shown, const std::wstring& expected, const char* what)
{
    d.Check(shown == expected, std::string(what) + ": " + fx::ToUtf8(shown));
    std::wstring missing = MissingGlyphs(dialog, shown);
    d.Check(missing.empty(), std::string(what) + ": no glyph for " + fx::ToUtf8(missing));
}

}  // namespace

TEST_F(Japanese, FontRuleTakesTheTranslations)
{
    std::wstring face;
    WORD size = 0;
    CTVO_BaseDialog::ChooseDialogFont(face, size);
    EXPECT_EQ(size, 9);
    // "Meiryo UI" is served by the test prefix, so the preferred face is kept.
    EXPECT_STREQ(CTVO_BaseDialog::ChooseDialogFace(), "Segoe UI");
    EXPECT_EQ(face, L"Meiryo UI");
}

TEST_F(Japanese, ConfirmDialog)
{
    CConfirmDlg dialog;
    dialog.SetMessage(g_Msg.AppMessage());
    std::string failure;
    INT_PTR result = uitest::RunDialog(dialog, [](Driver& d) {
        HWND w = d.WaitForWindow(L"確認");
        d.Check(FontFace(w) == L"Meiryo UI", "font " + fx::ToUtf8(FontFace(w)));
        Expect(d, w, Driver::Text(w), L"確認", "title");
        Expect(d, w, Driver::ItemText(w, IDOK), L"再試行(&R)", "retry");
        Expect(d, w, Driver::ItemText(w, IDC_BTN_SETTING), L"設定(&S)...", "setting");
        Expect(d, w, Driver::ItemText(w, IDCANCEL), L"終了(&F)", "finish");
        Expect(d, w, Driver::ItemText(w, IDC_STATIC_MESSAGE),
               L"このプラグインを使用するには、アプリケーション「メプラ」をインストールする必要があります。", "message");
        d.Click(w, IDCANCEL);
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(Japanese, SettingsDialog)
{
    CAppSettingDlg dialog;
    dialog.m_nSaveID = 3;
    dialog.m_strSaveFolder = L"C:\\スキャン";
    std::string failure;
    const std::wstring pictures = dialog.GetMyPicturesName(nullptr);
    const std::wstring documents = CAppSettingDlg::GetMyDocumentsName();
    const std::wstring desktop = CAppSettingDlg::GetDesktopName();
    INT_PTR result = uitest::RunDialog(dialog, [&](Driver& d) {
        HWND w = d.WaitForWindow(L"詳細設定");
        Expect(d, w, Driver::Text(w), L"詳細設定", "title");
        Expect(d, w, Driver::ItemText(w, IDC_STATIC_SAVELOCATION), L"スキャンした画像の保存先(&S) :", "label");
        Expect(d, w, Driver::ItemText(w, IDOK), L"OK", "ok");
        Expect(d, w, Driver::ItemText(w, IDCANCEL), L"キャンセル", "cancel");
        std::vector<std::wstring> entries = Driver::ComboEntries(w, IDC_CBO_SAVELOCATION);
        d.Check(entries.size() == 5, "five entries");
        Expect(d, w, entries[0], pictures + L"に保存", "pictures");
        Expect(d, w, entries[1], documents + L"に保存", "documents");
        Expect(d, w, entries[2], desktop + L"に保存", "desktop");
        Expect(d, w, entries[3], L"C:\\スキャン", "own folder");
        Expect(d, w, entries[4], L"参照...", "browse");
        d.Check(Driver::ComboSelection(w, IDC_CBO_SAVELOCATION) == 3, "selection");
        d.Click(w, IDOK);
    }, failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_nSaveID, 3);
}

TEST_F(Japanese, ProblemTexts)
{
    EXPECT_EQ(g_Msg.SaveLocationMessage(), L"保存先を確認できません。\n保存先を選択してください。");
    EXPECT_EQ(g_Msg.CopyFailedMessage(), L"指定されたフォルダーにファイルをコピーできませんでした。\n保存先を選択してください。");
}
