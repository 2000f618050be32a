// A loaded module, named by its file name, and its version resource.
#pragma once

#include <string>

class MyModule {
public:
    explicit MyModule(std::wstring fileName) : m_strFileName(std::move(fileName)) {}
    virtual ~MyModule() = default;

    // Full path of the loaded module of that name; empty when no such module
    // is loaded (never the host's executable).
    std::wstring GetFileName() const;
    // FileVersion of the module with "," turned into "."; empty when unknown.
    std::wstring GetVersion() const;

private:
    std::wstring m_strFileName;
};
