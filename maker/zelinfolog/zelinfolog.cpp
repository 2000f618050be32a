// "zelinfolog.dll": one log file per info handle, named after the handle's
// thread name.  Every line is opened, appended and closed on its own, so any
// number of processes can write the same file.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <type_traits>
#include <vector>

#include "services/MakerApi.h"

extern "C" {
ZelInfoHandle WINAPI ZelInfoCreateInfoHandle(HINSTANCE instance);
long WINAPI ZelInfoReleaseInfoHandle(ZelInfoHandle handle);
long WINAPI ZelInfoSetThreadNameW(ZelInfoHandle handle, const wchar_t* name, DWORD reserved);
long WINAPI ZelInfoWriteLogW(ZelInfoHandle handle, const wchar_t* line, DWORD level);
long WINAPI ZelInfoShowDialog(ZelInfoHandle handle, HWND owner);
long WINAPI ZelInfoRegisterModuleW(ZelInfoHandle handle, const wchar_t* moduleName);
long WINAPI ZelInfoSetCurrentLogPathW(ZelInfoHandle handle, const wchar_t* path);
}

// The plug-in calls these through the types of MakerApi.h: both sides must agree.
static_assert(std::is_same_v<decltype(&ZelInfoCreateInfoHandle), ZelInfoCreateInfoHandleFn>);
static_assert(std::is_same_v<decltype(&ZelInfoReleaseInfoHandle), ZelInfoReleaseInfoHandleFn>);
static_assert(std::is_same_v<decltype(&ZelInfoSetThreadNameW), ZelInfoSetThreadNameWFn>);
static_assert(std::is_same_v<decltype(&ZelInfoWriteLogW), ZelInfoWriteLogWFn>);
static_assert(std::is_same_v<decltype(&ZelInfoShowDialog), ZelInfoShowDialogFn>);
static_assert(std::is_same_v<decltype(&ZelInfoRegisterModuleW), ZelInfoRegisterModuleWFn>);
static_assert(std::is_same_v<decltype(&ZelInfoSetCurrentLogPathW), ZelInfoSetCurrentLogPathWFn>);

