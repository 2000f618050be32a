#include "datasource/PluginDataSource.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "datasource/MyGuid.h"
#include "datasource/MyModule.h"
#include "datasource/MyPath.h"
#include "framework/Format.h"
#include "framework/Result.h"
#include "services/InfoLog.h"
#include "services/Localize.h"
#include "xml/PluginModule.h"
#include "xml/PluginReader.h"
#include "xml/PluginWriter.h"
#include "xml/PluginXMLAppender.h"

const wchar_t* const kSettingsMutexName = L"ZelScanScan2MeplaMutex";

namespace {

const wchar_t kSettingsFileName[] = L"AppSettings.XML";
const wchar_t kBackupFileName[] = L"~AppSettings.XML";

bool EndsWithBackslash(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\';
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A copy that failed for a name too long for the 260-character buffers.
constexpr HRESULT kPathTooLong = static_cast<HRESULT>(0x80070000UL | ERROR_FILENAME_EXCED_RANGE);

}  // namespace

CPluginDataSource::CPluginDataSource() : m_strFolderName(L"Scan2Mepla") {}

CPluginDataSource::~CPluginDataSource() = default;

HRESULT CPluginDataSource::IsSupoortFileType(const wchar_t* extension, VARIANT_BOOL* supported)
{
    *supported = VARIANT_TRUE;
    return S_OK;
}

HRESULT CPluginDataSource::SettingsSummary(const GUID& id, std::wstring& text)
{
    SettingRecord record(id);
    const HRESULT hr = LoadData(record);
    if (FAILED(hr)) return LogFailure(L"LoadData", hr);
    std::wstring name = record.GetName();
    if (name.empty()) name = LocalizeText("No setting").str();
    const LocalText application = LocalizeText("Application");
    text = fx::Format(L"%s : %s", application.c_str(), name.c_str());
    return S_OK;
}

std::wstring CPluginDataSource::GetAppPath(const SettingRecord* record)
{
    return record ? record->GetPath() : std::wstring();
}

std::wstring CPluginDataSource::GetParameter(const SettingRecord* record)
{
    return record ? record->GetParameter() : std::wstring();
}

HRESULT CPluginDataSource::CheckDirectory(const std::wstring& path)
{
    if (::PathFileExistsW(path.c_str())) return S_OK;
    if (!::CreateDirectoryW(path.c_str(), nullptr))
        return LogFailure(L"CheckDirectory CreateDirectory", fx::HResultFromLastError());
    return S_OK;
}

HRESULT CPluginDataSource::GetSettingsFolder(std::wstring& folder)
{
    wchar_t appData[MAX_PATH] = {};
    const HRESULT shell = ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    if (shell != S_OK) return LogFailure(L"SHGetFolderPath", shell);
    std::wstring base = appData;
    if (!EndsWithBackslash(base)) base += L'\\';

    std::wstring path = fx::Format(L"%sTorvane\\", base.c_str());
    HRESULT hr = CheckDirectory(path);
    if (FAILED(hr)) return LogFailure(L"CheckDirectory 1", hr);

    path += m_strFolderName;
    if (!EndsWithBackslash(path)) path += L'\\';
    hr = CheckDirectory(path);
    if (FAILED(hr)) return LogFailure(L"CheckDirectory 2", hr);

    // Only a folder that was formed and exists is handed out.
    folder = path;
    return S_OK;
}

HRESULT CPluginDataSource::GetSettingsFile(std::wstring& file)
{
    std::wstring folder;
    const HRESULT hr = GetSettingsFolder(folder);
    if (FAILED(hr)) return hr;
    file = folder + kSettingsFileName;
    return S_OK;
}

namespace {

// A DOM failure inside a settings-file cycle (a save the platform refused)
// ends the operation with its code instead of escaping to the caller.
template <typename F>
HRESULT ReturnComErrors(F&& cycle)
{
    try {
        return cycle();
    } catch (const fx::ComError& e) {
        return e.Code();
    }
}

}  // namespace

HRESULT CPluginDataSource::LoadData(SettingRecord& record)
{
    std::wstring file;
    const HRESULT hr = GetSettingsFile(file);
    if (FAILED(hr)) return hr;
    return ReturnComErrors([&] {
        PluginReaderXMLApp reader(MyGuid(record.GetID()), MyFilePath(file), kSettingsMutexName);
        return fx::HResultFromCode(reader.ReadSettings(record));
    });
}

HRESULT CPluginDataSource::SaveData(const SettingRecord& record)
{
    std::wstring file;
    const HRESULT hr = GetSettingsFile(file);
    if (FAILED(hr)) return hr;
    return ReturnComErrors([&] {
        PluginWriterXMLApp writer(MyGuid(record.GetID()), MyFilePath(file), kSettingsMutexName);
        return fx::HResultFromCode(writer.WriteSettings(record));
    });
}

HRESULT CPluginDataSource::CreateID(GUID* id)
{
    HRESULT hr = ::CoCreateGuid(id);
    if (FAILED(hr)) return LogFailure(L"CoCreateGuid", hr);
    SettingRecord record;
    record.SetID(*id);
    hr = SaveData(record);
    if (FAILED(hr)) return LogFailure(L"SaveData", hr);
    return S_OK;
}

HRESULT CPluginDataSource::CopyID(const GUID& source, GUID* id)
{
    SettingRecord loaded(source);
    HRESULT hr = LoadData(loaded);
    if (FAILED(hr)) return LogFailure(L"LoadData", hr);
    hr = ::CoCreateGuid(id);
    if (FAILED(hr)) return LogFailure(L"CoCreateGuid", hr);
    SettingRecord copy;
    copy = loaded;
    copy.SetID(*id);
    hr = SaveData(copy);
    if (FAILED(hr)) return LogFailure(L"SaveData", hr);
    return S_OK;
}

HRESULT CPluginDataSource::DeleteID(const GUID& id)
{
    std::wstring file;
    const HRESULT hr = GetSettingsFile(file);
    if (FAILED(hr)) return hr;
    const HRESULT deleted = ReturnComErrors([&] {
        PluginWriterXMLApp writer(MyGuid(id), MyFilePath(file), kSettingsMutexName);
        return fx::HResultFromCode(writer.DeleteSetting());
    });
    if (deleted != S_OK) return LogFailure(L"writter.DeleteParam()", deleted);
    return S_OK;
}

HRESULT CPluginDataSource::ImportData(const wchar_t* folder)
{
    wchar_t source[MAX_PATH] = {};
    if (!folder || ::wcslen(folder) >= MAX_PATH) return LogFailure(L"CopyFolder", kPathTooLong);
    ::wcscpy_s(source, folder);
    if (!::PathAppendW(source, kSettingsFileName)) return LogFailure(L"CopyFolder", kPathTooLong);

    std::wstring settingsFolder;
    HRESULT hr = GetSettingsFolder(settingsFolder);
    if (FAILED(hr)) return hr;
    const std::wstring target = settingsFolder + kSettingsFileName;
    const std::wstring backup = settingsFolder + kBackupFileName;

    // The backup is put back only when this call made it: an older backup
    // must never replace the file the user has now (or bring one back).
    const bool hadTarget = FileExists(target);
    if (hadTarget) {
        if (!::CopyFileW(target.c_str(), backup.c_str(), FALSE)) {
            hr = LogFailure(L"CopyFolder", fx::HResultFromLastError());
            return LogFailure(L"CopyFolder", hr);
        }
    }

    // A refused save must still put the backup back.
    const HRESULT merged = ReturnComErrors([&] {
        PluginXMLAppenderUtf8 appender;
        return fx::HResultFromCode(appender.Append(target.c_str(), source, L"Setting", L"Objects", L"Objects", L"ID"));
    });
    if (merged != S_OK) {
        if (hadTarget) {
            if (!::CopyFileW(backup.c_str(), target.c_str(), FALSE))
                LogFailure(L"CopyFolder", fx::HResultFromLastError());
        } else {
            ::DeleteFileW(target.c_str());
        }
        return LogFailure(L"CopyFolder", merged);
    }
    return S_OK;
}

HRESULT CPluginDataSource::ExportData(const wchar_t* folder)
{
    std::wstring target = folder ? folder : L"";
    if (!EndsWithBackslash(target)) target += L'\\';
    target += kSettingsFileName;
    if (target.size() >= MAX_PATH) return LogFailure(L"CopyFolder", kPathTooLong);

    std::wstring file;
    const HRESULT hr = GetSettingsFile(file);
    if (FAILED(hr)) return hr;
    if (!::CopyFileW(file.c_str(), target.c_str(), FALSE))
        return LogFailure(L"CopyFolder", fx::HResultFromLastError());
    return S_OK;
}

std::wstring CPluginDataSource::GetModuleVersion()
{
    return MyModule(L"Scan2Mepla.dll").GetVersion();
}

std::wstring CPluginDataSource::GetIconPath()
{
    return PluginModule(L"Scan2Mepla.dll", L"ZelMepla.ico").GetFilePath();
}

HRESULT CPluginDataSource::GetInstanceFlag(const GUID& id, VARIANT_BOOL* flag)
{
    *flag = VARIANT_FALSE;
    return S_OK;
}

HRESULT CPluginDataSource::NotifyInstance(const GUID& id)
{
    return S_OK;
}
