// The host's "edit this instance": load, show "Detail Settings", save on OK.
#include "datasource/PluginDataSource.h"

#include "services/InfoLog.h"
#include "ui/AppSettingDlg.h"

HRESULT CPluginDataSource::ShowSettingDlg(const GUID& id, DWORD ignored)
{
    SettingRecord record(id);
    HRESULT hr = LoadData(record);
    if (FAILED(hr)) return LogFailure(L"LoadData", hr);

    CAppSettingDlg dialog(nullptr);
    dialog.m_strPath = record.GetPath();
    dialog.m_strParameter = record.GetParameter();
    dialog.m_strName = record.GetName();
    dialog.m_nSaveID = record.GetSaveID();
    dialog.m_strSaveFolder = record.GetSaveFoloder();
    if (dialog.DoModal() != IDOK) return S_OK;  // cancelled or not shown: nothing is written

    record.SetPath(dialog.m_strPath);
    record.SetParameter(dialog.m_strParameter);
    record.SetName(dialog.m_strName);
    record.SetSaveID(dialog.m_nSaveID);
    record.SetSaveFoloder(dialog.m_strSaveFolder);
    hr = SaveData(record);
    if (FAILED(hr)) return LogFailure(L"SaveData", hr);
    return S_OK;
}
