#include "plugin/ScanToMeplaPlugin.h"

#include <shlwapi.h>

#include <new>
#include <string>

#include "framework/Format.h"
#include "framework/Result.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"
#include "services/Localize.h"

namespace {

// A translation is used as a format only when its placeholders are exactly
// one "%s" (and "%%"); anything else would read arguments that are not there.
bool TakesOneText(const wchar_t* format)
{
    int texts = 0;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') continue;
        if (*p != L's') return false;
        ++texts;
    }
    return texts == 1;
}

// The localized host text for `key` with the display name in its placeholder.
std::wstring HostText(const char* key)
{
    const LocalText localized = LocalizeText(key);
    if (TakesOneText(localized.c_str())) return fx::Format(localized.c_str(), kTargetDisplayName);
    const std::wstring english = fx::FromUtf8(key);
    return fx::Format(english.c_str(), kTargetDisplayName);
}

void PutBstr(BSTR* out, const std::wstring& text)
{
    *out = fx::MakeBstr(text).release();
}

// A negative result of a data-source operation: the method's failure line,
// then the code travels to the frame.
void CheckForwarded(HRESULT hr, const wchar_t* label)
{
    if (FAILED(hr)) throw fx::ComError(LogFailure(label, hr));
}

}  // namespace

HRESULT CScanToMeplaPlugin::Create(IUnknown* outer, REFIID iid, void** out)
{
    auto* object = new (std::nothrow) CScanToMeplaPlugin(outer);
    if (!object) return E_OUTOFMEMORY;
    object->InternalAddRef();
    const HRESULT hr = object->m_inner.QueryInterface(iid, out);
    object->InternalRelease();  // destroys the object when the query failed
    return hr;
}

CScanToMeplaPlugin::CScanToMeplaPlugin(IUnknown* outer) : m_outer(outer)
{
    m_inner.self = this;
    g_Module.Lock();
}

CScanToMeplaPlugin::~CScanToMeplaPlugin()
{
    g_Module.Unlock();
}

HRESULT CScanToMeplaPlugin::InternalQueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    IUnknown* face = nullptr;
    if (IsEqualIID(iid, IID_IUnknown))
        face = m_outer ? static_cast<IUnknown*>(&m_inner) : static_cast<IScanToMeplaPlugin*>(this);
    else if (IsEqualIID(iid, IID_IScanToMeplaPlugin))
        face = static_cast<IScanToMeplaPlugin*>(this);
    else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ITVOPlugin2))
        face = static_cast<ITVOPlugin2*>(this);
    if (!face) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    face->AddRef();
    *out = face;
    return S_OK;
}

ULONG CScanToMeplaPlugin::InternalAddRef()
{
    return static_cast<ULONG>(++m_refs);
}

