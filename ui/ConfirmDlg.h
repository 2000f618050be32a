// "Confirm": retry, change the settings first, or finish.
#pragma once

#include <windows.h>

#include <string>

#include "datasource/SettingRecord.h"
#include "ui/BaseDialog.h"

class CConfirmDlg : public CTVO_BaseDialog {
public:
    explicit CConfirmDlg(HWND pParent = nullptr);

    void SetMessage(const std::wstring& text) { m_strMessage = text; }
    // The record that "&Setting..." edits in memory; not owned.
    void SetSetting(SettingRecord* record) { m_pSetting = record; }

    std::wstring m_strMessage;
    SettingRecord* m_pSetting;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fx::DataExchange& dx) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

    void OnSetting();
};
