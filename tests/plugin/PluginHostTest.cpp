// The plug-in DLL as the host sees it: the object, its interface table, the
// 27 host methods, the class object and the module lock.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Format.h"
#include "tests/plugin/PluginHost.h"
#include "tests/support/LogFile.h"

using namespace s2mtest;

namespace {

PluginDll& Dll()
{
    static PluginDll dll;
    return dll;
}

std::wstring SettingsFolder()
{
    wchar_t appData[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    return std::wstring(appData) + L"\\Torvane\\Scan2Mepla";
}
std::wstring SettingsFile() { return SettingsFolder() + L"\\AppSettings.XML"; }
std::wstring BackupFile() { return SettingsFolder() + L"\\~AppSettings.XML"; }

std::wstring IdText(const GUID& id)
{
    wchar_t buffer[40] = {};
    ::StringFromGUID2(id, buffer, 40);
    return buffer;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The launcher installed as version `version` of the target application
// (under the overridden HKLM of this process).
void InstallLauncher(const std::wstring& folder, const wchar_t* version)
{
    ASSERT_TRUE(::CopyFileW(BinPath(L"Qstart12.exe").c_str(), (folder + L"\\Qstart12.exe").c_str(), FALSE));
    fx::UniqueRegKey key;
    const std::wstring path = std::wstring(L"SOFTWARE\\Halden\\e.Pallo\\") + version;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                               static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

std::wstring FailureLine(const wchar_t* label, HRESULT hr)
{
    return fx::Format(L"%s: error = %08X", label, static_cast<unsigned>(hr));
}

// The lines of the plug-in's log written since the start of the test.
std::vector<std::wstring> NewLogLines(size_t before)
{
    std::vector<std::wstring> texts = ReadPluginLogTexts();
    texts.erase(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(std::min(before, texts.size())));
    return texts;
}

class PluginHostTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InstallLogLibrary();
        // The host's setup registers its library; IDispatch needs it.
        fx::ComPtr<ITypeLib> lib;
        ::LoadTypeLibEx(BinPath(L"TVOPluginIF.tlb").c_str(), REGKIND_REGISTER, lib.put());
    }

    void SetUp() override
    {
        ASSERT_TRUE(Dll().Loaded());
        RemoveTree(SettingsFolder());
        plugin_ = Dll().Create();
        ASSERT_TRUE(plugin_);
        logBefore_ = ReadPluginLogTexts().size();
    }
    void TearDown() override
    {
        plugin_.reset();
        RemoveTree(SettingsFolder());
    }

    std::vector<std::wstring> Log() const { return NewLogLines(logBefore_); }

    fx::ComPtr<ITVOPlugin2> plugin_;
    size_t logBefore_ = 0;
};

}  // namespace

TEST_F(PluginHostTest, InterfaceTable)
{
    fx::ComPtr<IUnknown> unknown, own, dispatch, host;
    ASSERT_EQ(plugin_->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    ASSERT_EQ(plugin_->QueryInterface(IID_IScanToMeplaPlugin, own.put_void()), S_OK);
    ASSERT_EQ(plugin_->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    ASSERT_EQ(plugin_->QueryInterface(IID_ITVOPlugin2, host.put_void()), S_OK);
    EXPECT_EQ(unknown.get(), own.get());
    EXPECT_EQ(dispatch.get(), host.get());
    EXPECT_EQ(host.get(), static_cast<IUnknown*>(plugin_.get()));
    EXPECT_NE(unknown.get(), host.get());

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(plugin_->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(plugin_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(PluginHostTest, DispatchOfTheHostFaceComesFromTheHostLibrary)
{
    fx::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(plugin_->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    fx::ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ITVOPlugin2));
    info->ReleaseTypeAttr(attr);

    // Late bound: GetFlagB answers FALSE through Invoke.
    wchar_t name[] = L"GetFlagB";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    VARIANT arg;
    ::VariantInit(&arg);
    arg.vt = VT_BOOL | VT_BYREF;
    arg.pboolVal = &flag;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
}

TEST_F(PluginHostTest, TextsInJapaneseAfterSetLanguage)
{
    using SetLanguageFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, LANGID, LONG_PTR);
    ASSERT_EQ(Slot<SetLanguageFn>(plugin_.get(), 14)(plugin_.get(), 0x0411, 0), S_OK);
    struct Case { int slot; const wchar_t* text; };
    const Case cases[] = {
        {1, L"メプラ用 Tessivo プラグイン"},
        {2, L"メプラに送る"},
        {3, L"メプラとTessivoを連携する機能"},
    };
    using TextFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, BSTR*);
    for (const Case& c : cases) {
        BSTR text = nullptr;
        EXPECT_EQ(Slot<TextFn>(plugin_.get(), c.slot)(plugin_.get(), &text), S_OK);
        EXPECT_EQ(Take(text), c.text) << "method " << c.slot;
    }
    EXPECT_EQ(plugin_->SetLanguage(0x0409, 0), S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(plugin_->GetSendToName(&text), S_OK);
    EXPECT_EQ(Take(text), L"Send to メプラ");
}

TEST_F(PluginHostTest, VersionAndIcon)
{
    BSTR text = nullptr;
    ASSERT_EQ(plugin_->GetPluginVersion(&text), S_OK);
    EXPECT_EQ(Take(text), L"1.2.42136.1");

    ASSERT_EQ(plugin_->GetIconPath(&text), S_OK);
    const std::wstring icon = Take(text);
    EXPECT_EQ(::lstrcmpiW(icon.c_str(), DistPath(L"ZelMepla.ico").c_str()), 0) << fx::ToUtf8(icon);
    const std::string bytes = ReadFileBytes(icon);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\1\0", 4));  // an icon file
    EXPECT_GE(static_cast<unsigned char>(bytes[4]), 2);           // of several sizes
}

TEST_F(PluginHostTest, FixedAnswersByPosition)
{
    using FlagFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, VARIANT_BOOL*);
    struct Case { int slot; VARIANT_BOOL answer; };
    for (const Case c : {Case{6, VARIANT_TRUE}, Case{7, VARIANT_FALSE}, Case{8, VARIANT_TRUE}, Case{10, VARIANT_TRUE},
                         Case{11, VARIANT_TRUE}}) {
        VARIANT_BOOL value = 1;
        EXPECT_EQ(Slot<FlagFn>(plugin_.get(), c.slot)(plugin_.get(), &value), S_OK);
        EXPECT_EQ(value, c.answer) << "method " << c.slot;
    }
    using ValueFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, LONG);
    EXPECT_EQ(Slot<ValueFn>(plugin_.get(), 12)(plugin_.get(), 7), S_OK);
    EXPECT_EQ(Slot<ValueFn>(plugin_.get(), 13)(plugin_.get(), -1), S_OK);
    using TwoValuesFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, LONG, LONG);
    EXPECT_EQ(Slot<TwoValuesFn>(plugin_.get(), 19)(plugin_.get(), 1, 2), E_NOTIMPL);

    const GUID any = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(plugin_->GetInstanceFlag(any, &flag, 0), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    BSTR text = nullptr;
    EXPECT_EQ(plugin_->GetInstanceText(any, &text, 0), S_OK);
    ASSERT_NE(text, nullptr);  // an empty BSTR, not null
    EXPECT_EQ(Take(text), L"");
    EXPECT_EQ(plugin_->NotifyInstance(any, 0), S_OK);
    EXPECT_FALSE(Exists(SettingsFile()));
    EXPECT_TRUE(Log().empty());
}

TEST_F(PluginHostTest, SupportedFileTypes)
{
    struct Case { const wchar_t* type; VARIANT_BOOL answer; };
    const Case cases[] = {{L"png", VARIANT_TRUE}, {L"PNG", VARIANT_TRUE}, {L"Png", VARIANT_TRUE},
                          {L"jpg", VARIANT_FALSE}, {L".png", VARIANT_FALSE}, {L"", VARIANT_FALSE}};
    for (const Case& c : cases) {
        fx::UniqueBstr type = fx::MakeBstr(c.type);
        VARIANT_BOOL answer = 1;
        EXPECT_EQ(plugin_->IsSupoortFileType(type.get(), &answer, 0), S_OK);
        EXPECT_EQ(answer, c.answer) << fx::ToUtf8(c.type);
    }
}

TEST_F(PluginHostTest, TargetMissingWithoutTheLauncher)
{
    RegistryOverride machine;
    VARIANT_BOOL missing = VARIANT_FALSE;
    EXPECT_EQ(plugin_->IsTargetMissing(&missing), S_OK);
    EXPECT_EQ(missing, VARIANT_TRUE);

    const GUID unknown = {0xDEADBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    BSTR text = nullptr;
    EXPECT_EQ(plugin_->SettingsSummary(unknown, &text, 0), S_OK);
    EXPECT_EQ(Take(text), L"Install the メプラ.");
    for (const std::wstring& line : Log()) EXPECT_EQ(line.find(L"m_Data.SettingsSummary"), std::wstring::npos);
}

TEST_F(PluginHostTest, TargetFoundWithTheLauncher)
{
    ScratchDir install;
    RegistryOverride machine;
    InstallLauncher(install.Path(), L"14.0");
    VARIANT_BOOL missing = VARIANT_TRUE;
    EXPECT_EQ(plugin_->IsTargetMissing(&missing), S_OK);
    EXPECT_EQ(missing, VARIANT_FALSE);

    const GUID unknown = {0xDEADBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    BSTR text = nullptr;
    EXPECT_EQ(plugin_->SettingsSummary(unknown, &text, 0), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Take(text), L"");
}

TEST_F(PluginHostTest, CreateCopyDeleteAgainstTheSettingsFile)
{
    GUID created = {};
    ASSERT_EQ(plugin_->CreateID(&created, 0), S_OK);
    std::string file = ReadFileUtf8(SettingsFile());
    EXPECT_NE(file.find(fx::ToUtf8(IdText(created))), std::string::npos) << file;

    GUID copied = {};
    ASSERT_EQ(plugin_->CopyID(created, &copied, 0), S_OK);
    EXPECT_FALSE(IsEqualGUID(created, copied));
    file = ReadFileUtf8(SettingsFile());
    EXPECT_NE(file.find(fx::ToUtf8(IdText(copied))), std::string::npos);

    ASSERT_EQ(plugin_->DeleteID(created, 0), S_OK);
    ASSERT_EQ(plugin_->DeleteID(copied, 0), S_OK);
    file = ReadFileUtf8(SettingsFile());
    EXPECT_EQ(file.find(fx::ToUtf8(IdText(created))), std::string::npos);
    EXPECT_EQ(file.find(fx::ToUtf8(IdText(copied))), std::string::npos);
    EXPECT_NE(file.find("Objects"), std::string::npos);
}

TEST_F(PluginHostTest, CopyOfAnUnknownIdCreatesNothing)
{
    GUID created = {};
    ASSERT_EQ(plugin_->CreateID(&created, 0), S_OK);
    const std::string before = ReadFileUtf8(SettingsFile());
    const GUID unknown = {0xDEADBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    GUID out = {0x11111111, 0, 0, {}};
    const GUID untouched = out;
    const HRESULT hr = plugin_->CopyID(unknown, &out, 0);
    EXPECT_LT(hr, 0);
    EXPECT_TRUE(IsEqualGUID(out, untouched));
    EXPECT_EQ(ReadFileUtf8(SettingsFile()), before);
    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], FailureLine(L"LoadData", hr));
    EXPECT_EQ(log.back(), FailureLine(L"m_Data.CopyID", hr));
}

TEST_F(PluginHostTest, CreateIntoAnUnwritableSettingsFolder)
{
    // A folder where the settings file should be: nothing can be saved there.
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, SettingsFile().c_str(), nullptr), ERROR_SUCCESS);
    GUID created = {};
    const HRESULT hr = plugin_->CreateID(&created, 0);
    EXPECT_LT(hr, 0);
    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], FailureLine(L"SaveData", hr));
    EXPECT_EQ(log.back(), FailureLine(L"m_Data.CreateID", hr));
}

