// The instances the worker program writes, known to the tests as well.
#pragma once

#include <windows.h>

#include "datasource/MyGuid.h"
#include "datasource/SettingRecord.h"
#include "framework/Format.h"

namespace workerrecords {

inline GUID InstanceId(int worker, int index)
{
    GUID id = {0x5C2A0000UL + static_cast<unsigned long>(worker), static_cast<unsigned short>(index), 0x4A11,
               {0x8B, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
    return id;
}

inline SettingRecord RecordFor(int worker, int index)
{
    SettingRecord record(InstanceId(worker, index));
    record.SetPath(fx::Format(L"C:\\Program Files\\W%d\\Qstart12.exe", worker));
    record.SetParameter(fx::Format(L"/w%d /i%d", worker, index));
    record.SetName(fx::Format(L"\u30E1\u30D7\u30E9 %d-%d", worker, index));
    record.SetSaveFoloder(fx::Format(L"D:\\Scans\\%d\\%d", worker, index));
    record.SetSaveID(index % 4);
    return record;
}

inline bool SameRecord(const SettingRecord& a, const SettingRecord& b)
{
    return a.GetPath() == b.GetPath() && a.GetParameter() == b.GetParameter() && a.GetName() == b.GetName() &&
           a.GetSaveFoloder() == b.GetSaveFoloder() && a.GetSaveID() == b.GetSaveID();
}

}  // namespace workerrecords
