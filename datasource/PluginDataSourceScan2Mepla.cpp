#include "datasource/PluginDataSourceScan2Mepla.h"

#include <shlwapi.h>

#include "framework/Format.h"
#include "framework/Result.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"

const wchar_t* const kTargetDisplayName = L"メプラ";

HRESULT CPluginDataSourceScan2Mepla::IsSupoortFileType(const wchar_t* extension, VARIANT_BOOL* supported)
{
    const bool png = extension && ::CompareStringOrdinal(extension, -1, L"png", -1, TRUE) == CSTR_EQUAL;
    *supported = png ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::SettingsSummary(const GUID& id, std::wstring& text)
{
    text.clear();
    return S_OK;
}

std::wstring CPluginDataSourceScan2Mepla::GetAppPath(const SettingRecord* record)
{
    static const wchar_t* const versions[] = {L"12.0LE", L"14.0", L"13.0", L"12.0"};
    std::wstring path;
    for (const wchar_t* version : versions) {
        if (SUCCEEDED(FindInstallPath(version, L"Qstart12.exe", path))) return path;
    }
    return std::wstring();
}

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070002UL);
constexpr DWORD kInstPathChars = 1024;

// "InstPath" as a string bounded by 1024 characters, whatever the stored
// data: a missing terminator or data of odd length is cut, not read past.
bool ReadInstPath(HKEY key, std::wstring& folder)
{
    wchar_t buffer[kInstPathChars + 1] = {};
    DWORD type = 0;
    DWORD bytes = kInstPathChars * sizeof(wchar_t);
    if (::RegQueryValueExW(key, L"InstPath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    const size_t chars = bytes / sizeof(wchar_t);
    buffer[chars < kInstPathChars ? chars : kInstPathChars] = L'\0';
    folder.assign(buffer, ::wcsnlen(buffer, kInstPathChars));
    return !folder.empty();
}

}  // namespace

HRESULT CPluginDataSourceScan2Mepla::FindInstallPath(const wchar_t* version, const wchar_t* launcher, std::wstring& path)
{
    fx::UniqueRegKey key;
    const std::wstring first = fx::Format(L"SOFTWARE\\Halden\\e.Pallo\\%s", version);
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, first.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        const std::wstring second = fx::Format(L"SOFTWARE\\Wow6432Node\\Halden\\e.Pallo\\%s", version);
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, second.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return LogFailure(L"RegOpenKeyEx", kNotFound);
    }
    std::wstring folder;
    if (!ReadInstPath(key.get(), folder)) return LogFailure(L"RegQueryValueEx", kNotFound);
    key.reset();
    if (folder.back() != L'\\') folder += L'\\';
    const std::wstring candidate = fx::Format(L"%s%s", folder.c_str(), launcher);
    if (!::PathFileExistsW(candidate.c_str())) return LogFailure(L"PathFileExists", kNotFound);
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"Get_Mepla_Installpath = %s", candidate.c_str());
    path = candidate;
    return S_OK;
}

namespace {

const wchar_t kKeyword[] = L"%file";
constexpr size_t kKeywordLength = 5;
constexpr size_t kPieceChars = 264;
constexpr size_t kLiteralReserve = 260;
constexpr size_t kMaxCommandLength = 32000;
constexpr HRESULT kNoMemory = static_cast<HRESULT>(0x80070008UL);
constexpr HRESULT kBadFunction = static_cast<HRESULT>(0x80070001UL);

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && ::iswspace(text[begin])) ++begin;
    while (end > begin && ::iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Appends within the buffer's capacity; false (buffer unchanged) when the
// piece does not fit.
bool AppendBounded(std::vector<wchar_t>& buffer, size_t& used, const wchar_t* piece)
{
    const size_t length = ::wcslen(piece);
    if (used + length + 1 > buffer.size()) return false;
    ::wmemcpy(buffer.data() + used, piece, length);
    used += length;
    buffer[used] = L'\0';
    return true;
}

}  // namespace

