// Creates the plug-in by its class ID, the way the host does, and prints the
// file of the DLL that served it.
//
//   installer_create_plugin.exe        through the COM runtime
//   installer_create_plugin.exe user   through the current user's class
//                                      registration, looked up as Windows
//                                      does: Wine's COM reads only the
//                                      machine's classes
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/Format.h"
#include "framework/Unique.h"

namespace {

const wchar_t kClsid[] = L"{962B83D5-70E5-4B5E-9712-56654F65A76D}";

HRESULT CreateFromUserClasses(REFCLSID clsid, fx::UniqueModule& dll, fx::ComPtr<IUnknown>& object)
{
    const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + kClsid + L"\\InprocServer32";
    wchar_t path[MAX_PATH] = {}, model[64] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t), modelSize = sizeof(model) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &modelSize) !=
            ERROR_SUCCESS ||
        ::lstrcmpiW(model, L"Apartment") != 0)
        return REGDB_E_INVALIDVALUE;
    dll.reset(::LoadLibraryW(path));
    if (!dll) return HRESULT_FROM_WIN32(::GetLastError());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll.get(), "DllGetClassObject")));
    if (!entry) return CO_E_ERRORINDLL;
    fx::ComPtr<IClassFactory> factory;
    HRESULT hr = entry(clsid, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IUnknown, object.put_void());
}

}  // namespace

int main(int argc, char** argv)
{
    fx::ComInit com;
    CLSID clsid = {};
    ::CLSIDFromString(kClsid, &clsid);
    fx::UniqueModule dll;  // outlives the object
    fx::ComPtr<IUnknown> plugin;
    HRESULT hr = argc > 1 && std::strcmp(argv[1], "user") == 0
                     ? CreateFromUserClasses(clsid, dll, plugin)
                     : ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, plugin.put_void());
    if (FAILED(hr)) {
        std::printf("creating the plug-in: error = %08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    HMODULE served = ::GetModuleHandleW(L"Scan2Mepla.dll");
    wchar_t path[MAX_PATH] = {};
    if (!served || !::GetModuleFileNameW(served, path, MAX_PATH)) {
        std::printf("the object does not come from Scan2Mepla.dll\n");
        return 2;
    }
    std::printf("%s\n", fx::ToUtf8(path).c_str());
    return 0;
}
