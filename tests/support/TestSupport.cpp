#include "tests/support/TestSupport.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "framework/Unique.h"

namespace s2mtest {

std::wstring ExeDir()
{
    wchar_t buffer[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    ::PathRemoveFileSpecW(buffer);
    return buffer;
}

std::wstring DistDir()
{
    wchar_t buffer[MAX_PATH] = {};
    ::PathCombineW(buffer, ExeDir().c_str(), L"..\\dist");
    return buffer;
}

std::wstring BinPath(const std::wstring& name) { return ExeDir() + L"\\" + name; }
std::wstring DistPath(const std::wstring& name) { return DistDir() + L"\\" + name; }

namespace {

std::wstring TempRoot()
{
    wchar_t buffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, buffer);
    std::wstring root = buffer;
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    root += L"\\s2m-tests";
    ::CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

std::wstring CurrentTestName()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return L"outside-test";
    std::wstring name = fx::FromUtf8(std::string(info->test_suite_name()) + "." + info->name());
    for (wchar_t& c : name)
        if (c == L'/' || c == L'\\' || c == L':') c = L'_';
    return name;
}

}  // namespace

ScratchDir::ScratchDir() : ScratchDir(CurrentTestName()) {}

ScratchDir::ScratchDir(const std::wstring& name) : path_(TempRoot() + L"\\" + name)
{
    RemoveTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool RemoveTree(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileW(path.c_str()) != FALSE;
    }
    WIN32_FIND_DATAW data;
    fx::UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

RegistryOverride::RegistryOverride(HKEY predefined) : predefined_(predefined)
{
    static int counter = 0;
    scratchPath_ = fx::Format(L"Software\\S2MTest\\Override%lu_%d", ::GetCurrentProcessId(), ++counter);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
    ::RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_, nullptr);
    ::RegOverridePredefKey(predefined_, scratch_);
}

RegistryOverride::~RegistryOverride()
{
    ::RegOverridePredefKey(predefined_, nullptr);
    if (scratch_) ::RegCloseKey(scratch_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
}

ProcessResult RunProgram(const std::wstring& commandLine, DWORD timeoutMs, const std::wstring& currentDir)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return result;
    fx::UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          currentDir.empty() ? nullptr : currentDir.c_str(), &startup, &process))
        return result;
    result.started = true;
    fx::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset();

    // Read while waiting, so a chatty child never blocks on a full pipe.
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    char chunk[4096];
    for (;;) {
        DWORD available = 0;
        while (::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (!::ReadFile(readEnd.get(), chunk, sizeof(chunk), &got, nullptr) || got == 0) break;
            result.output.append(chunk, got);
        }
        if (::WaitForSingleObject(processHandle.get(), 20) == WAIT_OBJECT_0) break;
        if (::GetTickCount64() > deadline) {
            result.timedOut = true;
            ::TerminateProcess(processHandle.get(), 0xDEAD);
            ::WaitForSingleObject(processHandle.get(), 5000);
            break;
        }
    }
    DWORD got = 0;
    while (::ReadFile(readEnd.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) result.output.append(chunk, got);
    ::GetExitCodeProcess(processHandle.get(), &result.exitCode);
    return result;
}

std::string ReadFileBytes(const std::wstring& path)
{
    fx::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    fx::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

std::string Hex(long code)
{
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%08lX", static_cast<unsigned long>(code));
    return buffer;
}

}  // namespace s2mtest