HRESULT CPluginDataSourceScan2Mepla::AnalyzeParam(const std::wstring& parameter, std::vector<std::wstring>& tokens)
{
    tokens.clear();
    if (parameter.empty()) {
        tokens.emplace_back(kKeyword);
        return S_OK;
    }
    size_t pos = parameter.find(L'%');
    if (pos == std::wstring::npos) {
        tokens.push_back(parameter);
        return S_OK;
    }
    size_t start = 0;
    while (pos != std::wstring::npos) {
        if (parameter.compare(pos, kKeywordLength, kKeyword) == 0) {
            if (pos > 0) {
                const std::wstring piece = Trim(parameter.substr(start, pos - start));
                if (!piece.empty()) tokens.push_back(piece);
                if (piece != kKeyword) tokens.emplace_back(kKeyword);
            } else {
                tokens.emplace_back(kKeyword);
            }
            start = pos + kKeywordLength;
            pos = parameter.find(L'%', start + 1);
        } else {
            pos = parameter.find(L'%', pos + 1);
        }
        if (pos == std::wstring::npos) {
            if (start < parameter.size()) tokens.push_back(Trim(parameter.substr(start)));
            break;
        }
    }
    return S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::BuildCommandLine(const SettingRecord& record,
                                                      const std::vector<std::wstring>& copies,
                                                      std::vector<wchar_t>& commandLine)
{
    std::vector<std::wstring> tokens;
    HRESULT hr = AnalyzeParam(GetParameter(&record), tokens);
    if (FAILED(hr)) return LogFailure(L"AnalyzeParam", hr);

    size_t fileTokens = 0;
    bool literal = false;
    for (const std::wstring& token : tokens) {
        if (token == kKeyword)
            ++fileTokens;
        else
            literal = true;
    }
    try {
        commandLine.assign((copies.size() * fileTokens + 1) * kPieceChars + (literal ? kLiteralReserve : 0), L'\0');
    } catch (...) {
        return LogFailure(L"CommandBuff = new", kNoMemory);
    }

    const std::wstring launcher = GetAppPath(&record);
    if (!fx::FormatInto(commandLine.data(), commandLine.size(), L"\"%s\"", launcher.c_str()))
        return LogFailure(L"_stprintf_s", kBadFunction);
    size_t used = ::wcslen(commandLine.data());
    size_t len = used;

    wchar_t piece[kPieceChars];
    for (const std::wstring& token : tokens) {
        if (token == kKeyword) {
            for (const std::wstring& copy : copies) {
                if (!fx::FormatInto(piece, kPieceChars, L" \"%s\"", copy.c_str()))
                    return LogFailure(L"_stprintf_s", kBadFunction);
                len += ::wcslen(piece);
                if (len > kMaxCommandLength) {
                    WriteInfoLog(g_ZelInfoLog, LOG_ERROR, L"RunApp nBuffLength > 32000");
                    break;
                }
                if (!AppendBounded(commandLine, used, piece)) return LogFailure(L"_tcscat_s", kBadFunction);
            }
        } else {
            len += token.size();
            if (len > kMaxCommandLength) {
                WriteInfoLog(g_ZelInfoLog, LOG_ERROR, L"RunApp nBuffLength > 32000 2");
                break;
            }
            if (!fx::FormatInto(piece, kPieceChars, L" %s", token.c_str()))
                return LogFailure(L"command copy false 2", kBadFunction);
            if (!AppendBounded(commandLine, used, piece)) return LogFailure(L"command add false 2", kBadFunction);
        }
    }
    return S_OK;
}

HRESULT CPluginDataSourceScan2Mepla::RunApp(const SettingRecord& record, const std::vector<std::wstring>& copies)
{
    std::vector<wchar_t> commandLine;
    const HRESULT hr = BuildCommandLine(record, copies, commandLine);
    if (FAILED(hr)) return hr;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return LogFailure(L"CreateProcess", fx::HResultFromLastError());
    // The application runs on its own; it is not waited for.
    fx::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return S_OK;
}
