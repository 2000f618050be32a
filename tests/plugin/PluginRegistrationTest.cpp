// Self-registration through the system's regsvr32 and the entry points
// themselves: exactly the class keys, per-user mode, what unregistration keeps,
// the thread locale and the path limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "framework/ComServer.h"
#include "framework/Format.h"
#include "tests/plugin/PluginHost.h"

using namespace s2mtest;

namespace {

const std::wstring kClassKey = L"CLSID\\{962B83D5-70E5-4B5E-9712-56654F65A76D}";
const wchar_t kMachineClasses[] = L"Software\\Classes";
const wchar_t kUserClasses[] = L"Software\\Classes";

int Regsvr32(const std::wstring& options)
{
    const ProcessResult r = RunProgram(L"regsvr32.exe /s " + options + L" \"" + DistPath(L"Scan2Mepla.dll") + L"\"");
    EXPECT_TRUE(r.started);
    return static_cast<int>(r.exitCode);
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    fx::UniqueRegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::set<std::wstring> Subkeys(HKEY root, const std::wstring& path)
{
    std::set<std::wstring> names;
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.insert(name);
    }
    return names;
}

// Names of the values of a key ("" for the default value).
std::set<std::wstring> ValueNames(HKEY root, const std::wstring& path)
{
    std::set<std::wstring> names;
    fx::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.insert(name);
    }
    return names;
}

std::wstring StringValue(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, buffer, &bytes) != ERROR_SUCCESS) return L"(none)";
    return type == REG_SZ ? std::wstring(buffer) : L"(not REG_SZ)";
}

// Exactly the keys and values of a registered class under `classes`.
void ExpectClassKeys(HKEY root, const std::wstring& classes)
{
    const std::wstring key = classes + L"\\" + kClassKey;
    EXPECT_EQ(StringValue(root, key), L"ScanToMeplaPlugin Class");
    EXPECT_EQ(ValueNames(root, key), std::set<std::wstring>{L""});
    EXPECT_EQ(Subkeys(root, key),
              (std::set<std::wstring>{L"InprocServer32", L"Programmable", L"TypeLib", L"Version"}));
    const std::wstring server = StringValue(root, key + L"\\InprocServer32");
    EXPECT_EQ(::lstrcmpiW(server.c_str(), DistPath(L"Scan2Mepla.dll").c_str()), 0) << fx::ToUtf8(server);
    EXPECT_EQ(StringValue(root, key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ValueNames(root, key + L"\\InprocServer32"), (std::set<std::wstring>{L"", L"ThreadingModel"}));
    EXPECT_EQ(StringValue(root, key + L"\\TypeLib"), L"{E7409910-08F4-4AA2-9D99-584EC2F75379}");
    EXPECT_EQ(StringValue(root, key + L"\\Version"), L"1.0");
    EXPECT_TRUE(ValueNames(root, key + L"\\Programmable").empty());
    EXPECT_TRUE(Subkeys(root, key + L"\\Programmable").empty());
}

}  // namespace

TEST(PluginRegistration, Regsvr32WritesExactlyTheClassKeys)
{
    // A stale subkey under an older registration of the same class goes.
    fx::UniqueRegKey stale;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kMachineClasses) + L"\\" + kClassKey + L"\\Stale").c_str(),
                                0, nullptr, 0, KEY_ALL_ACCESS, nullptr, stale.put(), nullptr),
              ERROR_SUCCESS);
    stale.reset();

    ASSERT_EQ(Regsvr32(L""), 0);
    ExpectClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
    // The type library is registered with the class.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{E7409910-08F4-4AA2-9D99-584EC2F75379}\\1.0"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\{3F3AD679-1DCA-446B-9E6E-4A45ABB8D6D1}"));

    // The host creates it through the COM runtime.
    fx::ComPtr<ITVOPlugin2> plugin;
    ASSERT_EQ(::CoCreateInstance(CLSID_ScanToMeplaPlugin, nullptr, CLSCTX_INPROC_SERVER, IID_ITVOPlugin2,
                                 plugin.put_void()),
              S_OK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(plugin->GetFlagB(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    plugin.reset();

    ASSERT_EQ(Regsvr32(L"/u"), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"\\" + kClassKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"\\CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{E7409910-08F4-4AA2-9D99-584EC2F75379}\\1.0"));

    // Unregistering what is not registered keeps "CLSID" too.
    Regsvr32(L"/u");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"\\CLSID"));
}

TEST(PluginRegistration, PerUserThroughDllInstall)
{
    struct Case { const wchar_t* commandLine; bool perUser; };
    const Case cases[] = {{L"user", true}, {L"USER", true}, {L"uSeR", true}, {L"user1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(fx::ToUtf8(c.commandLine));
        ASSERT_EQ(Regsvr32(std::wstring(L"/i:") + c.commandLine + L" /n"), 0);
        if (c.perUser) {
            ExpectClassKeys(HKEY_CURRENT_USER, kUserClasses);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"\\" + kClassKey));
        } else {
            ExpectClassKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L"\\" + kClassKey));
        }
        // Uninstall in the same mode.
        ASSERT_EQ(Regsvr32(std::wstring(L"/u /i:") + c.commandLine + L" /n"), 0);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L"\\" + kClassKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"\\" + kClassKey));
        EXPECT_TRUE(KeyExists(c.perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                              std::wstring(c.perUser ? kUserClasses : kMachineClasses) + L"\\CLSID"));
    }
}

namespace {

using EntryFn = HRESULT(WINAPI*)();

HRESULT CallWithLocale(HMODULE dll, const char* entry, LCID& after)
{
    auto fn = reinterpret_cast<EntryFn>(reinterpret_cast<void*>(::GetProcAddress(dll, entry)));
    if (!fn) return E_FAIL;
    const LCID other = MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT);
    ::SetThreadLocale(other);
    const HRESULT hr = fn();
    after = ::GetThreadLocale();
    return hr;
}

}  // namespace

TEST(PluginRegistration, ThreadLocaleIsRestoredAndLongPathsFail)
{
    const LCID before = ::GetThreadLocale();
    const LCID french = MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT);
    {
        PluginDll dll;
        ASSERT_TRUE(dll.Loaded());
        LCID after = 0;
        EXPECT_EQ(CallWithLocale(dll.Module(), "DllRegisterServer", after), S_OK);
        EXPECT_EQ(after, french);
        EXPECT_EQ(CallWithLocale(dll.Module(), "DllUnregisterServer", after), S_OK);
        EXPECT_EQ(after, french);
    }

    // A copy whose path takes 260 characters or more cannot be registered.
    ScratchDir scratch;
    std::wstring folder = scratch.Path();
    while (folder.size() < 250) {
        folder += L"\\" + std::wstring(40, L'd');
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
    const std::wstring deep = folder + L"\\Scan2Mepla.dll";
    ASSERT_GE(deep.size(), 260u);
    ASSERT_TRUE(::CopyFileW(DistPath(L"Scan2Mepla.dll").c_str(), deep.c_str(), FALSE));
    {
        PluginDll dll(deep);
        if (!dll.Loaded()) GTEST_SKIP() << "this system cannot load a DLL from a path that long";
        LCID after = 0;
        EXPECT_EQ(CallWithLocale(dll.Module(), "DllRegisterServer", after), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(after, french);
    }
    ::SetThreadLocale(before);
}
