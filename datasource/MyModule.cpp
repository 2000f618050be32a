#include "datasource/MyModule.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "framework/Format.h"

std::wstring MyModule::GetFileName() const
{
    HMODULE module = ::GetModuleHandleW(m_strFileName.c_str());
    if (!module) return std::wstring();
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(module, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, n);
}

std::wstring MyModule::GetVersion() const
{
    const std::wstring file = GetFileName();
    if (file.empty()) return std::wstring();

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return std::wstring();
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return std::wstring();

    struct LangCodePage { WORD language; WORD codePage; };
    LangCodePage* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
        || !translation || length < sizeof(LangCodePage))
        return std::wstring();

    const std::wstring query = fx::Format(L"\\StringFileInfo\\%04x%04x\\FileVersion",
                                          translation->language, translation->codePage);
    wchar_t* value = nullptr;
    if (!::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return std::wstring();

    std::wstring version(value);
    std::replace(version.begin(), version.end(), L',', L'.');
    return version;
}
