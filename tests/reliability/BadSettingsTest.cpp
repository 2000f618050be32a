// Settings files that are broken, hostile or merely big, generated from a
// fixed seed: every operation of the data source either fails with a code or
// gives the right answer, a file that does not parse is never replaced, and
// nothing outside the file is ever read into a setting.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "datasource/PluginDataSourceScan2Mepla.h"
#include "framework/Format.h"
#include "tests/reliability/Reliability.h"

using namespace s2mtest;
using namespace reliability;

namespace {

const GUID kKnown = {0x1A2B3C4D, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}};
const char kSecret[] = "S2M-OUTSIDE-THE-FILE-7f3a";

std::string Instance(const std::string& id, const std::string& name)
{
    return "<Setting ID=\"" + id + "\" LastUpdate=\"2024/01/02 03:04:05\"><Path></Path><Parameter></Parameter><Name>" +
           name + "</Name><SaveFoloder></SaveFoloder><SaveID>2</SaveID></Setting>";
}

std::string GoodFile(const std::string& name = "known", int extra = 2)
{
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Objects>";
    body += Instance(fx::ToUtf8(IdText(kKnown)), name);
    for (int i = 0; i < extra; ++i) {
        char id[64];
        std::snprintf(id, sizeof id, "{0000%04X-0000-0000-0000-000000000000}", i);
        body += Instance(id, "other" + std::to_string(i));
    }
    return body + "</Objects>\r\n";
}

std::string Utf16(const std::string& utf8)
{
    const std::wstring wide = fx::FromUtf8(utf8);
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return bytes;
}

struct Case {
    std::string label;
    std::string bytes;
    std::string knownName;  // what LoadData must give for kKnown when it succeeds ("" = not checked)
};

std::vector<Case> Cases(const std::wstring& secretFile)
{
    std::mt19937 random(20240611u);
    std::vector<Case> cases;
    const std::string good = GoodFile();
    for (int i = 0; i < 6; ++i) {
        const size_t cut = std::uniform_int_distribution<size_t>(1, good.size() - 3)(random);
        cases.push_back({"truncated at " + std::to_string(cut), good.substr(0, cut), "known"});
    }
    for (int i = 0; i < 4; ++i) {
        std::string bytes(std::uniform_int_distribution<size_t>(1, 4096)(random), '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        cases.push_back({"random bytes " + std::to_string(i), bytes, ""});
    }
    {
        std::string flipped = good;  // a few bytes changed inside an otherwise good file
        for (int i = 0; i < 5; ++i)
            flipped[std::uniform_int_distribution<size_t>(0, flipped.size() - 1)(random)] = static_cast<char>(random() & 0xFF);
        cases.push_back({"flipped bytes", flipped, ""});
    }
    cases.push_back({"empty file", "", ""});
    cases.push_back({"Latin-1 bytes declared UTF-8", GoodFile("caf\xE9 \xE0 la carte"), ""});
    cases.push_back({"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><Objects>" +
                                             Instance(fx::ToUtf8(IdText(kKnown)), "known") + "</Objects>",
                     "known"});
    {
        std::string utf16 = GoodFile("wide \xE3\x83\xA1");
        utf16.replace(utf16.find("UTF-8"), 5, "UTF-16");
        cases.push_back({"UTF-16 file", Utf16(utf16), "wide \xE3\x83\xA1"});
        cases.push_back({"UTF-16 without byte-order mark", Utf16(utf16).substr(2), ""});
    }
    cases.push_back({"huge value", GoodFile(std::string(2 * 1024 * 1024, 'x')), std::string(2 * 1024 * 1024, 'x')});
    {
        std::string file = GoodFile();
        file.replace(file.find("<SaveID>2"), 9, "<SaveID>99999999999999999999999");
        cases.push_back({"huge number", file, ""});
    }
    {
        std::string deep;
        for (int i = 0; i < 20000; ++i) deep += "<n>";
        for (int i = 0; i < 20000; ++i) deep += "</n>";
        std::string file = GoodFile();
        file.insert(file.find("<Name>"), deep);
        cases.push_back({"deep nesting", file, "known"});
    }
    cases.push_back({"thousands of instances", GoodFile("known", 3000), "known"});
    {
        std::string dtd = "<?xml version=\"1.0\"?>\n<!DOCTYPE Objects [\n<!ENTITY a0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            dtd += "<!ENTITY a" + std::to_string(i) + " \"";
            for (int j = 0; j < 10; ++j) dtd += "&a" + std::to_string(i - 1) + ";";
            dtd += "\">\n";
        }
        dtd += "]>\n<Objects>" + Instance(fx::ToUtf8(IdText(kKnown)), "&a9;") + "</Objects>";
        cases.push_back({"nested entities", dtd, ""});
    }
    {
        std::wstring url = L"file:///" + secretFile;
        for (wchar_t& c : url)
            if (c == L'\\') c = L'/';
        const std::string external = "<?xml version=\"1.0\"?>\n<!DOCTYPE Objects [\n<!ENTITY x SYSTEM \"" +
                                     fx::ToUtf8(url) + "\">\n]>\n<Objects>" +
                                     Instance(fx::ToUtf8(IdText(kKnown)), "&x;") + "</Objects>";
        cases.push_back({"external entity", external, ""});
    }
    return cases;
}

