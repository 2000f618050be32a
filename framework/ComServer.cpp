#include "framework/ComServer.h"

#include <oleauto.h>

#include "framework/Format.h"
#include "framework/ModuleState.h"

namespace fx {

ComDllModule::ComDllModule() noexcept
{
    m_lockReady = ::InitializeCriticalSectionAndSpinCount(&m_objectLock, 0) != FALSE;
}

ComDllModule::~ComDllModule()
{
    ReleaseTypeInfos();
    if (m_lockReady) ::DeleteCriticalSection(&m_objectLock);
}

HANDLE ComDllModule::ActivationContext() noexcept
{
    if (!m_actCtxTried && m_instance) {
        m_actCtxTried = true;
        wchar_t path[MAX_PATH] = {};
        const DWORD length = ::GetModuleFileNameW(m_instance, path, MAX_PATH);
        ACTCTXW actCtx = {};
        actCtx.cbSize = sizeof(actCtx);
        actCtx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actCtx.hModule = m_instance;
        actCtx.lpResourceName = MAKEINTRESOURCEW(2);
        if (length > 0 && length < MAX_PATH) actCtx.lpSource = path;
        m_actCtx.reset(::CreateActCtxW(&actCtx));
    }
    return m_actCtx.get();
}

HRESULT ComDllModule::GetTypeInfo(REFGUID libid, WORD major, WORD minor, REFIID iid, ITypeInfo** info) noexcept
{
    *info = nullptr;
    for (int i = 0; i < m_infoCount; ++i) {
        if (IsEqualGUID(m_infos[i].iid, iid)) {
            *info = m_infos[i].info;
            (*info)->AddRef();
            return S_OK;
        }
    }
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadRegTypeLib(libid, major, minor, LOCALE_NEUTRAL, lib.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> found;
    hr = lib->GetTypeInfoOfGuid(iid, found.put());
    if (FAILED(hr)) return hr;
    if (m_infoCount < kMaxInfos) {
        m_infos[m_infoCount].iid = iid;
        m_infos[m_infoCount].info = found.get();
        found->AddRef();
        ++m_infoCount;
    }
    *info = found.Detach();
    return S_OK;
}

void ComDllModule::ReleaseTypeInfos() noexcept
{
    for (int i = 0; i < m_infoCount; ++i) {
        if (m_infos[i].info) m_infos[i].info->Release();
        m_infos[i].info = nullptr;
    }
    m_infoCount = 0;
}

ModuleContext::ModuleContext(ComDllModule& module) noexcept : m_previous(ResourceInstance())
{
    if (module.Instance()) SetResourceInstance(module.Instance());
    const HANDLE actCtx = module.ActivationContext();
    if (actCtx != INVALID_HANDLE_VALUE && actCtx != nullptr)
        m_activated = ::ActivateActCtx(actCtx, &m_cookie) != FALSE;
}

ModuleContext::~ModuleContext()
{
    if (m_activated) ::DeactivateActCtx(0, m_cookie);
    SetResourceInstance(m_previous);
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    const LONG refs = ::InterlockedIncrement(&m_refs);
    if (refs == 2) m_module.Lock();
    return static_cast<ULONG>(refs);
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 1) m_module.Unlock();
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_create(outer, iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        m_module.Lock();
    else
        m_module.Unlock();
    return S_OK;
}

std::wstring GuidText(REFGUID guid)
{
    return Format(L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(guid.Data1),
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

HRESULT ModulePath(HMODULE module, std::wstring& path) noexcept
{
    wchar_t buffer[MAX_PATH] = {};
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length >= MAX_PATH || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    try {
        path.assign(buffer, length);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT OpenClassesRoot(bool perUser, UniqueRegKey& root) noexcept
{
    if (!perUser) {
        root.reset();
        // A handle of our own, so the caller can close it like any other.
        const LONG rc = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS, root.put());
        return HResultFromCode(rc);
    }
    const LONG rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      root.put(), nullptr);
    return HResultFromCode(rc);
}

HRESULT SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) noexcept
{
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LONG rc = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    return HResultFromCode(rc);
}

namespace {

using RegisterForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

FARPROC OleAutProc(const char* name)
{
    const HMODULE oleaut = ::GetModuleHandleW(L"oleaut32.dll");
    return oleaut ? ::GetProcAddress(oleaut, name) : nullptr;
}

}  // namespace

HRESULT RegisterEmbeddedTypeLib(const std::wstring& modulePath, bool perUser) noexcept
{
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring path = modulePath;
    if (perUser) {
        if (auto reg = reinterpret_cast<RegisterForUserFn>(reinterpret_cast<void*>(OleAutProc("RegisterTypeLibForUser"))))
            return reg(lib.get(), path.data(), nullptr);
    }
    return ::RegisterTypeLib(lib.get(), path.data(), nullptr);
}

HRESULT UnregisterEmbeddedTypeLib(const std::wstring& modulePath, bool perUser) noexcept
{
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR copy = *attr;
    lib->ReleaseTLibAttr(attr);
    if (perUser) {
        if (auto unreg = reinterpret_cast<UnregisterForUserFn>(reinterpret_cast<void*>(OleAutProc("UnRegisterTypeLibForUser"))))
            return unreg(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    }
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

}  // namespace fx
