// The settings file "AppSettings.XML": layout, value rules, codes, the
// merger and the file beside a module.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "framework/Format.h"
#include "tests/support/TestSupport.h"
#include "xml/MyXml.h"
#include "xml/PluginModule.h"
#include "xml/PluginReader.h"
#include "xml/PluginWriter.h"
#include "xml/PluginXMLAppender.h"

using s2mtest::ScratchDir;

namespace {

const wchar_t kMutex[] = L"ZelScanScan2MeplaMutex";
const GUID kIdA = {0x962B83D5, 0x70E5, 0x4B5E, {0x97, 0x12, 0x56, 0x65, 0x4F, 0x65, 0xA7, 0x6D}};
const GUID kIdB = {0x0A1B2C3D, 0x4E5F, 0x6A7B, {0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3}};
const char kBracedA[] = "{962B83D5-70E5-4B5E-9712-56654F65A76D}";
const char kBracedB[] = "{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2F3}";

SettingRecord Sample(const GUID& id)
{
    SettingRecord r(id);
    r.SetPath(L"C:\\Program Files\\Mepla\\Qstart12.exe");
    r.SetParameter(L"/in %s");
    r.SetName(L"\u30E1\u30D7\u30E9 \u540D\u523A");
    r.SetSaveFoloder(L"D:\\Scans");
    r.SetSaveID(3);
    return r;
}

long Write(const std::wstring& file, const SettingRecord& r)
{
    PluginWriterXMLApp writer(MyGuid(r.GetID()), MyFilePath(file), kMutex);
    return writer.WriteSettings(r);
}

long Read(const std::wstring& file, const GUID& id, SettingRecord& r)
{
    PluginReaderXMLApp reader(MyGuid(id), MyFilePath(file), kMutex);
    return reader.ReadSettings(r);
}

std::string Xml(const std::string& settings)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Objects>" + settings + "</Objects>\r\n";
}

std::string Setting(const char* id, const std::string& children, const char* lastUpdate = "2013/04/01 09:05:00")
{
    return std::string("<Setting ID=\"") + id + "\" LastUpdate=\"" + lastUpdate + "\">" + children + "</Setting>";
}

const std::string kFiveChildren =
    "<Path>p</Path><Parameter>q</Parameter><Name>n</Name><SaveFoloder>f</SaveFoloder><SaveID>2</SaveID>";

// Names of the children of the current node, in order.
std::wstring ChildNames(MyXmlReader& reader)
{
    std::wstring names;
    MyXmlReader* r = &reader;
    if (!r->MoveToChildren()) return L"<none>";
    for (MyXmlNode* n = r->GetCount() ? r : nullptr; n; n = r->MoveNext()) {
        if (!names.empty()) names += L",";
        names += r->GetName();
    }
    return names;
}

}  // namespace

TEST(SettingsFileTest, FirstWriteCreatesFolderAndLayout)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"Torvane\\Scan2Mepla\\AppSettings.XML");
    ASSERT_EQ(Write(file, Sample(kIdA)), 0);

    MyXmlReader reader;
    ASSERT_EQ(reader.LoadFile(file), S_OK);
    ASSERT_NE(reader.SelectByTagName(L"Objects"), nullptr);
    EXPECT_EQ(ChildNames(reader), L"Setting");
    ASSERT_NE(reader.SelectByTagName(L"Setting"), nullptr);
    std::wstring id, stamp;
    ASSERT_EQ(reader.GetAttribute(id, L"ID"), S_OK);
    EXPECT_EQ(fx::ToUtf8(id), kBracedA);
    ASSERT_EQ(reader.GetAttribute(stamp, L"LastUpdate"), S_OK);
    EXPECT_TRUE(std::regex_match(fx::ToUtf8(stamp), std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})")))
        << fx::ToUtf8(stamp);
    EXPECT_EQ(ChildNames(reader), L"Path,Parameter,Name,SaveFoloder,SaveID");

    SettingRecord back(kIdA);
    ASSERT_EQ(Read(file, kIdA, back), 0);
    EXPECT_EQ(back.GetPath(), Sample(kIdA).GetPath());
    EXPECT_EQ(back.GetParameter(), L"/in %s");
    EXPECT_EQ(back.GetName(), L"\u30E1\u30D7\u30E9 \u540D\u523A");
    EXPECT_EQ(back.GetSaveFoloder(), L"D:\\Scans");
    EXPECT_EQ(back.GetSaveID(), 3);

    const std::string bytes = s2mtest::ReadFileBytes(file);
    EXPECT_NE(bytes.find("encoding"), std::string::npos);
    EXPECT_NE(bytes.find(fx::ToUtf8(L"\u30E1\u30D7\u30E9")), std::string::npos);
}