namespace {

struct InfoHandle {
    ZelInfoHandle id = 0;
    std::wstring threadName;
    std::wstring moduleName;
    std::wstring logPath;  // empty: the default file for the thread name
};

SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<InfoHandle> g_handles;
ZelInfoHandle g_nextId = 1;

class Exclusive {
public:
    Exclusive() { ::AcquireSRWLockExclusive(&g_lock); }
    ~Exclusive() { ::ReleaseSRWLockExclusive(&g_lock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
};

InfoHandle* Find(ZelInfoHandle id)
{
    for (InfoHandle& h : g_handles)
        if (h.id == id) return &h;
    return nullptr;
}

std::wstring BaseName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

std::wstring ModuleBaseName(HMODULE module)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(module, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return BaseName(buffer);
}

// A thread name becomes a file name: characters a file name cannot hold turn
// into '_'.
std::wstring FileNameFor(const std::wstring& threadName)
{
    std::wstring name = threadName;
    for (wchar_t& c : name)
        if (c < 32 || std::wcschr(L"\\/:*?\"<>|", c)) c = L'_';
    if (name.empty() || name == L"." || name == L"..") name = L"zelinfo";
    return name + L".log";
}

std::wstring LogFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    std::wstring base;
    if (n > 0 && n < MAX_PATH)
        base = buffer;
    else if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        base = buffer;
    else
        return std::wstring();
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    return base + L"\\Torvane\\Logs";
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file a handle writes to.  A log path that names a folder (or ends in a
// backslash) holds the default file name.
std::wstring LogFileOf(const InfoHandle& h)
{
    const std::wstring fileName = FileNameFor(h.threadName);
    if (h.logPath.empty()) {
        const std::wstring folder = LogFolder();
        return folder.empty() ? std::wstring() : folder + L"\\" + fileName;
    }
    if (h.logPath.back() == L'\\' || h.logPath.back() == L'/') return h.logPath + fileName;
    if (IsFolder(h.logPath)) return h.logPath + L"\\" + fileName;
    return h.logPath;
}

void CreateParentFolder(const std::wstring& file)
{
    const size_t slash = file.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) return;
    const std::wstring folder = file.substr(0, slash);
    if (IsFolder(folder)) return;
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

std::string ToUtf8(const wchar_t* text, size_t length)
{
    if (length == 0) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string LevelWord(DWORD level)
{
    if (level == 1) return "INFO";
    if (level == 3) return "ERROR";
    return std::to_string(level);
}

// "2024-05-31 14:03:07.215 pid=1234 tid=5678 ERROR SaveData: error = 80004005"
std::string FormatLine(const wchar_t* text, DWORD level)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char head[96];
    std::snprintf(head, sizeof(head), "%04u-%02u-%02u %02u:%02u:%02u.%03u pid=%lu tid=%lu ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                  static_cast<unsigned long>(::GetCurrentProcessId()), static_cast<unsigned long>(::GetCurrentThreadId()));
    std::string line = head;
    line += LevelWord(level);
    line += ' ';
    line += ToUtf8(text, std::wcslen(text));
    line += "\r\n";
    return line;
}

// Appends of several processes to one file are serialised by a mutex named
// after the file: not every file system makes an append atomic (Wine does
// not), and a torn line would mix two processes' texts.
std::wstring MutexNameFor(const std::wstring& file)
{
    std::wstring upper = file;
    if (!upper.empty()) ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    unsigned long long hash = 1469598103934665603ull;  // FNV-1a
    for (wchar_t c : upper) {
        hash ^= static_cast<unsigned long long>(c);
        hash *= 1099511628211ull;
    }
    std::wstring name = L"Local\\ZelInfoLogAppend_";
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

class FileMutex {
public:
    explicit FileMutex(const std::wstring& file) : mutex_(::CreateMutexW(nullptr, FALSE, MutexNameFor(file).c_str()))
    {
        if (mutex_) {
            const DWORD wait = ::WaitForSingleObject(mutex_, 10000);
            owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        }
    }
    ~FileMutex()
    {
        if (owned_) ::ReleaseMutex(mutex_);
        if (mutex_) ::CloseHandle(mutex_);
    }
    FileMutex(const FileMutex&) = delete;
    FileMutex& operator=(const FileMutex&) = delete;

private:
    HANDLE mutex_;
    bool owned_ = false;
};

// Open, append at the end, close: nothing stays open between lines.
bool AppendLine(const std::wstring& file, const std::string& line)
{
    FileMutex serialised(file);
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 20; ++attempt) {
        h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) break;
        const DWORD error = ::GetLastError();
        if (error == ERROR_PATH_NOT_FOUND && attempt == 0) {
            CreateParentFolder(file);
            continue;
        }
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
        ::Sleep(5);
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == line.size();
}

// Lines given with handle 0 go to the file named after the process.
InfoHandle DefaultHandle()
{
    InfoHandle h;
    h.threadName = ModuleBaseName(nullptr);
    return h;
}

}  // namespace

extern "C" {

ZelInfoHandle WINAPI ZelInfoCreateInfoHandle(HINSTANCE instance)
{
    Exclusive lock;
    InfoHandle h;
    h.id = g_nextId++;
    if (g_nextId == 0) g_nextId = 1;
    h.moduleName = ModuleBaseName(instance);
    h.threadName = h.moduleName;
    g_handles.push_back(h);
    return h.id;
}

long WINAPI ZelInfoReleaseInfoHandle(ZelInfoHandle handle)
{
    Exclusive lock;
    for (auto it = g_handles.begin(); it != g_handles.end(); ++it) {
        if (it->id == handle) {
            g_handles.erase(it);
            return 1;
        }
    }
    return 0;
}

long WINAPI ZelInfoSetThreadNameW(ZelInfoHandle handle, const wchar_t* name, DWORD)
{
    Exclusive lock;
    InfoHandle* h = Find(handle);
    if (!h || !name) return 0;
    h->threadName = name;
    return 1;
}

long WINAPI ZelInfoRegisterModuleW(ZelInfoHandle handle, const wchar_t* moduleName)
{
    Exclusive lock;
    InfoHandle* h = Find(handle);
    if (!h || !moduleName) return 0;
    h->moduleName = moduleName;
    return 1;
}

long WINAPI ZelInfoSetCurrentLogPathW(ZelInfoHandle handle, const wchar_t* path)
{
    Exclusive lock;
    InfoHandle* h = Find(handle);
    if (!h) return 0;
    h->logPath = path ? path : L"";
    return 1;
}

long WINAPI ZelInfoWriteLogW(ZelInfoHandle handle, const wchar_t* text, DWORD level)
{
    if (!text) return 0;
    std::wstring file;
    {
        Exclusive lock;
        if (handle == 0) {
            file = LogFileOf(DefaultHandle());
        } else {
            const InfoHandle* h = Find(handle);
            if (!h) return 0;
            file = LogFileOf(*h);
        }
    }
    if (file.empty()) return 0;
    return AppendLine(file, FormatLine(text, level)) ? 1 : 0;
}

// Tells where the log is: the simplest useful dialog.
long WINAPI ZelInfoShowDialog(ZelInfoHandle handle, HWND owner)
{
    std::wstring file;
    {
        Exclusive lock;
        const InfoHandle* h = Find(handle);
        file = h ? LogFileOf(*h) : LogFileOf(DefaultHandle());
    }
    const std::wstring text = L"The log is written to:\n" + file;
    return ::MessageBoxW(owner, text.c_str(), L"Log", MB_OK | MB_ICONINFORMATION);
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
