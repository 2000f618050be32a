// The registered plug-in driven by several host processes at once, and host
// processes killed at random moments while they save: the settings file
// always parses, holds exactly what the hosts were told was saved, and a dead
// host never blocks the next one.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "framework/Format.h"
#include "framework/Unique.h"
#include "tests/reliability/Reliability.h"

using namespace s2mtest;
using namespace reliability;

namespace {

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// What the host printed about the instances it made and removed.
struct Outcome {
    std::set<std::wstring> made;
    std::set<std::wstring> deleted;
    size_t steps = 0;       // steps the host reported finished
    std::wstring lastMade;  // the ID of the latest create or copy
};

Outcome ReadOutcome(const std::string& output)
{
    Outcome outcome;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Only complete lines count: a killed host may leave half of one.
        const std::wstring text = fx::FromUtf8(line);
        auto idAt = [&](size_t pos) { return pos + 38 <= text.size() ? text.substr(pos, 38) : std::wstring(); };
        if (text.rfind(L"Created instance ", 0) == 0) {
            const std::wstring id = idAt(17);
            if (!id.empty()) outcome.made.insert(id), outcome.lastMade = id, ++outcome.steps;
        } else if (text.rfind(L"Copied instance ", 0) == 0) {
            const size_t to = text.find(L" to ");
            if (to != std::wstring::npos) {
                const std::wstring id = idAt(to + 4);
                if (!id.empty()) outcome.made.insert(id), outcome.lastMade = id, ++outcome.steps;
            }
        } else if (text.rfind(L"Deleted instance ", 0) == 0) {
            const std::wstring id = idAt(17);
            if (!id.empty()) outcome.deleted.insert(id), ++outcome.steps;
        }
    }
    return outcome;
}

class HostProcessTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const ProcessResult r = RunProgram(L"regsvr32 /s " + Quoted(DistPath(L"Scan2Mepla.dll")), 60000);
        ASSERT_TRUE(r.started);
        ASSERT_EQ(r.exitCode, 0u) << r.output;
    }
    static void TearDownTestSuite() { RunProgram(L"regsvr32 /s /u " + Quoted(DistPath(L"Scan2Mepla.dll")), 60000); }

    void SetUp() override { RemoveTree(SettingsFolder()); }
    void TearDown() override { RemoveTree(SettingsFolder()); }

    static std::wstring Host(const std::wstring& steps) { return Quoted(BinPath(L"tvohost.exe")) + L" " + steps; }
};

}  // namespace

TEST_F(HostProcessTest, FourHostsAtOnceLeaveExactlyTheSurvivingInstances)
{
    // Each round: create A, copy A to B, copy B to C, delete C: A and B survive.
    std::wstring steps;
    for (int round = 0; round < 6; ++round) steps += L"create copy last copy last delete last ";
    const int hosts = 4;
    std::vector<ProcessResult> results(hosts);
    std::vector<std::thread> threads;
    for (int i = 0; i < hosts; ++i)
        threads.emplace_back([&, i] { results[i] = RunProgram(Host(steps), 150000); });
    for (std::thread& t : threads) t.join();

    std::set<std::wstring> expected;
    for (const ProcessResult& r : results) {
        ASSERT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        const Outcome o = ReadOutcome(r.output);
        EXPECT_EQ(o.made.size(), 18u) << r.output;
        EXPECT_EQ(o.deleted.size(), 6u);
        for (const std::wstring& id : o.made)
            if (!o.deleted.count(id)) expected.insert(id);
    }
    std::set<std::wstring> ids;
    ASSERT_TRUE(SettingIds(SettingsFile(), ids));
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(ids.size(), 48u);
}

TEST_F(HostProcessTest, HostsKilledWhileSavingLoseNothingTheyReportedAndBlockNoOne)
{
    ScratchDir scratch;
    std::mt19937 random(77031u);
    std::set<std::wstring> reported, deleted;
    std::wstring steps;
    for (int i = 0; i < 40; ++i) steps += (i % 5 == 4) ? L"delete last " : L"create ";

    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // The host's output goes to a file, so that what it printed before
        // it was killed can still be read.
        const std::wstring outPath = scratch.File(L"out" + std::to_wstring(round) + L".txt");
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        fx::UniqueHandle out(::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(out.get(), INVALID_HANDLE_VALUE);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.get();
        startup.hStdError = out.get();
        PROCESS_INFORMATION info = {};
        std::wstring command = Host(steps);
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info));
        fx::UniqueHandle process(info.hProcess), thread(info.hThread);
        out.reset();

        const DWORD delay = std::uniform_int_distribution<DWORD>(600, 3500)(random);
        const bool finished = ::WaitForSingleObject(process.get(), delay) == WAIT_OBJECT_0;
        if (!finished) ::TerminateProcess(process.get(), 99);
        ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);

        Outcome o = ReadOutcome(ReadFileBytes(outPath));
        // Killed during "delete last", the latest instance may be gone
        // although the host never got to say so.
        if (!finished && o.steps % 5 == 4) o.made.erase(o.lastMade);
        reported.insert(o.made.begin(), o.made.end());
        deleted.insert(o.deleted.begin(), o.deleted.end());
        if (::GetFileAttributesW(SettingsFile().c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        std::set<std::wstring> ids;
        ASSERT_TRUE(SettingIds(SettingsFile(), ids)) << "the settings file no longer parses";
        for (const std::wstring& id : reported) {
            if (deleted.count(id)) continue;
            EXPECT_EQ(ids.count(id), 1u) << "lost " << fx::ToUtf8(id);
        }
        for (const std::wstring& id : deleted) EXPECT_EQ(ids.count(id), 0u) << "back again " << fx::ToUtf8(id);
    }
    EXPECT_FALSE(reported.empty());

    // Whoever died holding the settings mutex, the next host goes through.
    const ProcessResult next = RunProgram(Host(L"create create"), 60000);
    EXPECT_FALSE(next.timedOut) << "blocked by a dead host";
    EXPECT_EQ(next.exitCode, 0u) << next.output;
    const Outcome o = ReadOutcome(next.output);
    std::set<std::wstring> ids;
    ASSERT_TRUE(SettingIds(SettingsFile(), ids));
    for (const std::wstring& id : o.made) EXPECT_EQ(ids.count(id), 1u);
}
