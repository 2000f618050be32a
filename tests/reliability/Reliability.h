// What the reliability tests share: the plug-in's settings file, the IDs in
// it, and whether a file parses at all.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "datasource/PluginDataSource.h"
#include "tests/support/TestSupport.h"
#include "xml/MyXml.h"

namespace reliability {

inline std::wstring SettingsFile()
{
    CPluginDataSource source;
    std::wstring file;
    source.GetSettingsFile(file);
    return file;
}

inline std::wstring SettingsFolder()
{
    const std::wstring file = SettingsFile();
    return file.substr(0, file.find_last_of(L'\\'));
}

inline bool Parses(const std::wstring& path)
{
    try {
        MyXmlReader reader;
        return reader.LoadFile(path) == S_OK;
    } catch (...) {
        return false;
    }
}

// The ID attribute of every "Setting" element; false when the file does not parse.
inline bool SettingIds(const std::wstring& path, std::set<std::wstring>& ids)
{
    ids.clear();
    try {
        MyXmlReader reader;
        if (reader.LoadFile(path) != S_OK) return false;
        for (MyXmlNode* node = reader.SelectByTagName(L"Setting"); node; node = reader.MoveNext()) {
            std::wstring id;
            if (reader.GetAttribute(id, L"ID") == S_OK) ids.insert(id);
        }
        return true;
    } catch (...) {
        return false;
    }
}

inline std::wstring IdText(const GUID& id)
{
    wchar_t buffer[40] = {};
    ::StringFromGUID2(id, buffer, 40);
    return buffer;
}

}  // namespace reliability
