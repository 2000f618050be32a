#include "services/InfoLog.h"

#include <shlobj.h>

#include <cstdio>
#include <cwchar>

#include "framework/Format.h"
#include "framework/Result.h"
#include "framework/Unique.h"

namespace {

constexpr wchar_t kSharedFilesKey[] = L"SOFTWARE\\Torvane Inc.\\Shared Files";
constexpr wchar_t kWindowsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr DWORD kRegistryBytes = MAX_PATH * sizeof(wchar_t);  // 520
constexpr size_t kLineCapacity = 1024;

typedef BOOL(WINAPI* SHGetSpecialFolderPathWFn)(HWND owner, LPWSTR path, int folder, BOOL create);

// Exports are bound by name; the cast goes through void* so that the compiler
// accepts the change of function type.
template <typename Fn>
Fn Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool HasBackslash(const wchar_t* name) { return std::wcschr(name, L'\\') != nullptr; }

HMODULE TryLoad(const wchar_t* path, HANDLE file, DWORD flags) { return ::LoadLibraryExW(path, file, flags); }

// Composes a candidate path; false when it would not fit in MAX_PATH, and the
// candidate is then skipped.
bool Compose(wchar_t (&out)[MAX_PATH], const wchar_t* format, const wchar_t* a, const wchar_t* b)
{
    return fx::FormatInto(out, MAX_PATH, format, a, b);
}

}  // namespace

HMODULE LoadLibraryOutsideCurrentFolder(const wchar_t* fileName, HANDLE file, DWORD flags)
{
    // The restricted search comes with AddDllDirectory (Windows 8, or 7 with
    // KB2533623).  A library planted in the current folder (a scan or download
    // folder) must not run inside the host.
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel && ::GetProcAddress(kernel, "AddDllDirectory"))
        return ::LoadLibraryExW(fileName, file, (flags & ~LOAD_WITH_ALTERED_SEARCH_PATH) | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    return ::LoadLibraryExW(fileName, file, flags);
}

long ReadMachineString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer, DWORD* byteSize)
{
    fx::UniqueRegKey key;
    DWORD disposition = 0;
    const LONG opened = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ,
                                          nullptr, key.put(), &disposition);
    if (opened != ERROR_SUCCESS) return opened;
    if (disposition == REG_CREATED_NEW_KEY) return 3;

    const DWORD capacity = byteSize ? *byteSize : 0;
    DWORD type = 0;
    LONG result = ::RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), byteSize);
    if (result == ERROR_SUCCESS && type != REG_SZ) return -1;
    if (result == ERROR_SUCCESS && buffer && byteSize) {
        // The registry does not promise a terminator: add one, and refuse a
        // string that fills the buffer without one.
        const DWORD chars = *byteSize / sizeof(wchar_t);
        const DWORD room = capacity / sizeof(wchar_t);
        if (chars < room)
            buffer[chars] = L'\0';
        else if (room == 0 || buffer[room - 1] != L'\0')
            result = ERROR_MORE_DATA;
    }
    return result;
}

HMODULE LoadSharedLibrary(const wchar_t* fileName, HANDLE file, DWORD flags)
{
    if (!fileName) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (HasBackslash(fileName)) return TryLoad(fileName, file, flags);

    SHGetSpecialFolderPathWFn specialFolder = nullptr;
    if (HMODULE shell = ::GetModuleHandleW(L"Shell32.dll"))
        specialFolder = Bind<SHGetSpecialFolderPathWFn>(shell, "SHGetSpecialFolderPathW");

    HMODULE module = nullptr;
    wchar_t value[MAX_PATH + 1];
    wchar_t path[MAX_PATH];
    DWORD bytes = 0;

    // The path registered under the library's own name.
    bytes = kRegistryBytes;
    if (ReadMachineString(kSharedFilesKey, fileName, value, &bytes) == 0) module = TryLoad(value, file, flags);

    // The registered shared-files folder.
    if (!module) {
        bytes = kRegistryBytes;
        if (ReadMachineString(kSharedFilesKey, nullptr, value, &bytes) == 0 && Compose(path, L"%s\\%s", value, fileName))
            module = TryLoad(path, file, flags);
    }
    // "Torvane\Shared Files" under the program-files folder.
    if (!module && specialFolder) {
        value[0] = L'\0';
        if (specialFolder(nullptr, value, CSIDL_PROGRAM_FILES, FALSE) &&
            Compose(path, L"%s\\Torvane\\Shared Files\\%s", value, fileName))
            module = TryLoad(path, file, flags);
    }
    if (!module) {
        bytes = kRegistryBytes;
        if (ReadMachineString(kWindowsKey, L"ProgramFilesDir", value, &bytes) == 0 &&
            Compose(path, L"%s\\Torvane\\Shared Files\\%s", value, fileName))
            module = TryLoad(path, file, flags);
    }
    // "Torvane" under the common-files folder.
    if (!module && specialFolder) {
        value[0] = L'\0';
        if (specialFolder(nullptr, value, CSIDL_PROGRAM_FILES_COMMON, FALSE) &&
            Compose(path, L"%s\\Torvane\\%s", value, fileName))
            module = TryLoad(path, file, flags);
    }
    if (!module) {
        bytes = kRegistryBytes;
        if (ReadMachineString(kWindowsKey, L"CommonFilesDir", value, &bytes) == 0 &&
            Compose(path, L"%s\\Torvane\\%s", value, fileName))
            module = TryLoad(path, file, flags);
    }
    if (!module) module = LoadLibraryOutsideCurrentFolder(fileName, file, flags);
    return module;
}

