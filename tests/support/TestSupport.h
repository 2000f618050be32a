// Helpers every test program shares.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Format.h"

namespace s2mtest {

std::wstring ExeDir();   // folder of the running test program (build/bin)
std::wstring DistDir();  // the shipped files of the same build tree (build/dist)
std::wstring BinPath(const std::wstring& name);   // ExeDir()\name
std::wstring DistPath(const std::wstring& name);  // DistDir()\name

// A fresh, empty folder for one test, removed with everything in it afterwards.
class ScratchDir {
public:
    ScratchDir();  // named after the running GoogleTest test
    explicit ScratchDir(const std::wstring& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return path_; }      // no trailing backslash
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Deletes a folder and everything below it; true when it is gone.
bool RemoveTree(const std::wstring& path);

// Redirects a predefined key (HKEY_LOCAL_MACHINE by default) of this process
// to an empty scratch key, and removes that key afterwards.
class RegistryOverride {
public:
    explicit RegistryOverride(HKEY predefined = HKEY_LOCAL_MACHINE);
    ~RegistryOverride();
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

private:
    HKEY predefined_;
    HKEY scratch_ = nullptr;
    std::wstring scratchPath_;
};

// Runs a program and collects what it printed (stdout and stderr together).
struct ProcessResult {
    DWORD exitCode = 0;
    std::string output;
    bool timedOut = false;
    bool started = false;
};
ProcessResult RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 120000,
                         const std::wstring& currentDir = std::wstring());

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
inline std::string ReadFileUtf8(const std::wstring& path) { return ReadFileBytes(path); }
inline std::wstring ReadFileWide(const std::wstring& path) { return fx::FromUtf8(ReadFileBytes(path)); }

// "0x80070002" for messages.
std::string Hex(long code);

}  // namespace s2mtest
