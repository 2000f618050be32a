#include "datasource/MyGuid.h"

#include <cstring>

#include "framework/Format.h"

MyGuid::MyGuid(DWORD w0, DWORD w1, DWORD w2, DWORD w3) : m_guid()
{
    const DWORD words[4] = {w0, w1, w2, w3};
    static_assert(sizeof(words) == sizeof(GUID));
    std::memcpy(&m_guid, words, sizeof(GUID));
}

std::wstring MyGuid::ToString(int withBraces) const
{
    const GUID& g = m_guid;
    std::wstring text = fx::Format(L"%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                                   static_cast<unsigned long>(g.Data1), g.Data2, g.Data3,
                                   g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                                   g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return withBraces == 1 ? L"{" + text + L"}" : text;
}
