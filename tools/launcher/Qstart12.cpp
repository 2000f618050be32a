// Stand-in for the business-card application's launcher: writes the command
// line it was started with, as UTF-8, into "Qstart12.cmdline.txt" beside
// itself, and prints the files it received.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring SelfFolder()
{
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Written under a temporary name and renamed, so a reader never sees half a line.
bool Record(const std::wstring& file, const std::string& bytes)
{
    const std::wstring temp = file + L".tmp";
    HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && ::MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain()
{
    const std::wstring commandLine = ::GetCommandLineW();
    const bool recorded = Record(SelfFolder() + L"\\Qstart12.cmdline.txt", Utf8(commandLine));

    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &argc);
    std::printf("Qstart12 started with %d file(s)\n", argc > 0 ? argc - 1 : 0);
    for (int i = 1; i < argc; ++i) std::printf("  %s\n", Utf8(argv[i]).c_str());
    if (argv) ::LocalFree(argv);
    if (!recorded) std::printf("could not record the command line\n");
    return recorded ? 0 : 1;
}
