// What the send tests share: the plug-in loaded as the host loads it, the
// launcher stand-in installed under an overridden HKLM, instances with a
// chosen save location, real scan files and the host's UTF-16 file list.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "datasource/PluginDataSource.h"
#include "framework/Format.h"
#include "tests/plugin/PluginHost.h"
#include "tests/support/LogFile.h"
#include "tests/support/TestSupport.h"

namespace sendtest {

using namespace s2mtest;

inline PluginDll& Dll()
{
    static PluginDll dll;
    return dll;
}

inline std::wstring SettingsFolder()
{
    wchar_t appData[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    return std::wstring(appData) + L"\\Torvane\\Scan2Mepla";
}

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::wstring FailureLine(const wchar_t* label, HRESULT hr)
{
    return fx::Format(L"%s: error = %08X", label, static_cast<unsigned>(hr));
}

// A 1x1 grey PNG: what a scanner job leaves behind, in miniature.
inline std::string PngBytes()
{
    static const unsigned char png[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
        0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x7E, 0x9B,
        0x55, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x68, 0x00, 0x00, 0x00,
        0x82, 0x00, 0x81, 0x77, 0xCD, 0x72, 0xB6, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
        0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(png), sizeof png);
}

inline void MakeScan(const std::wstring& path) { ASSERT_TRUE(WriteFileBytes(path, PngBytes())) << fx::ToUtf8(path); }

// The raw UTF-16 little-endian bytes of `text`, as the host writes its list.
inline std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A well-formed list: byte-order mark, one path a line, each ending in "\n".
inline std::wstring ListText(const std::vector<std::wstring>& paths)
{
    std::wstring text = L"\xFEFF";
    for (const std::wstring& p : paths) text += p + L"\n";
    return text;
}

class SendTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InstallLogLibrary();
        fx::ComPtr<ITypeLib> lib;
        ::LoadTypeLibEx(BinPath(L"TVOPluginIF.tlb").c_str(), REGKIND_REGISTER, lib.put());
        // Loaded with the real HKLM, so its start-up finds the log library.
        Dll();
    }

    void SetUp() override
    {
        ASSERT_TRUE(Dll().Loaded());
        RemoveTree(SettingsFolder());
        plugin_ = Dll().Create();
        ASSERT_TRUE(plugin_);
        logBefore_ = ReadPluginLogTexts().size();
        machine_.emplace();
        install_.emplace(L"send-install");
        scans_.emplace(L"send-scans");
        save_.emplace(L"send-save");
    }
    void TearDown() override
    {
        plugin_.reset();
        machine_.reset();
        RemoveTree(SettingsFolder());
    }

    // The launcher stand-in as version 14.0 of the target application.
    void InstallLauncher()
    {
        ASSERT_TRUE(::CopyFileW(BinPath(L"Qstart12.exe").c_str(), Launcher().c_str(), FALSE));
        RegisterInstall();
    }
    void RegisterInstall()
    {
        fx::UniqueRegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Halden\\e.Pallo\\14.0", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        const std::wstring& folder = install_->Path();
        ASSERT_EQ(::RegSetValueExW(key.get(), L"InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::wstring Launcher() const { return install_->File(L"Qstart12.exe"); }
    std::wstring CommandLineFile() const { return install_->File(L"Qstart12.cmdline.txt"); }

    // The command line the launcher recorded; "" when it never ran.
    std::wstring LauncherCommandLine(DWORD waitMs = 20000) const
    {
        const std::wstring file = CommandLineFile();
        for (DWORD waited = 0; waited < waitMs && !Exists(file); waited += 20) ::Sleep(20);
        return ReadFileWide(file);
    }
    // What the launcher gets for `copies` with the empty template.
    std::wstring ExpectedCommandLine(const std::vector<std::wstring>& copies) const
    {
        std::wstring line = L"\"" + Launcher() + L"\"";
        for (const std::wstring& c : copies) line += L" \"" + c + L"\"";
        return line;
    }

    // A new instance saving into `folder` (SaveID 3) or into `saveId`'s place.
    GUID NewInstance(long saveId, const std::wstring& folder)
    {
        GUID id = {};
        EXPECT_EQ(plugin_->CreateID(&id, 0), S_OK);
        CPluginDataSource data;
        SettingRecord record(id);
        EXPECT_EQ(data.LoadData(record), S_OK);
        record.SetSaveID(saveId);
        record.SetSaveFoloder(folder);
        EXPECT_EQ(data.SaveData(record), S_OK);
        return id;
    }
    GUID NewInstance() { return NewInstance(3, save_->Path()); }

    SettingRecord Stored(const GUID& id)
    {
        CPluginDataSource data;
        SettingRecord record(id);
        EXPECT_EQ(data.LoadData(record), S_OK);
        return record;
    }

    std::wstring WriteList(const std::wstring& text, const wchar_t* name = L"list.txt")
    {
        const std::wstring path = scans_->File(name);
        EXPECT_TRUE(WriteFileBytes(path, Utf16Bytes(text)));
        return path;
    }

    HRESULT Execute(const GUID& id, const std::wstring& list, VARIANT_BOOL flag = VARIANT_FALSE)
    {
        fx::UniqueBstr b = fx::MakeBstr(list.c_str());
        return plugin_->Execute(id, b.get(), flag, 0, 0);
    }

    std::vector<std::wstring> Log() const
    {
        std::vector<std::wstring> texts = ReadPluginLogTexts();
        texts.erase(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(std::min(logBefore_, texts.size())));
        return texts;
    }
    bool Logged(const std::wstring& line) const
    {
        for (const std::wstring& l : Log())
            if (l == line) return true;
        return false;
    }
    // The failure lines (": error = ") in order.
    std::vector<std::wstring> Failures() const
    {
        std::vector<std::wstring> out;
        for (const std::wstring& l : Log())
            if (l.find(L": error = ") != std::wstring::npos) out.push_back(l);
        return out;
    }

    fx::ComPtr<ITVOPlugin2> plugin_;
    size_t logBefore_ = 0;
    std::optional<RegistryOverride> machine_;
    std::optional<ScratchDir> install_, scans_, save_;
};

}  // namespace sendtest
