// Reading the log that our "zelinfolog.dll" writes, for tests that check the
// plug-in's log lines.  A line in the file reads
//   "2024-05-31 14:03:07.215 pid=1234 tid=5678 ERROR SaveData: error = 80004005"
// and LogLine::text is exactly what the plug-in passed to WriteInfoLog.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include "framework/Format.h"
#include "services/InfoLog.h"
#include "tests/support/TestSupport.h"

namespace s2mtest {

// "%LOCALAPPDATA%\Torvane\Logs\<thread name>.log", as the library forms it.
inline std::wstring LogPath(const std::wstring& threadName)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
    std::wstring base = buffer;
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    return base + L"\\Torvane\\Logs\\" + threadName + L".log";
}

// The plug-in names itself "S2Mepla_PLUGIN" to the library.
inline std::wstring PluginLogPath() { return LogPath(L"S2Mepla_PLUGIN"); }

inline void ClearLog(const std::wstring& path) { ::DeleteFileW(path.c_str()); }
inline void ClearPluginLog() { ClearLog(PluginLogPath()); }

inline std::wstring ReadLog(const std::wstring& path) { return ReadFileWide(path); }
inline std::wstring ReadPluginLog() { return ReadLog(PluginLogPath()); }

struct LogLine {
    std::wstring stamp;  // local time, "YYYY-MM-DD hh:mm:ss.mmm"
    DWORD pid = 0;
    DWORD tid = 0;
    std::wstring level;  // "INFO", "ERROR" or the number
    std::wstring text;   // what the plug-in wrote
};

// The lines of a log file; a line that does not have the library's form is
// returned whole as its text.
inline std::vector<LogLine> ParseLog(const std::wstring& content)
{
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find(L"\r\n", start);
        if (end == std::wstring::npos) end = content.size();
        const std::wstring raw = content.substr(start, end - start);
        start = end + 2;
        // stamp (23 characters), "pid=N", "tid=N", level word, text; one
        // space between each.
        LogLine line;
        line.text = raw;
        const size_t p1 = raw.find(L' ', 24), p2 = p1 == std::wstring::npos ? p1 : raw.find(L' ', p1 + 1),
                     p3 = p2 == std::wstring::npos ? p2 : raw.find(L' ', p2 + 1);
        if (raw.size() > 24 && raw[23] == L' ' && p3 != std::wstring::npos && raw.compare(24, 4, L"pid=") == 0 &&
            raw.compare(p1 + 1, 4, L"tid=") == 0) {
            line.stamp = raw.substr(0, 23);
            line.pid = static_cast<DWORD>(std::wcstoul(raw.c_str() + 28, nullptr, 10));
            line.tid = static_cast<DWORD>(std::wcstoul(raw.c_str() + p1 + 5, nullptr, 10));
            line.level = raw.substr(p2 + 1, p3 - p2 - 1);
            line.text = raw.substr(p3 + 1);
        }
        lines.push_back(line);
    }
    return lines;
}

inline std::vector<LogLine> ReadPluginLogLines() { return ParseLog(ReadPluginLog()); }

// The texts alone, in order.
inline std::vector<std::wstring> ReadPluginLogTexts()
{
    std::vector<std::wstring> texts;
    for (const LogLine& line : ReadPluginLogLines()) texts.push_back(line.text);
    return texts;
}

inline bool PluginLogHas(const std::wstring& text)
{
    for (const LogLine& line : ReadPluginLogLines())
        if (line.text == text) return true;
    return false;
}

// Copies our "zelinfolog.dll" into "<ProgramFilesDir>\Torvane\Shared Files",
// where the plug-in's logging start finds it from any process of the Wine
// prefix (the localisation library it finds beside itself).
inline bool InstallLogLibrary()
{
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD bytes = MAX_PATH * sizeof(wchar_t);
    if (ReadMachineString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", folder, &bytes) != 0)
        return false;
    const std::wstring target = std::wstring(folder) + L"\\Torvane\\Shared Files";
    ::SHCreateDirectoryExW(nullptr, target.c_str(), nullptr);
    const std::wstring file = target + L"\\zelinfolog.dll";
    if (::CopyFileW(DistPath(L"zelinfolog.dll").c_str(), file.c_str(), FALSE)) return true;
    // A copy that is in use by a running process is the same file already.
    return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace s2mtest
