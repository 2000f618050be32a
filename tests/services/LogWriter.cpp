// s2m_logwriter <library> <thread name> <count> <tag>: writes <count> lines
// "<tag> <n>" through the logging library, as a process of its own.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "services/MakerApi.h"

template <typename Fn>
Fn Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) return 2;
    HMODULE module = ::LoadLibraryW(argv[1]);
    if (!module) return 3;
    auto create = Bind<ZelInfoCreateInfoHandleFn>(module, "ZelInfoCreateInfoHandle");
    auto name = Bind<ZelInfoSetThreadNameWFn>(module, "ZelInfoSetThreadNameW");
    auto write = Bind<ZelInfoWriteLogWFn>(module, "ZelInfoWriteLogW");
    if (!create || !name || !write) return 4;
    const ZelInfoHandle handle = create(::GetModuleHandleW(nullptr));
    name(handle, argv[2], 0);
    const int count = std::wcstol(argv[3], nullptr, 10);
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        wchar_t line[256];
        std::swprintf(line, 256, L"%ls %d", argv[4], i);
        if (write(handle, line, 1) == 0) ++failed;
    }
    return failed == 0 ? 0 : 5;
}
