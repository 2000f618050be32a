// The logging binding against our "zelinfolog.dll", and without any library.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"
#include "tests/support/LogFile.h"
#include "tests/support/TestSupport.h"

namespace {

using s2mtest::LogLine;

// g_ZelInfoLog bound to the shipped library and named like the plug-in.
class InfoLogWithLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, g_ZelInfoLog.Load(s2mtest::DistPath(L"zelinfolog.dll").c_str()));
        ASSERT_NE(0u, g_ZelInfoLog.CreateHandle(::GetModuleHandleW(nullptr)));
        ASSERT_NE(0, g_ZelInfoLog.SetThreadName(L"S2Mepla_PLUGIN"));
        s2mtest::ClearPluginLog();
    }
    void TearDown() override
    {
        g_ZelInfoLog.ReleaseHandle();
        g_ZelInfoLog.Unload();
        s2mtest::ClearPluginLog();
    }
};

TEST_F(InfoLogWithLibrary, LinesReachTheFileAsWritten)
{
    EXPECT_NE(0, WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"Get_Mepla_Installpath = %s", L"C:\\Program Files\\Mepla"));
    EXPECT_EQ(E_FAIL, LogFailure(L"SaveData", E_FAIL));
    EXPECT_EQ(HRESULT(0x80070002), LogFailure(L"CopyFile", HRESULT(0x80070002)));
    EXPECT_EQ(HRESULT(5), LogFailure(L"RegOpenKeyEx", 5));
    EXPECT_NE(0, WriteInfoLog(g_ZelInfoLog, LOG_ERROR, L"RunApp nBuffLength > 32000"));
    EXPECT_NE(0, WriteInfoLog(g_ZelInfoLog, 2, L"保存先 %s", L"C:\\スキャン"));

    const std::vector<LogLine> lines = s2mtest::ReadPluginLogLines();
    const struct {
        const wchar_t* level;
        const wchar_t* text;
    } expected[] = {
        {L"INFO", L"Get_Mepla_Installpath = C:\\Program Files\\Mepla"},
        {L"ERROR", L"SaveData: error = 80004005"},
        {L"ERROR", L"CopyFile: error = 80070002"},
        {L"ERROR", L"RegOpenKeyEx: error = 00000005"},
        {L"ERROR", L"RunApp nBuffLength > 32000"},
        {L"2", L"保存先 C:\\スキャン"},
    };
    ASSERT_EQ(std::size(expected), lines.size()) << fx::ToUtf8(s2mtest::ReadPluginLog());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(expected[i].level, lines[i].level) << i;
        EXPECT_EQ(expected[i].text, lines[i].text) << i;
        EXPECT_EQ(::GetCurrentProcessId(), lines[i].pid);
        EXPECT_EQ(::GetCurrentThreadId(), lines[i].tid);
        EXPECT_TRUE(std::regex_match(fx::ToUtf8(lines[i].stamp),
                                     std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")))
            << fx::ToUtf8(lines[i].stamp);
    }
    // UTF-8 on disk, one CRLF-terminated line per call.
    const std::string bytes = s2mtest::ReadFileBytes(s2mtest::PluginLogPath());
    EXPECT_NE(std::string::npos, bytes.find(fx::ToUtf8(L"保存先 C:\\スキャン\r\n")));
}

TEST_F(InfoLogWithLibrary, TextLongerThanTheBufferIsCut)
{
    const std::wstring longText(3000, L'x');
    EXPECT_NE(0, WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"%s", longText.c_str()));
    const std::vector<LogLine> lines = s2mtest::ReadPluginLogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::wstring(1023, L'x'), lines[0].text);
}

TEST_F(InfoLogWithLibrary, LogPathCanBeMoved)
{
    s2mtest::ScratchDir dir;
    ASSERT_TRUE(g_ZelInfoLog.setLogPath);
    ASSERT_NE(0, g_ZelInfoLog.setLogPath(g_ZelInfoLog.infoHandle, dir.File(L"moved.log").c_str()));
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"to the moved file");
    // A folder takes the default file name.
    const std::wstring sub = dir.File(L"logs\\");
    ASSERT_NE(0, g_ZelInfoLog.setLogPath(g_ZelInfoLog.infoHandle, sub.c_str()));
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"into a folder");

    const auto moved = s2mtest::ParseLog(s2mtest::ReadLog(dir.File(L"moved.log")));
    ASSERT_EQ(1u, moved.size());
    EXPECT_EQ(L"to the moved file", moved[0].text);
    const auto inFolder = s2mtest::ParseLog(s2mtest::ReadLog(sub + L"S2Mepla_PLUGIN.log"));
    ASSERT_EQ(1u, inFolder.size());
    EXPECT_EQ(L"into a folder", inFolder[0].text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(s2mtest::PluginLogPath().c_str()));
}