TEST(SettingsFileTest, SecondWriteChangesInPlaceAndRenewsTheStamp)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml(Setting(kBracedB, kFiveChildren) + Setting(kBracedA, kFiveChildren))));
    SettingRecord changed = Sample(kIdA);
    changed.SetName(L"second");
    ASSERT_EQ(Write(file, changed), 0);

    MyXmlReader reader;
    ASSERT_EQ(reader.LoadFile(file), S_OK);
    ASSERT_NE(reader.SelectByTagName(L"Setting"), nullptr);
    EXPECT_EQ(reader.GetCount(), 2);
    std::wstring stamp;
    reader.GetAttribute(stamp, L"LastUpdate");
    EXPECT_EQ(stamp, L"2013/04/01 09:05:00") << "the other instance is untouched";
    ASSERT_NE(reader.MoveNext(), nullptr);
    reader.GetAttribute(stamp, L"LastUpdate");
    EXPECT_NE(stamp, L"2013/04/01 09:05:00");
    EXPECT_EQ(ChildNames(reader), L"Path,Parameter,Name,SaveFoloder,SaveID");

    SettingRecord back;
    ASSERT_EQ(Read(file, kIdA, back), 0);
    EXPECT_EQ(back.GetName(), L"second");
}

TEST(SettingsFileTest, IdsDifferingInCaseAreDifferentInstances)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    std::string lower = kBracedA;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml(Setting(lower.c_str(), kFiveChildren))));
    SettingRecord r;
    EXPECT_EQ(Read(file, kIdA, r), 0x23000000);
    EXPECT_EQ(r.GetPath(), L"");
    ASSERT_EQ(Write(file, Sample(kIdA)), 0);
    MyXmlReader reader;
    ASSERT_EQ(reader.LoadFile(file), S_OK);
    ASSERT_NE(reader.SelectByTagName(L"Setting"), nullptr);
    EXPECT_EQ(reader.GetCount(), 2);
}

TEST(SettingsFileTest, ReadFailures)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    SettingRecord r;
    EXPECT_EQ(Read(file, kIdA, r), 2);
    EXPECT_EQ(r.GetPath(), L"");

    ASSERT_TRUE(s2mtest::WriteFileBytes(
        file, Xml(Setting(kBracedA, "<Path>p</Path><Parameter>q</Parameter><SaveFoloder>f</SaveFoloder>"))));
    EXPECT_EQ(Read(file, kIdB, r), 0x23000000);
    EXPECT_EQ(r.GetPath(), L"");
    EXPECT_EQ(Read(file, kIdA, r), 10);
    EXPECT_EQ(r.GetPath(), L"p");
    EXPECT_EQ(r.GetParameter(), L"q");
    EXPECT_EQ(r.GetSaveFoloder(), L"") << "reads stop at the first failure";

    PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
    std::wstring text;
    EXPECT_EQ(reader.ReadString(&text, L"Path", 2), 160);
    EXPECT_EQ(reader.ReadString(nullptr, L"Path", 1), 160);
    EXPECT_EQ(reader.ReadString(&text, nullptr, 1), 160);
    EXPECT_EQ(reader.ReadString(&text, L"Path", 0), 0x23000000) << "no CommonSetting";
}

TEST(SettingsFileTest, IntegerAndFlagRules)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    struct IntCase { const char* text; long result; long value; };
    const IntCase ints[] = {
        {"3", 0, 3}, {"0012", 0, 12}, {"-1", 160, 7}, {"+1", 160, 7}, {" 1", 160, 7},
        {"1 ", 160, 7}, {"", 160, 7}, {"1x", 160, 7}, {"99999999999", 160, 7},
    };
    for (const IntCase& c : ints) {
        ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml(Setting(kBracedA, std::string("<SaveID>") + c.text + "</SaveID>"))));
        PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
        long value = 7;
        EXPECT_EQ(reader.ReadInt(&value, L"SaveID", 1), c.result) << "'" << c.text << "'";
        EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
    struct FlagCase { const char* text; long result; bool value; };
    const FlagCase flags[] = {
        {"TRUE", 0, true}, {"1", 0, true}, {"False", 0, false}, {"0", 0, false},
        {"yes", 160, true}, {"", 160, true}, {"true ", 160, true},
    };
    for (const FlagCase& c : flags) {
        ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml("<CommonSetting><Flag>" + std::string(c.text) + "</Flag></CommonSetting>")));
        PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
        bool value = true;
        EXPECT_EQ(reader.ReadBool(&value, L"Flag", 0), c.result) << "'" << c.text << "'";
        EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
}

