#include "ui/ConfirmDlg.h"

#include "services/Localize.h"
#include "ui/AppSettingDlg.h"
#include "ui/resource.h"

CConfirmDlg::CConfirmDlg(HWND pParent) : CTVO_BaseDialog(IDD_CONFIRM_DIALOG, pParent), m_pSetting(nullptr) {}

void CConfirmDlg::DoDataExchange(fx::DataExchange& dx)
{
    fx::DDX_Text(dx, IDC_STATIC_MESSAGE, m_strMessage);
}

BOOL CConfirmDlg::OnInitDialog()
{
    CTVO_BaseDialog::OnInitDialog();
    HWND window = GetSafeHwnd();
    ::SetWindowTextW(window, LocalizeText("Confirmation"));
    ::SetDlgItemTextW(window, IDC_BTN_SETTING, LocalizeText("&Setting..."));
    ::SetDlgItemTextW(window, IDOK, LocalizeText("&Retry"));
    ::SetDlgItemTextW(window, IDCANCEL, LocalizeText("&Finish"));
    return TRUE;
}

bool CConfirmDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_BTN_SETTING && code == BN_CLICKED) {
        OnSetting();
        return true;
    }
    return false;
}

void CConfirmDlg::OnSetting()
{
    if (!m_pSetting) return;
    CAppSettingDlg dialog(nullptr);
    dialog.m_strPath = m_pSetting->GetPath();
    dialog.m_strParameter = m_pSetting->GetParameter();
    dialog.m_strName = m_pSetting->GetName();
    dialog.m_nSaveID = m_pSetting->GetSaveID();
    dialog.m_strSaveFolder = m_pSetting->GetSaveFoloder();
    if (dialog.DoModal() != IDOK) return;
    m_pSetting->SetPath(dialog.m_strPath);
    m_pSetting->SetParameter(dialog.m_strParameter);
    m_pSetting->SetName(dialog.m_strName);
    m_pSetting->SetSaveFoloder(dialog.m_strSaveFolder);
    m_pSetting->SetSaveID(dialog.m_nSaveID);
}
