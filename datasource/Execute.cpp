#include "datasource/PluginDataSourceScan2Mepla.h"

HRESULT CPluginDataSourceScan2Mepla::Execute(const GUID& id, const wchar_t* fileList, VARIANT_BOOL deleteSources,
                                             DWORD ignored)
{
    return E_NOTIMPL;
}
