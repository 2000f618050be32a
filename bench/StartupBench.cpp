// Start-up: CoCreateInstance, the first host method and Release in a fresh
// process, for the plug-in and for a minimal in-process server, alternating.
//
//   bench_startup [runs]          drives the runs and prints the table
//   bench_startup plugin|minimal  one timed start-up (prints microseconds)
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Scan2MeplaLib.h"
#include "bench/BenchCommon.h"
#include "bench/MinimalServer.h"

namespace {

std::wstring ExeDir()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

int TimeOnce(const CLSID& clsid)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const double start = bench::Now();
    IMinimalPlugin* object = nullptr;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) {
        BSTR name = nullptr;
        hr = object->GetPluginName(&name);  // the first method after IDispatch in both
        ::SysFreeString(name);
        object->Release();
    }
    const double elapsed = bench::Now() - start;
    ::CoUninitialize();
    if (FAILED(hr)) {
        std::printf("failed %08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("%.1f\n", elapsed);
    return 0;
}

bool SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY k = nullptr;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS) return false;
    const LONG r = ::RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

// Runs this program once in the given mode; the microseconds it printed.
double RunChild(const wchar_t* mode)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + mode;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    ::CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char chunk[256];
        DWORD got = 0;
        while (::ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
        ::WaitForSingleObject(info.hProcess, INFINITE);
        ::CloseHandle(info.hProcess);
        ::CloseHandle(info.hThread);
    }
    ::CloseHandle(readEnd);
    return std::atof(output.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wstring(argv[1]) == L"plugin") return TimeOnce(CLSID_ScanToMeplaPlugin);
    if (argc > 1 && std::wstring(argv[1]) == L"minimal") return TimeOnce(CLSID_MinimalPlugin);
    const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 15;

    // The plug-in registers itself; the minimal server is registered machine-wide
    // here (Wine's COM reads only the machine's classes).
    const std::wstring dll = ExeDir() + L"\\..\\dist\\Scan2Mepla.dll";
    HMODULE plugin = ::LoadLibraryW(dll.c_str());
    auto reg = plugin ? reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(plugin, "DllRegisterServer"))) : nullptr;
    if (!reg || FAILED(reg())) {
        std::printf("could not register %ls\n", dll.c_str());
        return 1;
    }
    wchar_t clsid[40] = {};
    ::StringFromGUID2(CLSID_MinimalPlugin, clsid, 40);
    const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + clsid + L"\\InprocServer32";
    SetString(HKEY_LOCAL_MACHINE, key, nullptr, ExeDir() + L"\\bench_minimal.dll");
    SetString(HKEY_LOCAL_MACHINE, key, L"ThreadingModel", L"Apartment");

    RunChild(L"plugin");  // warm the file cache for both
    RunChild(L"minimal");
    std::vector<double> pluginTimes, minimalTimes;
    for (int r = 0; r < runs; ++r) {
        pluginTimes.push_back(RunChild(L"plugin"));
        minimalTimes.push_back(RunChild(L"minimal"));
    }
    const double p = bench::Median(pluginTimes), m = bench::Median(minimalTimes);
    std::printf("| Start-up | plug-in | minimal server | ratio |\n|---|---:|---:|---:|\n");
    std::printf("| CoCreateInstance + GetPluginName + Release | %.2f ms | %.2f ms | %.2f |\n", p / 1000, m / 1000, p / m);
    std::printf("(fresh process each; medians of %d runs)\n", runs);

    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\CLSID\\") + clsid).c_str());
    auto unreg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(plugin, "DllUnregisterServer")));
    if (unreg) unreg();
    ::FreeLibrary(plugin);
    return 0;
}