TEST_F(PluginHostTest, ExportIntoAFolderThatCannotBeWritten)
{
    GUID created = {};
    ASSERT_EQ(plugin_->CreateID(&created, 0), S_OK);
    ScratchDir scratch;
    fx::UniqueBstr folder = fx::MakeBstr(scratch.File(L"missing"));
    const HRESULT hr = plugin_->ExportData(folder.get(), 0);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x80070003));
    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], FailureLine(L"CopyFolder", hr));
    EXPECT_EQ(log.back(), FailureLine(L"m_Data.ImportData", hr));
}

TEST_F(PluginHostTest, ExportWithoutSettingsFileWritesNothing)
{
    ScratchDir scratch;
    fx::UniqueBstr folder = fx::MakeBstr(scratch.Path());
    EXPECT_EQ(plugin_->ExportData(folder.get(), 0), static_cast<HRESULT>(0x80070002));
    EXPECT_FALSE(Exists(scratch.File(L"AppSettings.XML")));
}

TEST_F(PluginHostTest, ExportThenImportRoundTrip)
{
    GUID first = {};
    ASSERT_EQ(plugin_->CreateID(&first, 0), S_OK);
    ScratchDir scratch;
    fx::UniqueBstr folder = fx::MakeBstr(scratch.Path() + L"\\");
    ASSERT_EQ(plugin_->ExportData(folder.get(), 0), S_OK);
    EXPECT_EQ(ReadFileBytes(scratch.File(L"AppSettings.XML")), ReadFileBytes(SettingsFile()));

    // A fresh user imports it: no backup is made, the merge makes the file.
    RemoveTree(SettingsFolder());
    ASSERT_EQ(plugin_->ImportData(folder.get(), 0), S_OK);
    EXPECT_NE(ReadFileUtf8(SettingsFile()).find(fx::ToUtf8(IdText(first))), std::string::npos);
    EXPECT_FALSE(Exists(BackupFile()));

    // Importing again backs the file up first.
    ASSERT_EQ(plugin_->ImportData(folder.get(), 0), S_OK);
    EXPECT_TRUE(Exists(BackupFile()));
}