TEST(SettingsFileTest, WritesOfEachKindReadBack)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    PluginWriterXMLApp writer(MyGuid(kIdA), MyFilePath(file), kMutex);
    EXPECT_EQ(writer.WriteBool(L"Flag", true, 0), 0);
    EXPECT_EQ(writer.WriteInt(L"Count", 42, 0), 0);
    EXPECT_EQ(writer.WriteString(L"Text", L" t ", 1), 0);
    EXPECT_EQ(writer.WriteString(L"Text", L"t", 2), 160);
    EXPECT_EQ(writer.WriteString(nullptr, L"t", 1), 160);

    PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
    bool flag = false;
    long count = 0;
    std::wstring text;
    EXPECT_EQ(reader.ReadBool(&flag, L"Flag", 0), 0);
    EXPECT_TRUE(flag);
    EXPECT_EQ(reader.ReadInt(&count, L"Count", 0), 0);
    EXPECT_EQ(count, 42);
    EXPECT_EQ(reader.ReadString(&text, L"Text", 1), 0);
    EXPECT_EQ(text, L" t ") << "blanks around a text are kept";
    __time64_t stamp = 0;
    EXPECT_EQ(reader.ReadLastUpdate(&stamp), 0);
    EXPECT_LT(_abs64(stamp - _time64(nullptr)), 120);

    MyXmlReader xml;
    ASSERT_EQ(xml.LoadFile(file), S_OK);
    ASSERT_NE(xml.SelectByTagName(L"CommonSetting"), nullptr);
    std::wstring none;
    EXPECT_NE(xml.GetAttribute(none, L"LastUpdate"), S_OK) << "common values carry no time stamp";
}

TEST(SettingsFileTest, ReadLastUpdate)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    std::tm tm = {};
    tm.tm_year = 113;
    tm.tm_mon = 3;
    tm.tm_mday = 1;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_isdst = -1;
    const __time64_t expected = _mktime64(&tm);

    struct Case { const char* stamp; long result; __time64_t value; };
    const Case cases[] = {
        {"2013/04/01 09:05:00", 0, expected},
        {"1899/12/31 00:00:00", 0, 0},
        {"2013/13/45 09:05:00", 10, -5},
        {"yesterday", 10, -5},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml(Setting(kBracedA, "", c.stamp))));
        PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
        __time64_t value = -5;
        EXPECT_EQ(reader.ReadLastUpdate(&value), c.result) << c.stamp;
        EXPECT_EQ(value, c.value) << c.stamp;
    }
    ASSERT_TRUE(s2mtest::WriteFileBytes(file, Xml("<Setting ID=\"" + std::string(kBracedA) + "\"/>")));
    PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
    __time64_t value = 0;
    EXPECT_EQ(reader.ReadLastUpdate(&value), 10);
}

TEST(SettingsFileTest, MalformedFileFailsEveryReadAndWriteAndStaysUntouched)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    const std::string broken = Xml(Setting(kBracedA, kFiveChildren)).substr(0, 90);
    ASSERT_TRUE(s2mtest::WriteFileBytes(file, broken));

    SettingRecord r;
    EXPECT_EQ(Read(file, kIdA, r), 5);
    EXPECT_EQ(Write(file, Sample(kIdA)), 5);
    PluginWriterXMLApp writer(MyGuid(kIdA), MyFilePath(file), kMutex);
    EXPECT_EQ(writer.WriteString(L"Path", L"x", 0), 5);
    EXPECT_EQ(writer.DeleteSetting(), 2);
    EXPECT_EQ(s2mtest::ReadFileBytes(file), broken);
}

TEST(SettingsFileTest, DeleteSetting)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    PluginWriterXMLApp writer(MyGuid(kIdA), MyFilePath(file), kMutex);
    EXPECT_EQ(writer.DeleteSetting(), 2) << "no file";
    EXPECT_FALSE(MyFilePath(file).Exists()) << "and none is made";

    const std::string other = Xml(Setting(kBracedB, kFiveChildren));
    ASSERT_TRUE(s2mtest::WriteFileBytes(file, other));
    EXPECT_EQ(writer.DeleteSetting(), 160);
    EXPECT_EQ(s2mtest::ReadFileBytes(file), other) << "not saved";

    ASSERT_TRUE(s2mtest::WriteFileBytes(
        file, Xml(Setting(kBracedA, "<Name>first</Name>") + Setting(kBracedB, "") + Setting(kBracedA, "<Name>second</Name>"))));
    EXPECT_EQ(writer.DeleteSetting(), 0);
    PluginReaderXMLApp reader(MyGuid(kIdA), MyFilePath(file), kMutex);
    std::wstring name;
    EXPECT_EQ(reader.ReadString(&name, L"Name", 1), 0);
    EXPECT_EQ(name, L"second") << "only the first was removed";
}

