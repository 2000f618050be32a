// The data source of this plug-in: PNG only, no summary, the target
// application found in the registry, and the send action.
#pragma once

#include <string>
#include <vector>

#include "datasource/PluginDataSource.h"

class CPluginDataSourceScan2Mepla : public CPluginDataSource {
public:
    HRESULT IsSupoortFileType(const wchar_t* extension, VARIANT_BOOL* supported) override;
    HRESULT SettingsSummary(const GUID& id, std::wstring& text) override;
    // Full path of the launcher of the first installed version, or "".
    std::wstring GetAppPath(const SettingRecord* record) override;

    // 0 and the launcher's path when `version` is installed with it, else 0x80070002.
    HRESULT FindInstallPath(const wchar_t* version, const wchar_t* launcher, std::wstring& path);

    // The send action for the instance with the host's file list.
    HRESULT Execute(const GUID& id, const wchar_t* fileList, VARIANT_BOOL deleteSources, DWORD ignored);
    // Shows "Confirm" with `message`; `retry` is true when the user chose
    // "&Retry", after which the record (maybe changed) has been saved.
    HRESULT ShowComfirmDlg(SettingRecord& record, const std::wstring& message, bool& retry);
    // The paths of the host's UTF-16 file list, one a line; empty lines skipped.
    HRESULT SetFileList(const wchar_t* fileList, std::vector<std::wstring>& sources);
    // The save folder ending with a backslash, or "" when it cannot be resolved.
    std::wstring GetSavePath(const SettingRecord& record);
    // Like GetSavePath, with the reason when the folder cannot be resolved.
    HRESULT ResolveSavePath(const SettingRecord& record, std::wstring& folder);
    // Copies every source into the save folder under a free name, appending
    // each copy to `copies`; stops at the first copy that fails.
    HRESULT CopyFiles(const std::vector<std::wstring>& sources, const SettingRecord& record,
                      std::vector<std::wstring>& copies);

    // Splits a command-line template into "%file" and literal tokens.
    HRESULT AnalyzeParam(const std::wstring& parameter, std::vector<std::wstring>& tokens);
    // Starts the launcher with the template filled in with the copies.
    HRESULT RunApp(const SettingRecord& record, const std::vector<std::wstring>& copies);
    // The command line RunApp starts (for RunApp and its tests).
    HRESULT BuildCommandLine(const SettingRecord& record, const std::vector<std::wstring>& copies,
                             std::vector<wchar_t>& commandLine);
};

// The display name of the target application (not localized).
extern const wchar_t* const kTargetDisplayName;