TEST(InfoLogWithoutLibrary, EveryCallReturnsZeroAndNothingIsWritten)
{
    s2mtest::ClearPluginLog();
    ZelInfoLog absent;
    EXPECT_EQ(nullptr, absent.module);
    EXPECT_EQ(0u, absent.CreateHandle(::GetModuleHandleW(nullptr)));
    EXPECT_EQ(0, absent.SetThreadName(L"S2Mepla_PLUGIN"));
    EXPECT_EQ(0, WriteInfoLog(absent, LOG_INFO, L"Get_Mepla_Installpath = %s", L"C:\\x"));
    // Nothing is formatted: an argument that printf would read through is
    // never touched.
    EXPECT_EQ(0, WriteInfoLog(absent, LOG_ERROR, L"%s", reinterpret_cast<const wchar_t*>(16)));
    EXPECT_EQ(0, absent.ReleaseHandle());

    ASSERT_EQ(nullptr, g_ZelInfoLog.module);
    EXPECT_EQ(E_FAIL, LogFailure(L"SaveData", E_FAIL));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(s2mtest::PluginLogPath().c_str()));
}

TEST(InfoLogWithoutLibrary, LoadFailsWithTheReadCodeAndStaysInert)
{
    s2mtest::RegistryOverride hklm;  // no ProgramFilesDir: the read creates the key
    ZelInfoLog log;
    EXPECT_EQ(3, log.Load(L"zelinfolog.dll"));
    EXPECT_EQ(nullptr, log.module);
    EXPECT_EQ(nullptr, log.write);
}

TEST(InfoLogWithoutLibrary, MissingExportsLeaveOnlyTheirCallsInert)
{
    // A library that has none of the entries.
    ZelInfoLog log;
    ASSERT_EQ(S_OK, log.Load(s2mtest::BinPath(L"s2m_probe_fixture.dll").c_str()));
    EXPECT_NE(nullptr, log.module);
    EXPECT_EQ(0u, log.CreateHandle(::GetModuleHandleW(nullptr)));
    EXPECT_EQ(0, log.SetThreadName(L"S2Mepla_PLUGIN"));
    EXPECT_EQ(0, WriteInfoLog(log, LOG_INFO, L"nothing"));
}

TEST(InfoLogProcesses, SeveralProcessesAppendToOneFile)
{
    const std::wstring name = L"S2MTest_Concurrent";
    const std::wstring path = s2mtest::LogPath(name);
    s2mtest::ClearLog(path);
    constexpr int kProcesses = 4;
    constexpr int kLines = 150;

    std::vector<fx::UniqueHandle> processes;
    for (int p = 0; p < kProcesses; ++p) {
        std::wstring command = fx::Format(L"\"%s\" \"%s\" %s %d writer%d", s2mtest::BinPath(L"s2m_logwriter.exe").c_str(),
                                          s2mtest::DistPath(L"zelinfolog.dll").c_str(), name.c_str(), kLines, p);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
        ::CloseHandle(info.hThread);
        processes.emplace_back(info.hProcess);
    }
    for (auto& process : processes) {
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.get(), 120000));
        DWORD code = 1;
        ::GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(0u, code);
    }

    const auto lines = s2mtest::ParseLog(s2mtest::ReadLog(path));
    EXPECT_EQ(size_t(kProcesses * kLines), lines.size());
    std::set<std::wstring> seen;
    for (const LogLine& line : lines) {
        EXPECT_EQ(L"INFO", line.level) << fx::ToUtf8(line.text);
        seen.insert(line.text);
    }
    EXPECT_EQ(size_t(kProcesses * kLines), seen.size());
    EXPECT_EQ(1u, seen.count(L"writer3 149"));
    s2mtest::ClearLog(path);
}

}  // namespace
