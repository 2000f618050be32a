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
