// Parts of an in-process COM server: the DLL module with its lock count, a
// class factory, IDispatch from a registered type library, the module
// context every host call runs in, and the registration helpers.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "framework/Unique.h"

namespace fx {

// The DLL's module object: lock count, class-object lock, cached type infos.
class ComDllModule {
public:
    ComDllModule() noexcept;
    virtual ~ComDllModule();
    ComDllModule(const ComDllModule&) = delete;
    ComDllModule& operator=(const ComDllModule&) = delete;

    virtual LONG Lock() noexcept { return ::InterlockedIncrement(&m_lockCount); }
    virtual LONG Unlock() noexcept { return ::InterlockedDecrement(&m_lockCount); }
    virtual LONG GetLockCount() const noexcept { return m_lockCount; }

    // False when the lock could not be set up at construction.
    bool LockReady() const noexcept { return m_lockReady; }
    CRITICAL_SECTION& ObjectLock() noexcept { return m_objectLock; }

    // The server DLL itself (set by DllMain).
    HINSTANCE Instance() const noexcept { return m_instance; }
    void SetInstance(HINSTANCE instance) noexcept { m_instance = instance; }

    // The activation context made from the module's manifest resource 2,
    // created on first use; INVALID_HANDLE_VALUE when there is none.
    HANDLE ActivationContext() noexcept;

    // Type description of `iid` from the registered library; loaded on first
    // use and kept until the module goes.  S_OK or the loader's failure.
    HRESULT GetTypeInfo(REFGUID libid, WORD major, WORD minor, REFIID iid, ITypeInfo** info) noexcept;
    // Drops the cached descriptions (when the module is being unloaded).
    void ReleaseTypeInfos() noexcept;

private:
    struct CachedInfo {
        IID iid;
        ITypeInfo* info;
    };
    static constexpr int kMaxInfos = 4;

    volatile LONG m_lockCount = 0;
    bool m_lockReady = false;
    CRITICAL_SECTION m_objectLock;
    HINSTANCE m_instance = nullptr;
    bool m_actCtxTried = false;
    UniqueActCtx m_actCtx;
    CachedInfo m_infos[kMaxInfos] = {};
    int m_infoCount = 0;
};

// While alive: the module is the one whose resources are used and its
// manifest's activation context is active.  Restored on every path.
class ModuleContext {
public:
    explicit ModuleContext(ComDllModule& module) noexcept;
    ~ModuleContext();
    ModuleContext(const ModuleContext&) = delete;
    ModuleContext& operator=(const ModuleContext&) = delete;

private:
    HINSTANCE m_previous;
    ULONG_PTR m_cookie = 0;
    bool m_activated = false;
};

// Runs a host call's body inside the module context and turns everything
// thrown into a result code: a thrown HRESULT or ComError gives its code,
// anything else E_OUTOFMEMORY.  Nothing leaves the function.
template <typename Body>
HRESULT HostCall(ComDllModule& module, Body&& body) noexcept
{
    try {
        ModuleContext context(module);
        return body();
    } catch (const ComError& e) {
        return e.Code();
    } catch (HRESULT hr) {
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// IDispatch for the face `I` of an object, served from the type library
// described by Lib (static members Libid(), Major, Minor) for Iid().
template <typename I, typename Lib>
class DispatchFace : public I {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Lib::Module().GetTypeInfo(Lib::Libid(), Lib::Major, Lib::Minor, Lib::Iid(), info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        ComPtr<ITypeInfo> info;
        const HRESULT hr = Lib::Module().GetTypeInfo(Lib::Libid(), Lib::Major, Lib::Minor, Lib::Iid(), info.put());
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override
    {
        if (!IsEqualGUID(riid, GUID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = Lib::Module().GetTypeInfo(Lib::Libid(), Lib::Major, Lib::Minor, Lib::Iid(), info.put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argErr);
    }
};

// Creates one object of the served class: (outer, iid, out) -> HRESULT.
using CreateObjectFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// The class object of one class.  The module holds the first reference;
// every further reference holds one module lock, as does LockServer(TRUE).
class ClassFactory final : public IClassFactory {
public:
    ClassFactory(ComDllModule& module, CreateObjectFn create) noexcept : m_module(module), m_create(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ComDllModule& m_module;
    CreateObjectFn m_create;
    volatile LONG m_refs = 1;
};

// The calling thread's locale is the system default while alive.
class SystemLocaleScope {
public:
    SystemLocaleScope() noexcept : m_previous(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocaleScope() { ::SetThreadLocale(m_previous); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

private:
    LCID m_previous;
};

// "{...}" upper-case text of a GUID.
std::wstring GuidText(REFGUID guid);

// Full path of a module, or HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when
// it does not fit MAX_PATH characters with its terminator.
HRESULT ModulePath(HMODULE module, std::wstring& path) noexcept;

// Classes root: HKEY_CLASSES_ROOT, or HKEY_CURRENT_USER\Software\Classes.
HRESULT OpenClassesRoot(bool perUser, UniqueRegKey& root) noexcept;

// Sets the default value (or `name`) of a key to a string.
HRESULT SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) noexcept;

// Registers or removes the type library embedded in `modulePath` (TYPELIB 1);
// the per-user form when asked and offered by the system.
HRESULT RegisterEmbeddedTypeLib(const std::wstring& modulePath, bool perUser) noexcept;
HRESULT UnregisterEmbeddedTypeLib(const std::wstring& modulePath, bool perUser) noexcept;

}  // namespace fx
