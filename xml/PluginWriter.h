// Writers of the settings file "AppSettings.XML".  Every write is one complete
// load-change-save cycle.  Codes are Windows error numbers (0 success).
#pragma once

#include <windows.h>

#include <string>

#include "datasource/MyGuid.h"
#include "datasource/MyPath.h"
#include "datasource/SettingRecord.h"
#include "framework/NamedMutex.h"

// Modes: 0 = the CommonSetting element, 1 = the Setting element of the ID.
class PluginWriter {
public:
    virtual ~PluginWriter() = default;
    // Reserved slot: does nothing.
    virtual long Reserved(const wchar_t* a, const wchar_t* b, int c) { return 0; }
    virtual long WriteInt(const wchar_t* name, long value, int mode) { return 0; }
    virtual long WriteBool(const wchar_t* name, bool value, int mode) { return 0; }
    virtual long WriteString(const wchar_t* name, const std::wstring& value, int mode) { return 0; }
};

class PluginWriterXML : public PluginWriter {
public:
    explicit PluginWriterXML(const MyGuid& id) : m_id(id) {}

    long WriteInt(const wchar_t* name, long value, int mode) override;
    long WriteBool(const wchar_t* name, bool value, int mode) override;
    long WriteString(const wchar_t* name, const std::wstring& value, int mode) override;
    virtual long SetId(const MyGuid& id)
    {
        m_id = id;
        return 0;
    }
    // Removes the first Setting of the ID and saves: 2 when the file cannot
    // be loaded, 160 when there is no such Setting.
    virtual long DeleteSetting();
    virtual MyFilePath GetFilePath() const = 0;

protected:
    MyGuid m_id;
};

// The same operations, each inside the named mutex: 5 when it is not
// acquired, 6 when releasing it fails (replacing the operation's result).
class PluginWriterXMLwithMutex : public PluginWriterXML {
public:
    // Creates the named mutex not owned, or opens it; throws
    // fx::ResourceException when the system refuses.
    PluginWriterXMLwithMutex(const MyGuid& id, const wchar_t* mutexName);

    long WriteInt(const wchar_t* name, long value, int mode) override;
    long WriteBool(const wchar_t* name, bool value, int mode) override;
    long WriteString(const wchar_t* name, const std::wstring& value, int mode) override;
    long DeleteSetting() override;
    MyFilePath GetFilePath() const override = 0;
    // Waits without a time limit; an abandoned mutex counts as acquired.
    virtual bool Lock();
    virtual bool Unlock();

private:
    fx::NamedMutex m_mutex;
};

class PluginWriterXMLApp : public PluginWriterXMLwithMutex {
public:
    PluginWriterXMLApp(const MyGuid& id, const MyFilePath& path, const wchar_t* mutexName);

    MyFilePath GetFilePath() const override { return m_path; }

    // Path, Parameter, Name, SaveFoloder, SaveID in mode 1, all inside one
    // hold of the mutex; stops at the first failure.
    long WriteSettings(const SettingRecord& record);

private:
    MyFilePath m_path;
};
