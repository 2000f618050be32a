// Readers of the settings file "AppSettings.XML".  Every read is one complete
// load of the file.  Codes are Windows error numbers (0 success), plus
// kNoSuchElement when the file parses but has no element for the value.
#pragma once

#include <windows.h>

#include <string>

#include "datasource/MyGuid.h"
#include "datasource/MyPath.h"
#include "datasource/SettingRecord.h"
#include "framework/NamedMutex.h"

// The file exists and parses, but has no Setting of this ID (mode 1) or no
// CommonSetting (mode 0).
constexpr long kNoSuchElement = 0x23000000L;

// Modes: 0 = the CommonSetting element, 1 = the Setting element of the ID.
class PluginReader {
public:
    virtual ~PluginReader() = default;
    // Reserved slot: does nothing.
    virtual long Reserved(const wchar_t* a, const wchar_t* b, int c) { return 0; }
    virtual long ReadInt(long* out, const wchar_t* name, int mode) { return 0; }
    virtual long ReadBool(bool* out, const wchar_t* name, int mode) { return 0; }
    virtual long ReadString(std::wstring* out, const wchar_t* name, int mode) { return 0; }
};

class PluginReaderXML : public PluginReader {
public:
    explicit PluginReaderXML(const MyGuid& id) : m_id(id) {}

    long ReadInt(long* out, const wchar_t* name, int mode) override;
    long ReadBool(bool* out, const wchar_t* name, int mode) override;
    long ReadString(std::wstring* out, const wchar_t* name, int mode) override;
    virtual long SetId(const MyGuid& id)
    {
        m_id = id;
        return 0;
    }
    // The "LastUpdate" time stamp of the ID's Setting as a local time value.
    virtual long ReadLastUpdate(__time64_t* out);
    virtual MyFilePath GetFilePath() const = 0;

protected:
    MyGuid m_id;
};

class PluginReaderXMLApp : public PluginReaderXML {
public:
    // Creates the named mutex not owned, or opens it; throws
    // fx::ResourceException when the system refuses.
    PluginReaderXMLApp(const MyGuid& id, const MyFilePath& path, const wchar_t* mutexName);

    MyFilePath GetFilePath() const override { return m_path; }

    // Path, Parameter, Name, SaveFoloder, SaveID of this object's ID, under
    // the mutex; stops at the first failure (fields read before it stay set).
    long ReadSettings(SettingRecord& record);

private:
    MyFilePath m_path;
    fx::NamedMutex m_mutex;
};