TEST_F(PluginHostTest, FailedImportKeepsTheSettingsFile)
{
    GUID first = {};
    ASSERT_EQ(plugin_->CreateID(&first, 0), S_OK);
    const std::string before = ReadFileBytes(SettingsFile());
    ScratchDir empty;
    fx::UniqueBstr folder = fx::MakeBstr(empty.Path());
    const HRESULT hr = plugin_->ImportData(folder.get(), 0);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(ReadFileBytes(SettingsFile()), before);
    EXPECT_EQ(ReadFileBytes(BackupFile()), before);
    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], FailureLine(L"CopyFolder", hr));
    EXPECT_EQ(log.back(), FailureLine(L"m_Data.ImportData", hr));
}

TEST_F(PluginHostTest, FailedImportNeverBringsBackAnOldBackup)
{
    // An older import left a backup; the user has since no settings file.
    GUID old = {};
    ASSERT_EQ(plugin_->CreateID(&old, 0), S_OK);
    ASSERT_TRUE(::CopyFileW(SettingsFile().c_str(), BackupFile().c_str(), FALSE));
    ASSERT_TRUE(::DeleteFileW(SettingsFile().c_str()));

    ScratchDir empty;
    fx::UniqueBstr folder = fx::MakeBstr(empty.Path());
    EXPECT_EQ(plugin_->ImportData(folder.get(), 0), static_cast<HRESULT>(0x80070002));
    EXPECT_FALSE(Exists(SettingsFile()));
}

