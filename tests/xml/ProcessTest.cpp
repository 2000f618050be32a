// The settings file shared by several processes at once, with real processes
// of the worker program: concurrent writers, a killed lock holder, and writers
// killed in the middle of their saves.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "framework/Unique.h"
#include "tests/support/TestSupport.h"
#include "tests/xml/WorkerRecords.h"
#include "xml/MyXml.h"
#include "xml/PluginReader.h"
#include "xml/SettingsXml.h"

using s2mtest::ScratchDir;
using workerrecords::InstanceId;
using workerrecords::RecordFor;

namespace {

const wchar_t kMutex[] = L"S2mXmlProcessTestMutex";

fx::UniqueHandle Start(const std::wstring& arguments)
{
    std::wstring command = L"\"" + s2mtest::BinPath(L"xml_settings_worker.exe") + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return fx::UniqueHandle();
    }
    ::CloseHandle(info.hThread);
    return fx::UniqueHandle(info.hProcess);
}

void Kill(const fx::UniqueHandle& process)
{
    ::TerminateProcess(process.get(), 99);
    ::WaitForSingleObject(process.get(), 30000);
}

long ReadRecord(const std::wstring& file, int worker, int index, SettingRecord& record)
{
    PluginReaderXMLApp reader(MyGuid(InstanceId(worker, index)), MyFilePath(file), kMutex);
    return reader.ReadSettings(record);
}

// ReadSettings on its own thread, so that a lock that is never given up
// fails the test instead of hanging it.
bool ReadWithin(const std::wstring& file, int worker, int index, DWORD ms, long& result, SettingRecord& record)
{
    struct State {
        fx::UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        long result = -1;
        SettingRecord record;
    };
    auto state = std::make_shared<State>();
    std::thread([state, file, worker, index] {
        fx::ComInit com;
        state->result = ReadRecord(file, worker, index, state->record);
        ::SetEvent(state->done.get());
    }).detach();
    if (::WaitForSingleObject(state->done.get(), ms) != WAIT_OBJECT_0) return false;
    result = state->result;
    record = state->record;
    return true;
}

void WriteFirst(const std::wstring& file, int worker, int index)
{
    const auto r = s2mtest::RunProgram(L"\"" + s2mtest::BinPath(L"xml_settings_worker.exe") + L"\" write \"" + file +
                                       L"\" " + std::to_wstring(worker) + L" " + std::to_wstring(index + 1) + L" " +
                                       kMutex);
    ASSERT_EQ(r.exitCode, 0u) << r.output;
}

}  // namespace

TEST(SettingsProcessTest, ConcurrentWritersKeepEveryInstance)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"Torvane\\Scan2Mepla\\AppSettings.XML");
    constexpr int kWorkers = 4;
    constexpr int kCount = 12;
    std::vector<fx::UniqueHandle> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.push_back(Start(L"write \"" + file + L"\" " + std::to_wstring(w) + L" " + std::to_wstring(kCount) +
                                L" " + kMutex));
        ASSERT_TRUE(workers.back()) << "worker " << w;
    }
    for (int w = 0; w < kWorkers; ++w) {
        ASSERT_EQ(::WaitForSingleObject(workers[w].get(), 120000), WAIT_OBJECT_0) << "worker " << w;
        DWORD code = 1;
        ::GetExitCodeProcess(workers[w].get(), &code);
        EXPECT_EQ(code, 0u) << "worker " << w;
    }

    MyXmlReader file_;
    ASSERT_EQ(file_.LoadFile(file), S_OK);
    ASSERT_NE(file_.SelectByTagName(L"Setting"), nullptr);
    EXPECT_EQ(file_.GetCount(), kWorkers * kCount);
    for (int w = 0; w < kWorkers; ++w) {
        for (int i = 0; i < kCount; ++i) {
            SettingRecord read;
            ASSERT_EQ(ReadRecord(file, w, i, read), 0) << w << "/" << i;
            EXPECT_TRUE(workerrecords::SameRecord(read, RecordFor(w, i))) << w << "/" << i;
        }
    }
}

TEST(SettingsProcessTest, KilledLockHolderDoesNotBlockTheNextRead)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    WriteFirst(file, 7, 0);

    fx::UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, L"S2mXmlTestHeld"));
    fx::UniqueHandle holder = Start(std::wstring(L"hold ") + kMutex + L" S2mXmlTestHeld");
    ASSERT_TRUE(holder);
    ASSERT_EQ(::WaitForSingleObject(held.get(), 30000), WAIT_OBJECT_0) << "the holder took the mutex";
    Kill(holder);

    long result = -1;
    SettingRecord read;
    ASSERT_TRUE(ReadWithin(file, 7, 0, 30000, result, read)) << "ReadSettings waited for a dead owner";
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(workerrecords::SameRecord(read, RecordFor(7, 0)));
}

TEST(SettingsProcessTest, WritersKilledDuringSavesLeaveAFileThatParses)
{
    ScratchDir scratch;
    const std::wstring file = scratch.File(L"AppSettings.XML");
    WriteFirst(file, 8, 0);

    fx::UniqueHandle running(::CreateEventW(nullptr, TRUE, FALSE, L"S2mXmlTestChurning"));
    for (int round = 0; round < 6; ++round) {
        ::ResetEvent(running.get());
        std::vector<fx::UniqueHandle> writers;
        for (int w = 0; w < 2; ++w) {
            writers.push_back(Start(L"churn \"" + file + L"\" " + std::to_wstring(20 + w) + L" " + kMutex +
                                    L" S2mXmlTestChurning"));
            ASSERT_TRUE(writers.back());
        }
        ASSERT_EQ(::WaitForSingleObject(running.get(), 30000), WAIT_OBJECT_0) << "round " << round;
        ::Sleep(static_cast<DWORD>(15 + (round * 53) % 120));
        for (auto& w : writers) Kill(w);

        MyXmlReader reader;
        ASSERT_EQ(reader.LoadFile(file), S_OK) << "round " << round << ":\n" << s2mtest::ReadFileBytes(file);
        long result = -1;
        SettingRecord read;
        ASSERT_TRUE(ReadWithin(file, 8, 0, 30000, result, read)) << "round " << round;
        EXPECT_EQ(result, 0) << "round " << round;
        EXPECT_TRUE(workerrecords::SameRecord(read, RecordFor(8, 0)));
    }
}
