// The send action: target check, save-folder check, the file list, copies
// under free names, the launch and the optional deletion of the scans.
#include "datasource/PluginDataSourceScan2Mepla.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Format.h"
#include "framework/Result.h"
#include "framework/TextFileReader.h"
#include "services/InfoLog.h"
#include "ui/ConfirmDlg.h"
#include "ui/Msg.h"

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002UL);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003UL);
constexpr HRESULT kNameTooLong = static_cast<HRESULT>(0x800700CEUL);  // ERROR_FILENAME_EXCED_RANGE
constexpr long kSaveOwnFolder = 3;

bool Exists(const std::wstring& path) { return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The last component of a path (after the last backslash, slash or colon).
std::wstring FileNameOf(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace

HRESULT CPluginDataSourceScan2Mepla::Execute(const GUID& id, const wchar_t* fileList, VARIANT_BOOL deleteSources,
                                             DWORD ignored)
{
    SettingRecord record(id);
    HRESULT hr = LoadData(record);
    if (FAILED(hr)) return hr;

    bool retry = false;
    while (!Exists(GetAppPath(&record))) {
        hr = ShowComfirmDlg(record, g_Msg.MsgScan2AnyApp::AppMessage(), retry);
        if (FAILED(hr)) return hr;
        if (!retry) return LogFailure(L"App ShowComfirmDlg", kNotFound);
    }

    // Asked again after every retry, as long as the user's own folder is
    // chosen and missing; a switch to another location in "&Setting..." ends it.
    while (record.GetSaveID() == kSaveOwnFolder && !Exists(record.GetSaveFoloder())) {
        hr = ShowComfirmDlg(record, g_Msg.SaveLocationMessage(), retry);
        if (FAILED(hr)) return hr;
        if (!retry) return LogFailure(L"GetSavePathID ShowComfirmDlg", kNotFound);
    }

    std::vector<std::wstring> sources;
    hr = SetFileList(fileList, sources);
    if (FAILED(hr)) return LogFailure(L"SetFileList", hr);

    // Every attempt starts afresh, so the application never gets a file twice
    // nor a copy of a failed attempt (those copies stay on disk).
    std::vector<std::wstring> copies;
    for (;;) {
        copies.clear();
        if (SUCCEEDED(CopyFiles(sources, record, copies))) break;
        hr = ShowComfirmDlg(record, g_Msg.CopyFailedMessage(), retry);
        if (FAILED(hr)) return hr;
        if (!retry) return LogFailure(L"CopyFiles ShowComfirmDlg", kNotFound);
    }

    hr = RunApp(record, copies);
    if (FAILED(hr)) return LogFailure(L"RunApp", hr);

    if (deleteSources == VARIANT_TRUE) {
        for (const std::wstring& source : sources) ::DeleteFileW(source.c_str());
    }
    return S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::ShowComfirmDlg(SettingRecord& record, const std::wstring& message, bool& retry)
{
    retry = false;
    CConfirmDlg dialog(nullptr);
    dialog.SetMessage(message);
    dialog.SetSetting(&record);
    // "&Finish", Escape and a dialog that cannot be shown all finish.
    if (dialog.DoModal() != IDOK) return S_OK;
    const HRESULT hr = SaveData(record);
    if (FAILED(hr)) return LogFailure(L"SaveData", hr);
    retry = true;
    return S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::SetFileList(const wchar_t* fileList, std::vector<std::wstring>& sources)
{
    sources.clear();
    fx::TextFileReader reader;
    HRESULT hr = reader.Open(fileList ? fileList : L"");
    if (FAILED(hr)) return hr;
    std::wstring line;
    bool first = true;
    while ((hr = reader.ReadLine(line)) == S_OK) {
        if (first && !line.empty() && line.front() == 0xFEFF) line.erase(0, 1);
        first = false;
        if (!line.empty() && line.back() == L'\n') line.pop_back();
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) sources.push_back(line);
    }
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::ResolveSavePath(const SettingRecord& record, std::wstring& folder)
{
    folder.clear();
    std::wstring path;
    if (record.GetSaveID() == kSaveOwnFolder) {
        path = record.GetSaveFoloder();
        if (path.size() >= MAX_PATH) return kNameTooLong;
        // Never the process's current folder or a folder relative to it.
        if (path.empty() || ::PathIsRelativeW(path.c_str())) return kPathNotFound;
    } else {
        int csidl = CSIDL_MYPICTURES;
        const wchar_t* label = L"SHGetFolderPath CSIDL_MYPICTURES";
        if (record.GetSaveID() == 1) {
            csidl = CSIDL_PERSONAL;
            label = L"SHGetFolderPath CSIDL_PERSONAL";
        } else if (record.GetSaveID() == 2) {
            csidl = CSIDL_DESKTOP;
            label = L"SHGetFolderPath CSIDL_DESKTOP";
        }
        wchar_t buffer[MAX_PATH] = {};
        const HRESULT hr = ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer);
        if (hr != S_OK) {
            LogFailure(label, hr);
            return FAILED(hr) ? hr : E_FAIL;
        }
        path = buffer;
        if (path.empty()) return kPathNotFound;
    }
    if (path.back() != L'\\') path += L'\\';
    folder = path;
    return S_OK;
}

std::wstring CPluginDataSourceScan2Mepla::GetSavePath(const SettingRecord& record)
{
    std::wstring folder;
    ResolveSavePath(record, folder);
    return folder;
}

HRESULT CPluginDataSourceScan2Mepla::CopyFiles(const std::vector<std::wstring>& sources, const SettingRecord& record,
                                               std::vector<std::wstring>& copies)
{
    std::wstring folder;
    HRESULT hr = ResolveSavePath(record, folder);
    if (FAILED(hr)) return LogFailure(L"GetSavePath", hr);

    for (const std::wstring& source : sources) {
        const std::wstring name = FileNameOf(source);
        const size_t dot = name.rfind(L'.');
        const std::wstring stem = dot == std::wstring::npos ? name : name.substr(0, dot);
        const std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);

        std::wstring candidate = fx::Format(L"%s%s", folder.c_str(), name.c_str());
        for (int n = 1; Exists(candidate); ++n)
            candidate = fx::Format(L"%s%s_%03d%s", folder.c_str(), stem.c_str(), n, extension.c_str());

        if (!::CopyFileW(source.c_str(), candidate.c_str(), TRUE)) {
            hr = fx::HResultFromLastError();
            return LogFailure(L"CopyFile", FAILED(hr) ? hr : E_FAIL);
        }
        copies.push_back(candidate);
    }
    return S_OK;
}
