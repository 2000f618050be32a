#include "xml/PluginWriter.h"

#include "framework/Format.h"
#include "xml/MyXml.h"
#include "xml/SettingsXml.h"

using namespace settingsxml;

namespace {

// A save that fails without throwing still must not pass for success.
void Save(MyXmlWriter& writer, const std::wstring& path)
{
    fx::ThrowIfFailed(writer.SaveFile(path));
}

long WriteCommonValue(MyXmlWriter& writer, const wchar_t* name, const std::wstring& value)
{
    if (!writer.SelectByTagName(L"CommonSetting")) {
        if (!writer.SelectByTagName(L"Objects")) return kBadEnvironment;
        const HRESULT hr = writer.AddChild(L"CommonSetting");
        if (hr != S_OK) return hr;
        if (!writer.SelectByTagName(L"CommonSetting")) return 0;
    }
    return writer.SetChildText(name, value, true) != S_OK ? kInvalidData : 0;
}

long WriteInstanceValue(MyXmlWriter& writer, const MyGuid& id, const wchar_t* name, const std::wstring& value)
{
    if (!FindSetting(writer, id)) {
        if (!writer.SelectByTagName(L"Objects")) return kBadEnvironment;
        const std::wstring braced = id.ToString(1);
        const HRESULT hr = writer.AddChild(L"Setting", nullptr, L"ID", braced.c_str());
        if (hr != S_OK) return hr;
        if (!FindSetting(writer, id)) return 0;
    }
    if (writer.SetChildText(name, value, true) != S_OK) return kInvalidData;
    // SetChildText may have moved the cursor onto a new child.
    if (!FindSetting(writer, id)) return kBadArguments;
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    wchar_t stamp[128] = {};
    fx::FormatInto(stamp, 128, L"%04u/%02u/%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                   now.wMinute, now.wSecond);
    return writer.SetAttribute(L"LastUpdate", stamp) != S_OK ? kBadEnvironment : 0;
}

}  // namespace

long PluginWriterXML::WriteString(const wchar_t* name, const std::wstring& value, int mode)
{
    if (!name) return kBadArguments;
    const MyFilePath path = GetFilePath();
    const MyFolderPath folder(path.GetFolder());
    if (!folder.GetPathConst().empty() && !folder.Exists()) {
        const long result = folder.CreateTree();
        if (result != 0) return result;
    }
    MyXmlWriterUtf8 writer;
    const HRESULT loaded = writer.LoadFile(path.GetPathConst());
    if (loaded == E_INVALIDARG) {
        // An existing file that does not parse is never replaced.
        if (path.Exists()) return kAccessDenied;
        if (writer.CreateDocument(L"Objects") != S_OK) return kAccessDenied;
    } else if (loaded != S_OK) {
        return kInternalError;
    }
    long result = 0;
    if (mode == 0) {
        result = WriteCommonValue(writer, name, value);
    } else if (mode == 1) {
        result = WriteInstanceValue(writer, m_id, name, value);
    } else {
        return kBadArguments;
    }
    if (result == 0) Save(writer, path.GetPathConst());
    return result;
}

long PluginWriterXML::WriteInt(const wchar_t* name, long value, int mode)
{
    return PluginWriterXML::WriteString(name, fx::Format(L"%ld", value), mode);
}

long PluginWriterXML::WriteBool(const wchar_t* name, bool value, int mode)
{
    return PluginWriterXML::WriteString(name, value ? L"1" : L"0", mode);
}

long PluginWriterXML::DeleteSetting()
{
    const MyFilePath path = GetFilePath();
    MyXmlWriterUtf8 writer;
    if (writer.LoadFile(path.GetPathConst()) != S_OK) return kFileNotFound;
    const std::wstring braced = m_id.ToString(1);
    if (writer.RemoveElement(L"Setting", nullptr, L"ID", braced.c_str()) != S_OK) return kBadArguments;
    Save(writer, path.GetPathConst());
    return 0;
}

PluginWriterXMLwithMutex::PluginWriterXMLwithMutex(const MyGuid& id, const wchar_t* mutexName)
    : PluginWriterXML(id), m_mutex(mutexName)
{
}

bool PluginWriterXMLwithMutex::Lock()
{
    return m_mutex.Lock(INFINITE);
}

bool PluginWriterXMLwithMutex::Unlock()
{
    return m_mutex.Unlock();
}

namespace {

// Runs one operation inside the mutex: 5 when it is not acquired, 6 when it
// cannot be released.  A throwing operation releases it too, so that other
// processes are not blocked by a thread that goes on living.
template <typename F>
long Locked(PluginWriterXMLwithMutex& writer, F&& operation)
{
    if (!writer.Lock()) return kAccessDenied;
    long result = 0;
    try {
        result = operation();
    } catch (...) {
        writer.Unlock();
        throw;
    }
    if (!writer.Unlock()) return kInvalidHandle;
    return result;
}

}  // namespace

long PluginWriterXMLwithMutex::WriteInt(const wchar_t* name, long value, int mode)
{
    return Locked(*this, [&] { return PluginWriterXML::WriteInt(name, value, mode); });
}

long PluginWriterXMLwithMutex::WriteBool(const wchar_t* name, bool value, int mode)
{
    return Locked(*this, [&] { return PluginWriterXML::WriteBool(name, value, mode); });
}

long PluginWriterXMLwithMutex::WriteString(const wchar_t* name, const std::wstring& value, int mode)
{
    return Locked(*this, [&] { return PluginWriterXML::WriteString(name, value, mode); });
}

long PluginWriterXMLwithMutex::DeleteSetting()
{
    return Locked(*this, [&] { return PluginWriterXML::DeleteSetting(); });
}

PluginWriterXMLApp::PluginWriterXMLApp(const MyGuid& id, const MyFilePath& path, const wchar_t* mutexName)
    : PluginWriterXMLwithMutex(id, mutexName), m_path(path)
{
}

long PluginWriterXMLApp::WriteSettings(const SettingRecord& record)
{
    return Locked(*this, [&]() -> long {
        const std::pair<const wchar_t*, std::wstring> texts[] = {
            {L"Path", record.GetPath()},
            {L"Parameter", record.GetParameter()},
            {L"Name", record.GetName()},
            {L"SaveFoloder", record.GetSaveFoloder()},
        };
        for (const auto& text : texts) {
            const long result = PluginWriterXML::WriteString(text.first, text.second, 1);
            if (result != 0) return result;
        }
        return PluginWriterXML::WriteInt(L"SaveID", record.GetSaveID(), 1);
    });
}
