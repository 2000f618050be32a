#include "datasource/PluginDataSource.h"

HRESULT CPluginDataSource::ShowSettingDlg(const GUID& id, DWORD ignored)
{
    return E_NOTIMPL;
}
