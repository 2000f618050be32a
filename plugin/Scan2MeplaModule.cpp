#include "plugin/Scan2MeplaModule.h"

#include <shlwapi.h>

#include "Scan2MeplaLib.h"
#include "TVOPluginIF.h"
#include "framework/ModuleState.h"
#include "plugin/ScanToMeplaPlugin.h"
#include "services/InfoLog.h"
#include "services/Localize.h"

CScan2MeplaModule g_Module;
CScan2MeplaApp g_App;

REFGUID OwnTypeLib::Libid() { return LIBID_Scan2MeplaLib; }
REFIID OwnTypeLib::Iid() { return IID_IScanToMeplaPlugin; }
REFGUID HostTypeLib::Libid() { return LIBID_TVOPluginIF; }
REFIID HostTypeLib::Iid() { return IID_ITVOPlugin2; }

HRESULT CScan2MeplaModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!LockReady()) return E_UNEXPECTED;
    if (!IsEqualCLSID(clsid, CLSID_ScanToMeplaPlugin)) return CLASS_E_CLASSNOTAVAILABLE;
    ::EnterCriticalSection(&ObjectLock());
    if (!m_classObject) m_classObject = new (std::nothrow) fx::ClassFactory(*this, &CScanToMeplaPlugin::Create);
    IClassFactory* factory = m_classObject;
    ::LeaveCriticalSection(&ObjectLock());
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(iid, out);
}

void CScan2MeplaModule::ReleaseClassObject() noexcept
{
    if (m_classObject) m_classObject->Release();
    m_classObject = nullptr;
}

BOOL CScan2MeplaApp::InitInstance(HINSTANCE instance)
{
    g_ZelInfoLog.Load(L"zelinfolog.dll");
    g_ZelInfoLog.CreateHandle(fx::ResourceInstance());
    g_ZelInfoLog.SetThreadName(L"S2Mepla_PLUGIN");

    HMODULE self = ::GetModuleHandleW(L"Scan2Mepla.dll");
    LoadLocalizeLibrary(self);
    LocSetLocale(::GetUserDefaultLangID());

    // A module named otherwise finds nothing by that name; the host's folder
    // is then used, as the lookup of a null module gives.
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH && ::PathRemoveFileSpecW(path) &&
        ::wcscat_s(path, L"\\") == 0 && ::wcscat_s(path, L"Scan2Mepla.loc") == 0)
        LocAddFileW(path);
    return TRUE;
}

int CScan2MeplaApp::ExitInstance()
{
    g_ZelInfoLog.ReleaseHandle();
    return 0;
}
