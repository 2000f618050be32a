// Entry of the plug-in DLL: loader notifications and the five exports.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "Scan2MeplaLib.h"
#include "framework/ComServer.h"
#include "framework/ModuleState.h"
#include "framework/Unique.h"
#include "plugin/Scan2MeplaModule.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        g_Module.SetInstance(instance);
        fx::SetResourceInstance(instance);
        return g_App.InitInstance(instance);
    }
    if (reason == DLL_PROCESS_DETACH) {
        g_App.ExitInstance();
        // At process end other DLLs may already be gone: only a real unload
        // hands the cached COM objects back.
        if (!reserved) {
            g_Module.ReleaseClassObject();
            g_Module.ReleaseTypeInfos();
        }
    }
    return TRUE;
}

namespace {

// The class key with exactly its four subkeys, made anew.
HRESULT RegisterClassKeys(bool perUser, const std::wstring& modulePath)
{
    fx::UniqueRegKey root;
    HRESULT hr = fx::OpenClassesRoot(perUser, root);
    if (FAILED(hr)) return hr;
    fx::UniqueRegKey clsidKey;
    LONG rc = ::RegCreateKeyExW(root.get(), L"CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, clsidKey.put(), nullptr);
    if (rc != ERROR_SUCCESS) return fx::HResultFromCode(rc);

    const std::wstring classGuid = fx::GuidText(CLSID_ScanToMeplaPlugin);
    rc = ::RegDeleteTreeW(clsidKey.get(), classGuid.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return fx::HResultFromCode(rc);

    fx::UniqueRegKey classKey;
    rc = ::RegCreateKeyExW(clsidKey.get(), classGuid.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, classKey.put(),
                           nullptr);
    if (rc != ERROR_SUCCESS) return fx::HResultFromCode(rc);
    hr = fx::SetStringValue(classKey.get(), nullptr, L"ScanToMeplaPlugin Class");
    if (FAILED(hr)) return hr;

    struct Subkey {
        const wchar_t* name;
        std::wstring value;  // default value; empty: none
        bool apartment;      // ThreadingModel "Apartment"
    };
    const Subkey subkeys[] = {
        {L"Programmable", L"", false},
        {L"InprocServer32", modulePath, true},
        {L"TypeLib", fx::GuidText(LIBID_Scan2MeplaLib), false},
        {L"Version", L"1.0", false},
    };
    for (const Subkey& s : subkeys) {
        fx::UniqueRegKey key;
        rc = ::RegCreateKeyExW(classKey.get(), s.name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
        if (rc != ERROR_SUCCESS) return fx::HResultFromCode(rc);
        if (!s.value.empty()) {
            hr = fx::SetStringValue(key.get(), nullptr, s.value);
            if (FAILED(hr)) return hr;
        }
        if (s.apartment) {
            hr = fx::SetStringValue(key.get(), L"ThreadingModel", L"Apartment");
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

// The class key goes with everything below it; "CLSID" stays.
HRESULT UnregisterClassKeys(bool perUser)
{
    fx::UniqueRegKey root;
    HRESULT hr = fx::OpenClassesRoot(perUser, root);
    if (FAILED(hr)) return hr;
    fx::UniqueRegKey clsidKey;
    LONG rc = ::RegOpenKeyExW(root.get(), L"CLSID", 0, KEY_ALL_ACCESS, clsidKey.put());
    if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
    if (rc != ERROR_SUCCESS) return fx::HResultFromCode(rc);
    rc = ::RegDeleteTreeW(clsidKey.get(), fx::GuidText(CLSID_ScanToMeplaPlugin).c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return fx::HResultFromCode(rc);
    return S_OK;
}

}  // namespace

extern "C" {

HRESULT WINAPI DllCanUnloadNow()
{
    fx::ModuleContext context(g_Module);
    return g_Module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    return g_Module.GetClassObject(clsid, iid, out);
}

HRESULT WINAPI DllRegisterServer()
{
    fx::SystemLocaleScope locale;
    try {
        std::wstring path;
        HRESULT hr = fx::ModulePath(g_Module.Instance(), path);
        if (FAILED(hr)) return hr;
        hr = RegisterClassKeys(g_Module.PerUser(), path);
        if (FAILED(hr)) return hr;
        return fx::RegisterEmbeddedTypeLib(path, g_Module.PerUser());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllUnregisterServer()
{
    fx::SystemLocaleScope locale;
    try {
        HRESULT hr = UnregisterClassKeys(g_Module.PerUser());
        if (FAILED(hr)) return hr;
        std::wstring path;
        hr = fx::ModulePath(g_Module.Instance(), path);
        if (FAILED(hr)) return hr;
        return fx::UnregisterEmbeddedTypeLib(path, g_Module.PerUser());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    if (commandLine && ::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL)
        g_Module.SetPerUser();
    if (install) {
        const HRESULT hr = DllRegisterServer();
        if (FAILED(hr)) {
            DllUnregisterServer();
            return hr;
        }
        return S_OK;
    }
    return DllUnregisterServer();
}

}  // extern "C"
