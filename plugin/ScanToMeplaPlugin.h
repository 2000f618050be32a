// The plug-in object the host creates and drives through ITVOPlugin2.
#pragma once

#include <windows.h>

#include "Scan2MeplaLib.h"
#include "TVOPluginIF.h"
#include "datasource/PluginDataSourceScan2Mepla.h"
#include "framework/ComServer.h"
#include "plugin/Scan2MeplaModule.h"

class CScanToMeplaPlugin final : public fx::DispatchFace<IScanToMeplaPlugin, OwnTypeLib>,
                           public fx::DispatchFace<ITVOPlugin2, HostTypeLib> {
public:
    // Creates an object, alone or aggregated in `outer`, and asks it for `iid`.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    // IUnknown of both faces (delegating to the outer object when aggregated).
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ITVOPlugin2, in vtable order.
    STDMETHODIMP GetPluginName(BSTR* name) override;
    STDMETHODIMP GetSendToName(BSTR* name) override;
    STDMETHODIMP GetDescription(BSTR* text) override;
    STDMETHODIMP GetPluginVersion(BSTR* version) override;
    STDMETHODIMP GetIconPath(BSTR* path) override;
    STDMETHODIMP GetFlagA(VARIANT_BOOL* flag) override;
    STDMETHODIMP GetFlagB(VARIANT_BOOL* flag) override;
    STDMETHODIMP GetFlagC(VARIANT_BOOL* flag) override;
    STDMETHODIMP IsTargetMissing(VARIANT_BOOL* missing) override;
    STDMETHODIMP GetFlagD(VARIANT_BOOL* flag) override;
    STDMETHODIMP GetFlagE(VARIANT_BOOL* flag) override;
    STDMETHODIMP SetValue1(LONG value) override;
    STDMETHODIMP SetValue2(LONG value) override;
    STDMETHODIMP SetLanguage(LANGID language, LONG_PTR reserved) override;
    STDMETHODIMP CreateID(GUID* id, LONG_PTR reserved) override;
    STDMETHODIMP DeleteID(GUID id, LONG_PTR reserved) override;
    STDMETHODIMP CopyID(GUID source, GUID* id, LONG_PTR reserved) override;
    STDMETHODIMP ShowSettingDlg(GUID id, LONG value, LONG_PTR reserved) override;
    STDMETHODIMP Unsupported(LONG value1, LONG value2) override;
    STDMETHODIMP IsSupoortFileType(BSTR fileType, VARIANT_BOOL* supported, LONG_PTR reserved) override;
    STDMETHODIMP Execute(GUID id, BSTR fileList, VARIANT_BOOL deleteSources, LONG value, LONG_PTR reserved) override;
    STDMETHODIMP SettingsSummary(GUID id, BSTR* text, LONG_PTR reserved) override;
    STDMETHODIMP ImportData(BSTR folder, LONG_PTR reserved) override;
    STDMETHODIMP ExportData(BSTR folder, LONG_PTR reserved) override;
    STDMETHODIMP GetInstanceFlag(GUID id, VARIANT_BOOL* flag, LONG_PTR reserved) override;
    STDMETHODIMP GetInstanceText(GUID id, BSTR* text, LONG_PTR reserved) override;
    STDMETHODIMP NotifyInstance(GUID id, LONG_PTR reserved) override;

private:
    // The non-delegating IUnknown an outer object holds.
    struct Inner : IUnknown {
        CScanToMeplaPlugin* self;
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    };

    explicit CScanToMeplaPlugin(IUnknown* outer);
    ~CScanToMeplaPlugin();

    HRESULT InternalQueryInterface(REFIID iid, void** out);
    ULONG InternalAddRef();
    ULONG InternalRelease();
    // True when the launcher of the target application exists.
    bool TargetInstalled();

    LONG m_refs = 0;
    IUnknown* m_outer;
    Inner m_inner;
    CPluginDataSourceScan2Mepla m_Data;
};