class BadSettingsTest : public testing::Test {
protected:
    void SetUp() override { RemoveTree(SettingsFolder()); }
    void TearDown() override { RemoveTree(SettingsFolder()); }

    CPluginDataSourceScan2Mepla source_;
};

bool HasSecret(const SettingRecord& r)
{
    const std::string all = fx::ToUtf8(r.GetPath() + r.GetParameter() + r.GetName() + r.GetSaveFoloder());
    return all.find(kSecret) != std::string::npos;
}

}  // namespace

TEST_F(BadSettingsTest, EveryOperationFailsOrAnswersRightAndNeverReplacesABrokenFile)
{
    ScratchDir scratch;
    const std::wstring secretFile = scratch.File(L"secret.txt");
    ASSERT_TRUE(WriteFileBytes(secretFile, kSecret));
    const std::wstring file = SettingsFile();
    ASSERT_FALSE(file.empty());

    for (const Case& c : Cases(secretFile)) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(WriteFileBytes(file, c.bytes));
        const bool parses = Parses(file);

        // Read.
        SettingRecord loaded(kKnown);
        const HRESULT load = source_.LoadData(loaded);
        if (!parses) EXPECT_LT(load, 0);
        if (load == S_OK && !c.knownName.empty()) EXPECT_EQ(fx::ToUtf8(loaded.GetName()), c.knownName);
        EXPECT_FALSE(HasSecret(loaded));

        // Every writing operation in turn.
        struct Step {
            const char* name;
            HRESULT result;
        };
        GUID created = {}, copied = {};
        std::vector<Step> steps;
        SettingRecord saved(kKnown);
        saved.SetName(L"saved");
        steps.push_back({"SaveData", source_.SaveData(saved)});
        const std::string afterSave = ReadFileBytes(file);
        steps.push_back({"CreateID", source_.CreateID(&created)});
        steps.push_back({"CopyID", source_.CopyID(kKnown, &copied)});
        steps.push_back({"DeleteID", source_.DeleteID(kKnown)});
        const std::string after = ReadFileBytes(file);

        if (!parses) {
            for (const Step& s : steps) EXPECT_LT(s.result, 0) << s.name;
            EXPECT_TRUE(after == c.bytes) << "a file that does not parse was replaced";
        } else {
            // A failure may happen (a file the writer cannot handle), but the
            // file must still parse, and a success must be real.
            EXPECT_TRUE(Parses(file));
            if (steps[0].result == S_OK) EXPECT_NE(afterSave.find("saved"), std::string::npos);
            std::set<std::wstring> ids;
            ASSERT_TRUE(SettingIds(file, ids));
            if (steps[1].result == S_OK) EXPECT_EQ(ids.count(IdText(created)), 1u);
            if (steps[3].result == S_OK) EXPECT_EQ(ids.count(IdText(kKnown)), 0u);
            if (steps[1].result == S_OK) {
                SettingRecord fresh(created);
                EXPECT_EQ(source_.LoadData(fresh), S_OK);
            }
        }
        EXPECT_EQ(after.find(kSecret), std::string::npos);
    }
}

TEST_F(BadSettingsTest, ImportOfABrokenFileLeavesTheSettingsAsTheyWere)
{
    ScratchDir scratch;
    const std::wstring secretFile = scratch.File(L"secret.txt");
    ASSERT_TRUE(WriteFileBytes(secretFile, kSecret));
    const std::wstring importFolder = scratch.File(L"import");
    ASSERT_TRUE(::CreateDirectoryW(importFolder.c_str(), nullptr));
    const std::wstring file = SettingsFile();
    const std::string mine = GoodFile("mine", 1);

    for (const Case& c : Cases(secretFile)) {
        SCOPED_TRACE(c.label);
        const std::wstring source = importFolder + L"\\AppSettings.XML";
        ASSERT_TRUE(WriteFileBytes(source, c.bytes));
        ASSERT_TRUE(WriteFileBytes(file, mine));
        const bool parses = Parses(source);
        const HRESULT hr = source_.ImportData(importFolder.c_str());
        if (!parses) EXPECT_LT(hr, 0);
        if (hr < 0) {
            EXPECT_TRUE(ReadFileBytes(file) == mine);
        } else {
            EXPECT_TRUE(Parses(file));
        }
        EXPECT_TRUE(ReadFileBytes(source) == c.bytes) << "the imported file was changed";
        EXPECT_EQ(ReadFileBytes(file).find(kSecret), std::string::npos);
    }
}
