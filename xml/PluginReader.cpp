#include "xml/PluginReader.h"

#include <oleauto.h>

#include <ctime>

#include "framework/Format.h"
#include "xml/MyXml.h"
#include "xml/SettingsXml.h"

using namespace settingsxml;

long PluginReaderXML::ReadString(std::wstring* out, const wchar_t* name, int mode)
{
    if (!out || !name) return kBadArguments;
    const MyFilePath path = GetFilePath();
    if (!path.Exists()) return kFileNotFound;
    MyXmlReader reader;
    if (reader.LoadFile(path.GetPathConst()) != S_OK) return kAccessDenied;
    if (mode == 0) {
        if (!reader.SelectByTagName(L"CommonSetting")) return kNoSuchElement;
    } else if (mode == 1) {
        if (!FindSetting(reader, m_id)) return kNoSuchElement;
    } else {
        return kBadArguments;
    }
    std::wstring text;
    if (reader.GetChildText(text, name) != S_OK) return kBadEnvironment;
    *out = std::move(text);
    return 0;
}

long PluginReaderXML::ReadInt(long* out, const wchar_t* name, int mode)
{
    if (!out) return kBadArguments;
    std::wstring text = fx::Format(L"%ld", *out);
    const long result = ReadString(&text, name, mode);
    if (result != 0) return result;
    long value = 0;
    if (!ParseInteger(text, value)) return kBadArguments;
    *out = value;
    return 0;
}

long PluginReaderXML::ReadBool(bool* out, const wchar_t* name, int mode)
{
    if (!out) return kBadArguments;
    std::wstring text = *out ? L"1" : L"0";
    const long result = ReadString(&text, name, mode);
    if (result != 0) return result;
    bool value = false;
    if (!ParseFlag(text, value)) return kBadArguments;
    *out = value;
    return 0;
}

namespace {

// "%Y/%m/%d %H:%M:%S" read as the Japanese locale reads a date and time,
// to a local time value; false when it does not convert.
bool ParseLastUpdate(const std::wstring& text, __time64_t& out)
{
    const LCID japanese = MAKELCID(0x0411, SORT_DEFAULT);
    fx::UniqueBstr b = fx::MakeBstr(text);
    DATE date = 0;
    if (FAILED(::VarDateFromStr(b.get(), japanese, 0, &date))) return false;
    SYSTEMTIME st = {};
    if (!::VariantTimeToSystemTime(date, &st)) return false;
    if (st.wYear < 1900) {
        out = 0;
        return true;
    }
    std::tm tm = {};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    tm.tm_isdst = -1;
    const __time64_t value = ::_mktime64(&tm);
    if (value == -1) return false;
    out = value;
    return true;
}

}  // namespace

long PluginReaderXML::ReadLastUpdate(__time64_t* out)
{
    if (!out) return kBadArguments;
    const MyFilePath path = GetFilePath();
    if (!path.Exists()) return kFileNotFound;
    MyXmlReader reader;
    if (reader.LoadFile(path.GetPathConst()) != S_OK) return kAccessDenied;
    if (!FindSetting(reader, m_id)) return kNoSuchElement;
    std::wstring text;
    if (reader.GetAttribute(text, L"LastUpdate") != S_OK) return kBadEnvironment;
    try {
        __time64_t value = 0;
        if (!ParseLastUpdate(text, value)) return kBadEnvironment;
        *out = value;
        return 0;
    } catch (...) {
        return kBadEnvironment;
    }
}

PluginReaderXMLApp::PluginReaderXMLApp(const MyGuid& id, const MyFilePath& path, const wchar_t* mutexName)
    : PluginReaderXML(id), m_path(path), m_mutex(mutexName)
{
}

long PluginReaderXMLApp::ReadSettings(SettingRecord& record)
{
    if (!m_mutex.Lock(INFINITE)) return kAccessDenied;
    // The mutex is released also when a read throws, so that no other
    // process waits forever for a thread that goes on living.
    struct Release {
        fx::NamedMutex& mutex;
        ~Release() { mutex.Unlock(); }
    } release{m_mutex};

    struct Text {
        const wchar_t* name;
        void (SettingRecord::*set)(const std::wstring&);
    };
    static const Text kTexts[] = {
        {L"Path", &SettingRecord::SetPath},
        {L"Parameter", &SettingRecord::SetParameter},
        {L"Name", &SettingRecord::SetName},
        {L"SaveFoloder", &SettingRecord::SetSaveFoloder},
    };
    for (const Text& t : kTexts) {
        std::wstring value;
        const long result = ReadString(&value, t.name, 1);
        if (result != 0) return result;
        (record.*t.set)(value);
    }
    long saveId = 0;
    const long result = ReadInt(&saveId, L"SaveID", 1);
    if (result != 0) return result;
    record.SetSaveID(saveId);
    return 0;
}
