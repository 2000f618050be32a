#include "datasource/MyPath.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

namespace {

bool PathExists(const std::wstring& path)
{
    return ::PathFileExistsW(path.c_str()) != FALSE;
}

}  // namespace

bool MyFilePath::Exists() const
{
    return PathExists(m_strPath);
}

std::wstring MyFilePath::GetFolder() const
{
    std::vector<wchar_t> buffer(m_strPath.begin(), m_strPath.end());
    buffer.push_back(L'\0');
    if (!::PathRemoveFileSpecW(buffer.data())) return std::wstring();
    return std::wstring(buffer.data());
}

bool MyFolderPath::Exists() const
{
    return PathExists(m_strPath);
}

std::wstring MyFolderPath::Append(const std::wstring& name) const
{
    if (m_strPath.size() >= MAX_PATH) return m_strPath;
    wchar_t buffer[MAX_PATH + 1] = {};
    m_strPath.copy(buffer, m_strPath.size());
    if (!::PathAppendW(buffer, name.c_str())) return m_strPath;
    return std::wstring(buffer);
}

long MyFolderPath::CreateTree() const
{
    const wchar_t* const whole = m_strPath.c_str();
    const wchar_t* rest = ::PathFindNextComponentW(whole);
    while (rest) {
        // The prefix is the stored path cut just before `rest`; the last one,
        // when `rest` stands on the terminator, is the whole path.
        const std::wstring prefix(whole, static_cast<size_t>(rest - whole));
        if (!prefix.empty() && !PathExists(prefix)) {
            if (!::CreateDirectoryW(prefix.c_str(), nullptr)) return static_cast<long>(::GetLastError());
        }
        rest = ::PathFindNextComponentW(rest);
    }
    return 0;
}
