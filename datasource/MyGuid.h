// The GUID of a setting instance and its text form.
#pragma once

#include <windows.h>

#include <string>

class MyGuid {
public:
    MyGuid() : m_guid() {}
    explicit MyGuid(const GUID& guid) : m_guid(guid) {}
    // From the four 32-bit words in which the host passes an instance ID.
    MyGuid(DWORD w0, DWORD w1, DWORD w2, DWORD w3);
    virtual ~MyGuid() = default;

    // "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X"; in braces only when
    // withBraces is exactly 1.
    std::wstring ToString(int withBraces) const;
    const GUID& Get() const { return m_guid; }

private:
    GUID m_guid;
};