TEST_F(PluginHostTest, ClassObjectAndModuleLock)
{
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);  // plugin_ is alive
    plugin_.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);

    fx::ComPtr<IClassFactory> factory;
    ASSERT_EQ(Dll().GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);  // a reference to the class object
    fx::ComPtr<IClassFactory> again;
    ASSERT_EQ(Dll().GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, again.put_void()), S_OK);
    EXPECT_EQ(factory.get(), again.get());
    again.reset();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_FALSE);  // LockServer(TRUE)
    ASSERT_EQ(Dll().GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);

    // Aggregation only through IUnknown.
    fx::ComPtr<IUnknown> outer;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, outer.put_void()), S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_ITVOPlugin2, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    outer.reset();
    factory.reset();
    EXPECT_EQ(Dll().CanUnloadNow(), S_OK);

    const CLSID other = {0x00000000, 0x1111, 0x2222, {3, 3, 3, 3, 3, 3, 3, 3}};
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().GetClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Dll().GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, nullptr), E_POINTER);
}

namespace {

// A minimal outer object that aggregates the plug-in.
class Outer : public IUnknown {
public:
    HRESULT Init(IClassFactory* factory)
    {
        return factory->CreateInstance(this, IID_IUnknown, inner_.put_void());
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    ULONG Refs() const { return refs_; }
    void Drop() { inner_.reset(); }

private:
    ULONG refs_ = 1;
    fx::ComPtr<IUnknown> inner_;
};

}  // namespace

TEST_F(PluginHostTest, AggregatedObjectDelegatesToItsOuter)
{
    fx::ComPtr<IClassFactory> factory;
    ASSERT_EQ(Dll().GetClassObject(CLSID_ScanToMeplaPlugin, IID_IClassFactory, factory.put_void()), S_OK);
    Outer outer;
    ASSERT_EQ(outer.Init(factory.get()), S_OK);
    ITVOPlugin2* host = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ITVOPlugin2, reinterpret_cast<void**>(&host)), S_OK);
    EXPECT_EQ(outer.Refs(), 2u);  // the face counts on the outer object
    IUnknown* identity = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    VARIANT_BOOL flag = VARIANT_FALSE;
    EXPECT_EQ(host->GetFlagA(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    host->Release();
    outer.Drop();
}
