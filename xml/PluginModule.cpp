#include "xml/PluginModule.h"

#include "datasource/MyModule.h"
#include "datasource/MyPath.h"

std::wstring PluginModule::GetFilePath() const
{
    const std::wstring module = MyModule(m_strModuleFileName).GetFileName();
    if (module.empty()) return std::wstring();
    const std::wstring folder = MyFilePath(module).GetFolder();
    if (folder.empty()) return std::wstring();
    return MyFolderPath(folder).Append(m_strFileName);
}
