// Plays the host application Tessivo: registers the host's type library,
// creates the plug-in by its class through the COM runtime and calls
// ITVOPlugin2 step by step, printing what happens in plain words.
//
//   tvohost <step> [args] [<step> [args]]...
//
// Steps: texts | flags | filetype EXT | language LANGID | create | copy ID |
// delete ID | summary ID | instance ID | import FOLDER | export FOLDER |
// settings ID | execute ID LISTFILE [delete | flag N] | unsupported
// An ID is a braced GUID or "last" (the one the latest create or copy made).
#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <string>
#include <vector>

#include "Scan2MeplaLib.h"
#include "TVOPluginIF.h"

namespace {

void Print(const std::wstring& text)
{
    const std::wstring line = text + L"\n";
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Hex(HRESULT hr)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

std::wstring GuidText(const GUID& id)
{
    wchar_t buffer[40] = {};
    ::StringFromGUID2(id, buffer, 40);
    return buffer;
}

const wchar_t* YesNo(VARIANT_BOOL b) { return b == VARIANT_TRUE ? L"yes" : (b == VARIANT_FALSE ? L"no" : L"(not a VARIANT_BOOL)"); }

// Takes over a BSTR the plug-in handed out.
std::wstring Take(BSTR b)
{
    std::wstring text = b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(L"(null)");
    ::SysFreeString(b);
    return text;
}

class Host {
public:
    explicit Host(ITVOPlugin2* plugin) : m_plugin(plugin) {}

    // Runs the steps in order; false at the first one that fails.
    bool Run(const std::vector<std::wstring>& args)
    {
        size_t i = 0;
        while (i < args.size()) {
            const std::wstring step = args[i++];
            auto arg = [&](const wchar_t* what) -> std::wstring {
                if (i < args.size()) return args[i++];
                Print(step + L": missing " + what);
                m_usage = true;
                return std::wstring();
            };
            HRESULT hr = S_OK;
            if (step == L"texts") {
                hr = Texts();
            } else if (step == L"flags") {
                hr = Flags();
            } else if (step == L"filetype") {
                const std::wstring ext = arg(L"extension");
                if (m_usage) return false;
                VARIANT_BOOL ok = VARIANT_FALSE;
                BSTR b = ::SysAllocString(ext.c_str());
                hr = m_plugin->IsSupoortFileType(b, &ok, 0);
                ::SysFreeString(b);
                if (SUCCEEDED(hr)) Print(L"File type \"" + ext + L"\" supported: " + YesNo(ok));
            } else if (step == L"language") {
                const std::wstring text = arg(L"language id");
                if (m_usage) return false;
                const LANGID lang = static_cast<LANGID>(std::wcstoul(text.c_str(), nullptr, 0));
                hr = m_plugin->SetLanguage(lang, 0);
                if (SUCCEEDED(hr)) Print(L"Language set to " + Hex(lang).replace(2, 4, L""));
            } else if (step == L"create") {
                GUID id = {};
                hr = m_plugin->CreateID(&id, 0);
                if (SUCCEEDED(hr)) {
                    m_last = id;
                    Print(L"Created instance " + GuidText(id));
                }
            } else if (step == L"copy") {
                GUID source;
                if (!Id(arg(L"instance id"), source)) return false;
                GUID id = {};
                hr = m_plugin->CopyID(source, &id, 0);
                if (SUCCEEDED(hr)) {
                    m_last = id;
                    Print(L"Copied instance " + GuidText(source) + L" to " + GuidText(id));
                }
            } else if (step == L"delete") {
                GUID id;
                if (!Id(arg(L"instance id"), id)) return false;
                hr = m_plugin->DeleteID(id, 0);
                if (SUCCEEDED(hr)) Print(L"Deleted instance " + GuidText(id));
            } else if (step == L"summary") {
                GUID id;
                if (!Id(arg(L"instance id"), id)) return false;
                BSTR text = nullptr;
                hr = m_plugin->SettingsSummary(id, &text, 0);
                if (SUCCEEDED(hr)) Print(L"Summary of " + GuidText(id) + L": \"" + Take(text) + L"\"");
            } else if (step == L"instance") {
                GUID id;
                if (!Id(arg(L"instance id"), id)) return false;
                hr = Instance(id);
            } else if (step == L"import" || step == L"export") {
                const std::wstring folder = arg(L"folder");
                if (m_usage) return false;
                BSTR b = ::SysAllocString(folder.c_str());
                hr = step == L"import" ? m_plugin->ImportData(b, 0) : m_plugin->ExportData(b, 0);
                ::SysFreeString(b);
                if (SUCCEEDED(hr))
                    Print(step == L"import" ? L"Imported the settings of " + folder : L"Exported the settings to " + folder);
            } else if (step == L"settings") {
                GUID id;
                if (!Id(arg(L"instance id"), id)) return false;
                hr = m_plugin->ShowSettingDlg(id, 0, 0);
                if (SUCCEEDED(hr)) Print(L"Settings dialog of " + GuidText(id) + L" closed");
            } else if (step == L"execute") {
                GUID id;
                if (!Id(arg(L"instance id"), id)) return false;
                const std::wstring list = arg(L"file list");
                if (m_usage) return false;
                // "delete" asks as the host does (VARIANT_TRUE); "flag N" passes N as it is.
                VARIANT_BOOL remove = VARIANT_FALSE;
                if (i < args.size() && args[i] == L"delete") {
                    ++i;
                    remove = VARIANT_TRUE;
                } else if (i < args.size() && args[i] == L"flag") {
                    ++i;
                    const std::wstring value = arg(L"flag value");
                    if (m_usage) return false;
                    remove = static_cast<VARIANT_BOOL>(std::wcstol(value.c_str(), nullptr, 0));
                }
                BSTR b = ::SysAllocString(list.c_str());
                hr = m_plugin->Execute(id, b, remove, 0, 0);
                ::SysFreeString(b);
                if (SUCCEEDED(hr)) Print(L"Sent the files of " + list + L" with instance " + GuidText(id));
            } else if (step == L"unsupported") {
                hr = m_plugin->Unsupported(0, 0);
                Print(L"Unsupported answered " + Hex(hr));
                hr = S_OK;
            } else {
                Print(L"unknown step \"" + step + L"\"");
                m_usage = true;
                return false;
            }
            if (m_usage) return false;
            if (FAILED(hr)) {
                Print(step + L" failed: error " + Hex(hr));
                return false;
            }
        }
        return true;
    }

    bool UsageError() const { return m_usage; }

private:
    bool Id(const std::wstring& text, GUID& id)
    {
        if (m_usage) return false;
        if (text == L"last") {
            id = m_last;
            return true;
        }
        std::wstring copy = text;
        if (FAILED(::IIDFromString(copy.data(), &id))) {
            Print(L"not an instance id: " + text);
            m_usage = true;
            return false;
        }
        return true;
    }

    HRESULT Texts()
    {
        struct Item {
            const wchar_t* label;
            HRESULT (STDMETHODCALLTYPE ITVOPlugin2::*method)(BSTR*);
        };
        const Item items[] = {
            {L"Plug-in name", &ITVOPlugin2::GetPluginName}, {L"Send to", &ITVOPlugin2::GetSendToName},
            {L"Description", &ITVOPlugin2::GetDescription}, {L"Version", &ITVOPlugin2::GetPluginVersion},
            {L"Icon", &ITVOPlugin2::GetIconPath},
        };
        for (const Item& item : items) {
            BSTR text = nullptr;
            const HRESULT hr = (m_plugin->*item.method)(&text);
            if (FAILED(hr)) return hr;
            Print(std::wstring(item.label) + L": " + Take(text));
        }
        return S_OK;
    }

    HRESULT Flags()
    {
        struct Item {
            const wchar_t* label;
            HRESULT (STDMETHODCALLTYPE ITVOPlugin2::*method)(VARIANT_BOOL*);
        };
        const Item items[] = {
            {L"Flag A", &ITVOPlugin2::GetFlagA}, {L"Flag B", &ITVOPlugin2::GetFlagB},
            {L"Flag C", &ITVOPlugin2::GetFlagC}, {L"Target application missing", &ITVOPlugin2::IsTargetMissing},
            {L"Flag D", &ITVOPlugin2::GetFlagD}, {L"Flag E", &ITVOPlugin2::GetFlagE},
        };
        for (const Item& item : items) {
            VARIANT_BOOL value = 1;
            const HRESULT hr = (m_plugin->*item.method)(&value);
            if (FAILED(hr)) return hr;
            Print(std::wstring(item.label) + L": " + YesNo(value));
        }
        return S_OK;
    }

    HRESULT Instance(const GUID& id)
    {
        VARIANT_BOOL flag = 1;
        HRESULT hr = m_plugin->GetInstanceFlag(id, &flag, 0);
        if (FAILED(hr)) return hr;
        BSTR text = nullptr;
        hr = m_plugin->GetInstanceText(id, &text, 0);
        if (FAILED(hr)) return hr;
        const std::wstring instanceText = Take(text);
        hr = m_plugin->NotifyInstance(id, 0);
        if (FAILED(hr)) return hr;
        Print(L"Instance " + GuidText(id) + L": flag " + YesNo(flag) + L", text \"" + instanceText + L"\", notified");
        return S_OK;
    }

    ITVOPlugin2* m_plugin;
    GUID m_last = {};
    bool m_usage = false;
};

// The host's setup registers TVOPluginIF; here it comes from beside the program.
HRESULT RegisterHostTypeLib()
{
    std::wstring path(MAX_PATH, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(n);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"TVOPluginIF.tlb";
    ITypeLib* lib = nullptr;
    const HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &lib);
    if (lib) lib->Release();
    return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        Print(L"usage: tvohost <step> [args]... (texts, flags, filetype EXT, language LANGID, create, copy ID, "
              L"delete ID, summary ID, instance ID, import FOLDER, export FOLDER, settings ID, "
              L"execute ID LISTFILE [delete | flag N], unsupported)");
        return 2;
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    int exitCode = 0;
    HRESULT hr = RegisterHostTypeLib();
    if (FAILED(hr)) Print(L"Host: could not register the host's type library TVOPluginIF: error " + Hex(hr));
    ITVOPlugin2* plugin = nullptr;
    hr = ::CoCreateInstance(CLSID_ScanToMeplaPlugin, nullptr, CLSCTX_INPROC_SERVER, IID_ITVOPlugin2,
                            reinterpret_cast<void**>(&plugin));
    if (FAILED(hr)) {
        Print(L"Host: could not create the plug-in " + GuidText(CLSID_ScanToMeplaPlugin) + L": error " + Hex(hr));
        exitCode = 1;
    } else {
        Print(L"Host: created the plug-in " + GuidText(CLSID_ScanToMeplaPlugin));
        Host host(plugin);
        if (!host.Run(std::vector<std::wstring>(argv + 1, argv + argc))) exitCode = host.UsageError() ? 2 : 1;
        plugin->Release();
    }
    ::CoUninitialize();
    return exitCode;
}
