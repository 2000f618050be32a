// A file that lies beside a loaded module.
#pragma once

#include <string>

class PluginModule {
public:
    PluginModule(const wchar_t* moduleFileName, const wchar_t* fileName)
        : m_strModuleFileName(moduleFileName ? moduleFileName : L""), m_strFileName(fileName ? fileName : L"")
    {
    }
    virtual ~PluginModule() = default;

    // The loaded module's folder joined with the file name; empty when the
    // module is not loaded or its folder cannot be found.
    std::wstring GetFilePath() const;

private:
    std::wstring m_strModuleFileName;
    std::wstring m_strFileName;
};
