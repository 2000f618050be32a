// Settings file: CreateID, LoadData and SaveData of the data source against
// one DOM load (and one load plus save) of the same file, side by side, for
// files of 10, 100 and 1000 instances.
//
//   bench_settings [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchCommon.h"
#include "datasource/PluginDataSourceScan2Mepla.h"
#include "xml/MyXml.h"

namespace {

std::string Instance(int i)
{
    char id[64];
    std::snprintf(id, sizeof id, "{%08X-0000-4000-8000-000000000000}", i);
    return std::string("<Setting ID=\"") + id +
           "\" LastUpdate=\"2024/01/02 03:04:05\"><Path></Path><Parameter></Parameter><Name>instance " +
           std::to_string(i) + "</Name><SaveFoloder>C:\\scans</SaveFoloder><SaveID>3</SaveID></Setting>";
}

GUID IdOf(int i)
{
    GUID g = {static_cast<unsigned long>(i), 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0}};
    return g;
}

bool Write(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    ::CloseHandle(h);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 15;
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CPluginDataSourceScan2Mepla source;
    std::wstring file;
    if (FAILED(source.GetSettingsFile(file))) {
        std::printf("no settings folder\n");
        return 1;
    }
    std::printf("| Instances | MSXML load | load+save | LoadData | ratio | SaveData | ratio | CreateID | ratio |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const int count : {10, 100, 1000}) {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Objects>";
        for (int i = 0; i < count; ++i) text += Instance(i);
        text += "</Objects>\r\n";
        std::vector<double> load, loadSave, loadData, saveData, createId;
        const GUID middle = IdOf(count / 2);
        for (int r = 0; r < runs; ++r) {
            // The five measures alternate within each run, on the same file.
            Write(file, text);
            double t = bench::Now();
            {
                MyXmlReader reader;
                reader.LoadFile(file);
            }
            load.push_back(bench::Now() - t);

            t = bench::Now();
            {
                MyXmlWriterUtf8 writer;
                writer.LoadFile(file);
                writer.SaveFile(file);
            }
            loadSave.push_back(bench::Now() - t);

            Write(file, text);
            SettingRecord record(middle);
            t = bench::Now();
            const HRESULT loaded = source.LoadData(record);
            loadData.push_back(bench::Now() - t);

            record.SetName(L"changed");
            t = bench::Now();
            const HRESULT saved = source.SaveData(record);
            saveData.push_back(bench::Now() - t);

            Write(file, text);
            GUID id = {};
            t = bench::Now();
            const HRESULT created = source.CreateID(&id);
            createId.push_back(bench::Now() - t);
            if (loaded != S_OK || saved != S_OK || created != S_OK) {
                std::printf("operation failed: %08lX %08lX %08lX\n", static_cast<unsigned long>(loaded),
                            static_cast<unsigned long>(saved), static_cast<unsigned long>(created));
                return 1;
            }
        }
        const double l = bench::Median(load), ls = bench::Median(loadSave);
        const double ld = bench::Median(loadData), sd = bench::Median(saveData), ci = bench::Median(createId);
        std::printf("| %d | %.2f ms | %.2f ms | %.2f ms | %.2f | %.2f ms | %.2f | %.2f ms | %.2f |\n", count, l / 1000,
                    ls / 1000, ld / 1000, ld / l, sd / 1000, sd / ls, ci / 1000, ci / ls);
    }
    std::printf("(LoadData against one load; SaveData and CreateID against one load+save; medians of %d runs)\n", runs);
    ::DeleteFileW(file.c_str());
    ::CoUninitialize();
    return 0;
}
