// Loading of the maker's libraries and the logging binding.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "services/MakerApi.h"

constexpr int LOG_INFO = 1;
constexpr int LOG_ERROR = 3;

// Reads one string value under HKEY_LOCAL_MACHINE: 0 when read, the system's
// error code, 3 when the key did not exist, -1 for a value that is not REG_SZ.
long ReadMachineString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer, DWORD* byteSize);

// Finds a library given by bare file name in the maker's shared-files folder.
// A name with a backslash is loaded from that path only.  The last resort, the
// system's search, never includes the current folder where the system can
// leave it out.
HMODULE LoadSharedLibrary(const wchar_t* fileName, HANDLE file, DWORD flags);

// LoadLibraryExW of a bare file name through the application's folder,
// System32 and the folders added with AddDllDirectory, but not the current
// folder; the plain call on systems without that search.
HMODULE LoadLibraryOutsideCurrentFolder(const wchar_t* fileName, HANDLE file, DWORD flags);

// Owner of one dynamically loaded library.
class CZelLibrary {
public:
    CZelLibrary() = default;
    virtual ~CZelLibrary();
    CZelLibrary(const CZelLibrary&) = delete;
    CZelLibrary& operator=(const CZelLibrary&) = delete;

    bool Load(const wchar_t* fileName);
    FARPROC GetProcAddress(const char* name) const;
    HMODULE Module() const { return m_hModule; }
    // Frees the library now (tests; the destructor does the same).
    void Free();

private:
    HMODULE m_hModule = nullptr;
};

// Binding of the logging library "zelinfolog.dll".
struct ZelInfoLog {
    HMODULE module;
    ZelInfoHandle infoHandle;
    ZelInfoCreateInfoHandleFn create;
    ZelInfoReleaseInfoHandleFn release;
    ZelInfoSetThreadNameWFn setThreadName;
    ZelInfoWriteLogWFn write;
    ZelInfoShowDialogFn showDialog;
    ZelInfoRegisterModuleWFn registerModule;
    ZelInfoSetCurrentLogPathWFn setLogPath;

    ZelInfoLog();
    ~ZelInfoLog();
    ZelInfoLog(const ZelInfoLog&) = delete;
    ZelInfoLog& operator=(const ZelInfoLog&) = delete;

    // A binding that already holds its library answers 0 at once.
    HRESULT Load(const wchar_t* fileName);
    ZelInfoHandle CreateHandle(HINSTANCE instance);
    long ReleaseHandle();
    long SetThreadName(const wchar_t* name);
    // Frees the library and clears every entry and the info handle.
    void Unload();
};

extern ZelInfoLog g_ZelInfoLog;

// Formats into a 1024-character stack buffer and hands the line to the
// library; 0 and nothing formatted when the library is absent.
long WriteInfoLog(ZelInfoLog& log, int level, const wchar_t* format, ...);

// The failure line "%s: error = %08X" at LOG_ERROR; returns `code`, so a
// failing step reads `return LogFailure(L"SaveData", hr);`.
HRESULT LogFailure(const wchar_t* label, HRESULT code);
