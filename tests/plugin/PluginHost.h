// A test host: loads the plug-in DLL and creates its object through the
// exported class object, as the COM runtime would, and calls it through the
// host interface by vtable position.
#pragma once

#include <windows.h>

#include <string>

#include "Scan2MeplaLib.h"
#include "TVOPluginIF.h"
#include "framework/Unique.h"
#include "tests/support/TestSupport.h"

namespace s2mtest {

class PluginDll {
public:
    explicit PluginDll(const std::wstring& path = DistPath(L"Scan2Mepla.dll"))
        : module_(::LoadLibraryW(path.c_str()))
    {
        if (module_) {
            getClassObject_ = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllGetClassObject")));
            canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
        }
    }
    bool Loaded() const { return module_ && getClassObject_ && canUnloadNow_; }
    HMODULE Module() const { return module_.get(); }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const { return getClassObject_(clsid, iid, out); }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }

    fx::ComPtr<ITVOPlugin2> Create() const
    {
        fx::ComPtr<IClassFactory> factory;
        fx::ComPtr<ITVOPlugin2> plugin;
        if (SUCCEEDED(GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, factory.put_void())))
            factory->CreateInstance(nullptr, IID_ITVOPlugin2, plugin.put_void());
        return plugin;
    }

private:
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNowFn = HRESULT(WINAPI*)();

    // Kept loaded for the whole test program: the host never unloads it either.
    fx::UniqueModule module_;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
};

// Method n (1-based, after IDispatch) of the host interface, by position.
template <typename Fn>
Fn Slot(ITVOPlugin2* plugin, int n)
{
    void** vtable = *reinterpret_cast<void***>(plugin);
    return reinterpret_cast<Fn>(vtable[7 + n - 1]);
}

inline std::wstring Take(BSTR b)
{
    std::wstring text = b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(L"(null)");
    ::SysFreeString(b);
    return text;
}

}  // namespace s2mtest
