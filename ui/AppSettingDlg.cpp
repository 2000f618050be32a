#include "ui/AppSettingDlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/Localize.h"
#include "ui/BrowseForFolder.h"
#include "ui/TextFormat.h"
#include "ui/resource.h"

namespace {

// An item list from the shell, freed with the shell's allocator.
class ShellItemList {
public:
    ShellItemList() = default;
    ~ShellItemList()
    {
        if (!m_item) return;
        fx::ComPtr<IMalloc> malloc;
        if (SUCCEEDED(::SHGetMalloc(malloc.put()))) malloc->Free(m_item);
    }
    ShellItemList(const ShellItemList&) = delete;
    ShellItemList& operator=(const ShellItemList&) = delete;
    LPITEMIDLIST* put() { return &m_item; }
    LPITEMIDLIST get() const { return m_item; }

private:
    LPITEMIDLIST m_item = nullptr;
};

// The display name of a standard folder, or `fallback` when the shell gives none.
bool DisplayNameOf(HWND owner, int csidl, std::wstring& name)
{
    ShellItemList item;
    if (FAILED(::SHGetSpecialFolderLocation(owner, csidl, item.put())) || !item.get()) return false;
    SHFILEINFOW info = {};
    if (::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item.get()), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME))
        name = info.szDisplayName;
    return true;
}

}  // namespace

CAppSettingDlg::CAppSettingDlg(HWND pParent) : CTVO_BaseDialog(IDD_APPSETTING_DIALOG, pParent), m_nSaveID(0) {}

void CAppSettingDlg::DoDataExchange(fx::DataExchange& dx)
{
    fx::DDX_Control(dx, IDC_CBO_SAVELOCATION, m_cboSaveLocation);
}

std::wstring CAppSettingDlg::GetMyPicturesName(HWND owner)
{
    {
        ShellItemList item;
        if (SUCCEEDED(::SHGetFolderLocation(owner, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, 0, item.put())) &&
            item.get()) {
            SHFILEINFOW info = {};
            if (::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item.get()), 0, &info, sizeof info,
                                 SHGFI_PIDL | SHGFI_DISPLAYNAME))
                return info.szDisplayName;
            return L"My Pictures";
        }
    }
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(owner, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        SUCCEEDED(::SHGetFolderPathW(owner, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return ::PathFindFileNameW(path);
    return L"My Pictures";
}

std::wstring CAppSettingDlg::GetMyDocumentsName()
{
    std::wstring name = L"My Document";
    std::wstring shown;
    if (DisplayNameOf(nullptr, CSIDL_PERSONAL, shown) && !shown.empty()) name = shown;
    return name;
}

std::wstring CAppSettingDlg::GetDesktopName()
{
    std::wstring name = L"Desktop";
    std::wstring shown;
    if (DisplayNameOf(nullptr, CSIDL_DESKTOP, shown) && !shown.empty()) name = shown;
    return name;
}

BOOL CAppSettingDlg::OnInitDialog()
{
    CTVO_BaseDialog::OnInitDialog();
    HWND window = GetSafeHwnd();

    ::SetWindowTextW(window, LocalizeText("Detail Settings"));
    ::SetDlgItemTextW(window, IDC_STATIC_SAVELOCATION,
                      fx::Format(L"%s :", LocalizeText("Location to &save the scanned image").c_str()).c_str());
    ::SetDlgItemTextW(window, IDOK, LocalizeText("OK"));
    ::SetDlgItemTextW(window, IDCANCEL, LocalizeText("Cancel"));

    const std::wstring standard[] = {GetMyPicturesName(window), GetMyDocumentsName(), GetDesktopName()};
    long data = kSaveMyPictures;
    for (const std::wstring& folder : standard) {
        LocalText format = LocalizeText("Save in %s");
        int index = m_cboSaveLocation.AddString(FormatWithText(format.c_str(), folder.c_str()).c_str());
        m_cboSaveLocation.SetItemData(index, data++);
    }
    int own = m_cboSaveLocation.AddString(m_strSaveFolder.c_str());
    m_cboSaveLocation.SetItemData(own, kSaveOwnFolder);
    int browse = m_cboSaveLocation.AddString(LocalizeText("Browse..."));
    m_cboSaveLocation.SetItemData(browse, kSaveBrowse);

    m_cboSaveLocation.SetCurSel(0);
    for (int i = 0, n = m_cboSaveLocation.GetCount(); i < n; ++i) {
        if (m_cboSaveLocation.GetItemData(i) == m_nSaveID) {
            m_cboSaveLocation.SetCurSel(i);
            break;
        }
    }
    return TRUE;
}

bool CAppSettingDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_CBO_SAVELOCATION && code == CBN_SELCHANGE) {
        OnSelChangeSaveLocation();
        return true;
    }
    return false;
}

void CAppSettingDlg::OnSelChangeSaveLocation()
{
    int index = m_cboSaveLocation.GetCurSel();
    if (index == CB_ERR) return;
    LRESULT data = m_cboSaveLocation.GetItemData(index);
    if (data == CB_ERR) return;

    if (data == kSaveBrowse || (data == kSaveOwnFolder && m_strSaveFolder.empty())) {
        std::wstring folder = m_strSaveFolder;
        if (BrowseSaveFolder(folder) == 1 && !folder.empty()) {
            // The own-folder entry is always the one replaced.
            int target = data == kSaveBrowse ? index - 1 : index;
            m_cboSaveLocation.DeleteString(target);
            int inserted = m_cboSaveLocation.InsertString(target, folder.c_str());
            m_cboSaveLocation.SetItemData(inserted, kSaveOwnFolder);
            m_cboSaveLocation.SetCurSel(inserted);
            m_nSaveID = kSaveOwnFolder;
            m_strSaveFolder = folder;
        } else {
            m_cboSaveLocation.SetCurSel(0);
            m_nSaveID = kSaveMyPictures;
        }
        return;
    }
    m_nSaveID = static_cast<long>(data);
}

int CAppSettingDlg::BrowseSaveFolder(std::wstring& path)
{
    std::wstring current = path;
    for (;;) {
        CBrowseForFolder chooser(GetSafeHwnd(), nullptr, current.c_str());
        if (!chooser.DoBrowse()) return 2;
        current = chooser.GetChosenPath();
        if (current.size() < MAX_PATH) {
            path = current;
            return 1;
        }
        ::MessageBoxW(GetSafeHwnd(), LocalizeText("The specified path is invalid or too long. Select the path again."),
                      LocalizeText("Error"), MB_ICONEXCLAMATION | MB_OK);
    }
}