TEST(SettingsFileTest, AppendReplacesAndAddsBySettingId)
{
    ScratchDir scratch;
    const std::wstring destination = scratch.File(L"AppSettings.XML");
    const std::wstring source = scratch.File(L"Import.XML");
    const char kBracedC[] = "{11111111-2222-3333-4444-555555555555}";
    ASSERT_TRUE(s2mtest::WriteFileBytes(destination, Xml(Setting(kBracedA, "<Name>old A</Name>", "2000/01/01 00:00:00") +
                                                         Setting(kBracedB, "<Name>B</Name>"))));
    const std::string sourceBytes = Xml(Setting(kBracedA, "<Name>new A</Name>", "2020/02/02 02:02:02") +
                                        Setting(kBracedC, "<Name>C</Name>"));
    ASSERT_TRUE(s2mtest::WriteFileBytes(source, sourceBytes));

    PluginXMLAppenderUtf8 appender;
    ASSERT_EQ(appender.Append(destination.c_str(), source.c_str(), L"Setting", L"Objects", L"Objects", L"ID"), 0);
    EXPECT_EQ(s2mtest::ReadFileBytes(source), sourceBytes);

    MyXmlReader reader;
    ASSERT_EQ(reader.LoadFile(destination), S_OK);
    struct Expected { const char* id; const wchar_t* name; const wchar_t* stamp; };
    const Expected expected[] = {
        {kBracedA, L"new A", L"2020/02/02 02:02:02"},
        {kBracedB, L"B", L"2013/04/01 09:05:00"},
        {kBracedC, L"C", L"2013/04/01 09:05:00"},
    };
    MyXmlNode* node = reader.SelectByTagName(L"Setting");
    ASSERT_EQ(reader.GetCount(), 3);
    for (const Expected& e : expected) {
        ASSERT_NE(node, nullptr);
        std::wstring id, name, stamp;
        reader.GetAttribute(id, L"ID");
        reader.GetAttribute(stamp, L"LastUpdate");
        reader.GetChildText(name, L"Name");
        EXPECT_EQ(fx::ToUtf8(id), e.id);
        EXPECT_EQ(name, e.name);
        EXPECT_EQ(stamp, e.stamp);
        node = reader.MoveNext();
    }
}

TEST(SettingsFileTest, AppendIntoMalformedOrMissingDestination)
{
    ScratchDir scratch;
    const std::wstring destination = scratch.File(L"AppSettings.XML");
    const std::wstring source = scratch.File(L"Import.XML");
    PluginXMLAppenderUtf8 appender;
    EXPECT_EQ(appender.Append(destination.c_str(), source.c_str(), L"Setting", L"Objects", L"Objects", L"ID"), 2);

    ASSERT_TRUE(s2mtest::WriteFileBytes(source, Xml(Setting(kBracedA, "<Name>A</Name>") + Setting(kBracedB, "<Name>B</Name>"))));
    ASSERT_TRUE(s2mtest::WriteFileBytes(destination, "<Objects><Setting"));
    ASSERT_EQ(appender.Append(destination.c_str(), source.c_str(), L"Setting", L"Objects", L"Objects", L"ID"), 0);
    for (const GUID& id : {kIdA, kIdB}) {
        PluginReaderXMLApp reader(MyGuid(id), MyFilePath(destination), kMutex);
        std::wstring name;
        EXPECT_EQ(reader.ReadString(&name, L"Name", 1), 0);
    }
    const std::string bytes = s2mtest::ReadFileBytes(destination);
    EXPECT_NE(bytes.find("<?xml"), std::string::npos);
}

TEST(PluginModuleTest, FileBesideALoadedModule)
{
    EXPECT_EQ(PluginModule(L"NotLoadedAtAll.dll", L"ZelMepla.ico").GetFilePath(), L"");
    wchar_t kernel[MAX_PATH] = {};
    ::GetModuleFileNameW(::GetModuleHandleW(L"kernel32.dll"), kernel, MAX_PATH);
    const std::wstring expected = MyFolderPath(MyFilePath(kernel).GetFolder()).Append(L"ZelMepla.ico");
    EXPECT_EQ(PluginModule(L"kernel32.dll", L"ZelMepla.ico").GetFilePath(), expected);
}
