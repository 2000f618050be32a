// Helper for the multi-process tests of the settings file.
//   write <file> <worker> <count> <mutex>    write instances 0..count-1 of worker
//   hold <mutex> <event>                      take the mutex, signal, wait forever
//   churn <file> <worker> <mutex> <event>     write instances without end,
//                                             signalling after the first one
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "framework/NamedMutex.h"
#include "framework/Unique.h"
#include "tests/xml/WorkerRecords.h"
#include "xml/PluginWriter.h"

namespace {

long WriteOne(const std::wstring& file, int worker, int index, const wchar_t* mutex)
{
    const SettingRecord record = workerrecords::RecordFor(worker, index);
    PluginWriterXMLApp writer(MyGuid(record.GetID()), MyFilePath(file), mutex);
    return writer.WriteSettings(record);
}

void Signal(const wchar_t* name)
{
    fx::UniqueHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, name));
    if (event) ::SetEvent(event.get());
}

int Run(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"write" && argc == 6) {
        const int worker = _wtoi(argv[3]);
        const int count = _wtoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            const long result = WriteOne(argv[2], worker, i, argv[5]);
            if (result != 0) {
                std::printf("instance %d: %ld\n", i, result);
                return 1;
            }
        }
        return 0;
    }
    if (mode == L"hold" && argc == 4) {
        fx::NamedMutex mutex(argv[2]);
        if (!mutex.Lock()) return 2;
        Signal(argv[3]);
        ::Sleep(INFINITE);
        return 0;
    }
    if (mode == L"churn" && argc == 6) {
        const int worker = _wtoi(argv[3]);
        for (int i = 0;; i = (i + 1) % 20) {
            if (WriteOne(argv[2], worker, i, argv[4]) != 0) return 1;
            Signal(argv[5]);
        }
    }
    std::printf("usage: write|hold|churn ...\n");
    return 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    fx::ComInit com;
    try {
        return Run(argc, argv);
    } catch (const fx::ComError& e) {
        std::printf("COM error %08lX\n", static_cast<unsigned long>(e.Code()));
        return 4;
    } catch (...) {
        std::printf("exception\n");
        return 5;
    }
}