// ---------------------------------------------------------------------------

CZelLibrary::~CZelLibrary() { Free(); }

bool CZelLibrary::Load(const wchar_t* fileName)
{
    m_hModule = LoadSharedLibrary(fileName, nullptr, 0);
    return m_hModule != nullptr;
}

FARPROC CZelLibrary::GetProcAddress(const char* name) const
{
    return m_hModule ? ::GetProcAddress(m_hModule, name) : nullptr;
}

void CZelLibrary::Free()
{
    if (m_hModule) ::FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

// ---------------------------------------------------------------------------

// Every entry starts null here too, so that a binding outside static storage
// is as inert as the process-wide one.
ZelInfoLog::ZelInfoLog()
    : module(nullptr), infoHandle(0), create(nullptr), release(nullptr), setThreadName(nullptr), write(nullptr),
      showDialog(nullptr), registerModule(nullptr), setLogPath(nullptr)
{
}

ZelInfoLog::~ZelInfoLog()
{
    if (module) ::FreeLibrary(module);
    module = nullptr;
}

HRESULT ZelInfoLog::Load(const wchar_t* fileName)
{
    if (module) return S_OK;
    if (!fileName) return E_INVALIDARG;

    HMODULE loaded = HasBackslash(fileName) ? ::LoadLibraryW(fileName) : LoadLibraryOutsideCurrentFolder(fileName, nullptr, 0);
    if (!loaded) {
        wchar_t folder[MAX_PATH + 1];
        DWORD bytes = kRegistryBytes;
        const long read = ReadMachineString(kWindowsKey, L"ProgramFilesDir", folder, &bytes);
        if (read != 0) return read;
        wchar_t path[MAX_PATH];
        if (!fx::FormatInto(path, MAX_PATH, L"%s%s%s", folder, L"\\Torvane\\Shared Files\\", fileName))
            return fx::HResultFromCode(ERROR_FILENAME_EXCED_RANGE);
        loaded = ::LoadLibraryW(path);
        if (!loaded) return fx::HResultFromLastError();
    }
    module = loaded;
    create = Bind<ZelInfoCreateInfoHandleFn>(module, "ZelInfoCreateInfoHandle");
    release = Bind<ZelInfoReleaseInfoHandleFn>(module, "ZelInfoReleaseInfoHandle");
    setThreadName = Bind<ZelInfoSetThreadNameWFn>(module, "ZelInfoSetThreadNameW");
    write = Bind<ZelInfoWriteLogWFn>(module, "ZelInfoWriteLogW");
    showDialog = Bind<ZelInfoShowDialogFn>(module, "ZelInfoShowDialog");
    registerModule = Bind<ZelInfoRegisterModuleWFn>(module, "ZelInfoRegisterModuleW");
    setLogPath = Bind<ZelInfoSetCurrentLogPathWFn>(module, "ZelInfoSetCurrentLogPathW");
    return S_OK;
}

ZelInfoHandle ZelInfoLog::CreateHandle(HINSTANCE instance)
{
    if (!module || !create) return 0;
    infoHandle = create(instance);
    return infoHandle;
}

long ZelInfoLog::ReleaseHandle()
{
    if (!module || !release) return 0;
    return release(infoHandle);
}

long ZelInfoLog::SetThreadName(const wchar_t* name)
{
    if (!module || !setThreadName) return 0;
    return setThreadName(infoHandle, name, 0);
}

void ZelInfoLog::Unload()
{
    create = nullptr;
    release = nullptr;
    setThreadName = nullptr;
    write = nullptr;
    showDialog = nullptr;
    registerModule = nullptr;
    setLogPath = nullptr;
    infoHandle = 0;
    if (module) ::FreeLibrary(module);
    module = nullptr;
}

// ---------------------------------------------------------------------------

long WriteInfoLog(ZelInfoLog& log, int level, const wchar_t* format, ...)
{
    // Tested before anything is formatted: without the library a log call
    // costs nothing.
    if (!log.module || !format) return 0;

    wchar_t line[kLineCapacity];
    line[0] = L'\0';
    va_list args;
    va_start(args, format);
    // A text longer than the buffer is cut, never dropped.
    _vsnwprintf(line, kLineCapacity - 1, format, args);
    va_end(args);
    line[kLineCapacity - 1] = L'\0';

    if (!log.module || !log.write) return 0;
    return log.write(log.infoHandle, line, static_cast<DWORD>(level));
}

HRESULT LogFailure(const wchar_t* label, HRESULT code)
{
    WriteInfoLog(g_ZelInfoLog, LOG_ERROR, L"%s: error = %08X", label ? label : L"", static_cast<unsigned int>(code));
    return code;
}
