// The DLL's module object and the one application object.
#pragma once

#include <windows.h>

#include "framework/ComServer.h"

class CScan2MeplaModule : public fx::ComDllModule {
public:
    // The class object, made on first request under the module's lock.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
    // Drops the class object (module shutdown).
    void ReleaseClassObject() noexcept;

    bool PerUser() const noexcept { return m_perUser; }
    void SetPerUser() noexcept { m_perUser = true; }

private:
    IClassFactory* m_classObject = nullptr;
    bool m_perUser = false;
};

extern CScan2MeplaModule g_Module;

// Start-up and shut-down of the plug-in inside the host process.
class CScan2MeplaApp {
public:
    BOOL InitInstance(HINSTANCE instance);
    int ExitInstance();
};

extern CScan2MeplaApp g_App;

// Type-library descriptions for the two faces' IDispatch.
struct OwnTypeLib {
    static fx::ComDllModule& Module() { return g_Module; }
    static REFGUID Libid();
    static REFIID Iid();
    static constexpr WORD Major = 1;
    static constexpr WORD Minor = 0;
};
struct HostTypeLib {
    static fx::ComDllModule& Module() { return g_Module; }
    static REFGUID Libid();
    static REFIID Iid();
    static constexpr WORD Major = 2;
    static constexpr WORD Minor = 0;
};
