// Creates the plug-in through the COM runtime by its class ID, the way the
// host does, and prints the file of the DLL that served it.
#include <windows.h>

#include <cstdio>

#include "framework/Format.h"
#include "framework/Unique.h"

int main()
{
    fx::ComInit com;
    CLSID clsid = {};
    ::CLSIDFromString(L"{962B83D5-70E5-4B5E-9712-56654F65A76D}", &clsid);
    fx::ComPtr<IUnknown> plugin;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, plugin.put_void());
    if (FAILED(hr)) {
        std::printf("CoCreateInstance: error = %08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    HMODULE dll = ::GetModuleHandleW(L"Scan2Mepla.dll");
    wchar_t path[MAX_PATH] = {};
    if (!dll || !::GetModuleFileNameW(dll, path, MAX_PATH)) {
        std::printf("the object does not come from Scan2Mepla.dll\n");
        return 2;
    }
    std::printf("%s\n", fx::ToUtf8(path).c_str());
    return 0;
}
