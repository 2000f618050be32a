// The data source behind the host interface: setting instances in the
// settings file, import and export, and the host's small questions.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "datasource/SettingRecord.h"

// Name of the mutex that serialises every reader and writer of the settings file.
extern const wchar_t* const kSettingsMutexName;

class CPluginDataSource {
public:
    CPluginDataSource();
    virtual ~CPluginDataSource();

    virtual HRESULT IsSupoortFileType(const wchar_t* extension, VARIANT_BOOL* supported);
    virtual HRESULT SettingsSummary(const GUID& id, std::wstring& text);
    // The application to start; "" when no record is given.
    virtual std::wstring GetAppPath(const SettingRecord* record);
    // The command-line template; "" when no record is given.
    virtual std::wstring GetParameter(const SettingRecord* record);

    HRESULT CreateID(GUID* id);
    HRESULT CopyID(const GUID& source, GUID* id);
    HRESULT DeleteID(const GUID& id);
    // Fills the record whose ID is set from the settings file.
    HRESULT LoadData(SettingRecord& record);
    // Writes the record under its ID.
    HRESULT SaveData(const SettingRecord& record);
    // Shows the "Detail Settings" dialog for the instance; saves on OK.
    HRESULT ShowSettingDlg(const GUID& id, DWORD ignored);
    HRESULT ImportData(const wchar_t* folder);
    HRESULT ExportData(const wchar_t* folder);

    std::wstring GetModuleVersion();
    std::wstring GetIconPath();
    HRESULT GetInstanceFlag(const GUID& id, VARIANT_BOOL* flag);
    HRESULT NotifyInstance(const GUID& id);

    // The settings folder, ending with a backslash; both levels created.
    HRESULT GetSettingsFolder(std::wstring& folder);
    HRESULT CheckDirectory(const std::wstring& path);
    // Settings folder + "AppSettings.XML".
    HRESULT GetSettingsFile(std::wstring& file);

protected:
    std::wstring m_strFolderName;
};
