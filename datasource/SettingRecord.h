// The settings of one setting instance in memory.
#pragma once

#include <windows.h>

#include <string>

class SettingRecord {
public:
    SettingRecord() : m_ID() {}
    explicit SettingRecord(const GUID& id) : m_ID(id) {}
    SettingRecord(const SettingRecord& other) = default;
    // Assignment copies the settings, never the ID.
    SettingRecord& operator=(const SettingRecord& other)
    {
        m_Path = other.m_Path;
        m_Parameter = other.m_Parameter;
        m_Name = other.m_Name;
        m_SaveID = other.m_SaveID;
        m_SaveFoloder = other.m_SaveFoloder;
        return *this;
    }

    const GUID& GetID() const { return m_ID; }
    void SetID(const GUID& id) { m_ID = id; }
    std::wstring GetPath() const { return m_Path; }
    void SetPath(const std::wstring& v) { m_Path = v; }
    std::wstring GetParameter() const { return m_Parameter; }
    void SetParameter(const std::wstring& v) { m_Parameter = v; }
    std::wstring GetName() const { return m_Name; }
    void SetName(const std::wstring& v) { m_Name = v; }
    std::wstring GetSaveFoloder() const { return m_SaveFoloder; }
    void SetSaveFoloder(const std::wstring& v) { m_SaveFoloder = v; }
    long GetSaveID() const { return m_SaveID; }
    void SetSaveID(long v) { m_SaveID = v; }

private:
    GUID m_ID;
    std::wstring m_Path;
    std::wstring m_Parameter;
    std::wstring m_Name;
    std::wstring m_SaveFoloder;
    long m_SaveID = 0;
};