ULONG CScanToMeplaPlugin::InternalRelease()
{
    const LONG refs = --m_refs;
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CScanToMeplaPlugin::Inner::QueryInterface(REFIID iid, void** out)
{
    return self->InternalQueryInterface(iid, out);
}
STDMETHODIMP_(ULONG) CScanToMeplaPlugin::Inner::AddRef() { return self->InternalAddRef(); }
STDMETHODIMP_(ULONG) CScanToMeplaPlugin::Inner::Release() { return self->InternalRelease(); }

STDMETHODIMP CScanToMeplaPlugin::QueryInterface(REFIID iid, void** out)
{
    if (m_outer) return m_outer->QueryInterface(iid, out);
    return InternalQueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) CScanToMeplaPlugin::AddRef()
{
    if (m_outer) return m_outer->AddRef();
    return InternalAddRef();
}

STDMETHODIMP_(ULONG) CScanToMeplaPlugin::Release()
{
    if (m_outer) return m_outer->Release();
    return InternalRelease();
}

bool CScanToMeplaPlugin::TargetInstalled()
{
    const std::wstring path = m_Data.GetAppPath(nullptr);
    return ::PathFileExistsW(path.c_str()) == 1;
}

STDMETHODIMP CScanToMeplaPlugin::GetPluginName(BSTR* name)
{
    return fx::HostCall(g_Module, [&] {
        PutBstr(name, HostText("Tessivo plug-in for %s"));
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetSendToName(BSTR* name)
{
    return fx::HostCall(g_Module, [&] {
        PutBstr(name, HostText("Send to %s"));
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetDescription(BSTR* text)
{
    return fx::HostCall(g_Module, [&] {
        PutBstr(text, HostText("Function to link %s and Tessivo"));
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetPluginVersion(BSTR* version)
{
    return fx::HostCall(g_Module, [&] {
        PutBstr(version, m_Data.GetModuleVersion());
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetIconPath(BSTR* path)
{
    return fx::HostCall(g_Module, [&] {
        PutBstr(path, m_Data.GetIconPath());
        return S_OK;
    });
}

namespace {

HRESULT Answer(VARIANT_BOOL* out, VARIANT_BOOL value)
{
    return fx::HostCall(g_Module, [&] {
        *out = value;
        return S_OK;
    });
}

}  // namespace

STDMETHODIMP CScanToMeplaPlugin::GetFlagA(VARIANT_BOOL* flag) { return Answer(flag, VARIANT_TRUE); }
STDMETHODIMP CScanToMeplaPlugin::GetFlagB(VARIANT_BOOL* flag) { return Answer(flag, VARIANT_FALSE); }
STDMETHODIMP CScanToMeplaPlugin::GetFlagC(VARIANT_BOOL* flag) { return Answer(flag, VARIANT_TRUE); }
STDMETHODIMP CScanToMeplaPlugin::GetFlagD(VARIANT_BOOL* flag) { return Answer(flag, VARIANT_TRUE); }
STDMETHODIMP CScanToMeplaPlugin::GetFlagE(VARIANT_BOOL* flag) { return Answer(flag, VARIANT_TRUE); }

STDMETHODIMP CScanToMeplaPlugin::IsTargetMissing(VARIANT_BOOL* missing)
{
    return fx::HostCall(g_Module, [&] {
        *missing = TargetInstalled() ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::SetValue1(LONG value)
{
    return fx::HostCall(g_Module, [] { return S_OK; });
}

STDMETHODIMP CScanToMeplaPlugin::SetValue2(LONG value)
{
    return fx::HostCall(g_Module, [] { return S_OK; });
}

STDMETHODIMP CScanToMeplaPlugin::SetLanguage(LANGID language, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        LocSetLocale(language);
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::CreateID(GUID* id, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.CreateID(id), L"m_Data.CreateID");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::DeleteID(GUID id, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.DeleteID(id), L"m_Data.DeleteID");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::CopyID(GUID source, GUID* id, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.CopyID(source, id), L"m_Data.CopyID");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::ShowSettingDlg(GUID id, LONG value, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.ShowSettingDlg(id, static_cast<DWORD>(value)), L"m_Data.ShowSettingDlg");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::Unsupported(LONG value1, LONG value2)
{
    return E_NOTIMPL;
}

STDMETHODIMP CScanToMeplaPlugin::IsSupoortFileType(BSTR fileType, VARIANT_BOOL* supported, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.IsSupoortFileType(fileType ? fileType : L"", supported), L"m_Data.IsSupoortFileType");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::Execute(GUID id, BSTR fileList, VARIANT_BOOL deleteSources, LONG value,
                                         LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.Execute(id, fileList ? fileList : L"", deleteSources, static_cast<DWORD>(value)),
                       L"m_Data.Execute");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::SettingsSummary(GUID id, BSTR* text, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        std::wstring summary;
        if (TargetInstalled())
            CheckForwarded(m_Data.SettingsSummary(id, summary), L"m_Data.SettingsSummary");
        else
            summary = HostText("Install the %s.");
        PutBstr(text, summary);
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::ImportData(BSTR folder, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        CheckForwarded(m_Data.ImportData(folder ? folder : L""), L"m_Data.ImportData");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::ExportData(BSTR folder, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        // Both folder operations log under the one label.
        CheckForwarded(m_Data.ExportData(folder ? folder : L""), L"m_Data.ImportData");
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetInstanceFlag(GUID id, VARIANT_BOOL* flag, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        m_Data.GetInstanceFlag(id, flag);
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::GetInstanceText(GUID id, BSTR* text, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        std::wstring summary;
        m_Data.CPluginDataSourceScan2Mepla::SettingsSummary(id, summary);
        PutBstr(text, summary);
        return S_OK;
    });
}

STDMETHODIMP CScanToMeplaPlugin::NotifyInstance(GUID id, LONG_PTR reserved)
{
    return fx::HostCall(g_Module, [&] {
        m_Data.NotifyInstance(id);
        return S_OK;
    });
}
