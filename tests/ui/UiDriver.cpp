#include "tests/ui/UiDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include "framework/Format.h"
#include "services/InfoLog.h"

namespace uitest {

const wchar_t kChooserTitle[] = L"Browse for Folder";

Driver::Driver(Script script) : m_script(std::move(script)), m_mainThread(::GetCurrentThreadId())
{
    m_thread = ::CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

Driver::~Driver()
{
    if (m_thread) {
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
    }
}

std::string Driver::Finish()
{
    if (m_thread) {
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
    return m_failure;
}

DWORD WINAPI Driver::Run(void* p)
{
    auto* self = static_cast<Driver*>(p);
    try {
        self->m_script(*self);
    } catch (const StepFailed& e) {
        self->m_failure = e.what;
        self->CloseEverything();
    }
    return 0;
}

namespace {

struct Search {
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM p)
{
    if (::IsWindowVisible(window)) reinterpret_cast<Search*>(p)->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> Driver::OpenWindows() const
{
    Search s;
    ::EnumThreadWindows(m_mainThread, Collect, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND Driver::WaitForWindow(const std::wstring& title, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    do {
        for (HWND w : OpenWindows())
            if (Text(w) == title) {
                ::Sleep(100);  // let initialisation finish
                return w;
            }
        ::Sleep(20);
    } while (::GetTickCount() - start < timeoutMs);
    throw StepFailed{"no window titled \"" + fx::ToUtf8(title) + "\" appeared"};
}

bool Driver::StaysAbsent(const std::wstring& title, DWORD ms)
{
    DWORD start = ::GetTickCount();
    do {
        for (HWND w : OpenWindows())
            if (Text(w) == title) return false;
        ::Sleep(20);
    } while (::GetTickCount() - start < ms);
    return true;
}

void Driver::WaitGone(HWND window, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (::IsWindow(window) && ::IsWindowVisible(window)) {
        if (::GetTickCount() - start > timeoutMs) throw StepFailed{"a window did not close"};
        ::Sleep(20);
    }
}

std::wstring Driver::Text(HWND window)
{
    wchar_t buffer[1024] = {};
    // WM_GETTEXT is answered by the window's own thread.
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &got);
    return buffer;
}

std::wstring Driver::ItemText(HWND dialog, int id) { return Text(::GetDlgItem(dialog, id)); }

std::vector<std::wstring> Driver::ComboEntries(HWND dialog, int id)
{
    HWND combo = ::GetDlgItem(dialog, id);
    std::vector<std::wstring> entries;
    LRESULT n = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        wchar_t buffer[1024] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        entries.push_back(buffer);
    }
    return entries;
}

int Driver::ComboSelection(HWND dialog, int id)
{
    return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0));
}

// Posted, not sent: a press may open a modal window, and this thread must go on.
void Driver::Click(HWND dialog, int id)
{
    HWND button = ::GetDlgItem(dialog, id);
    Check(button != nullptr, "no button " + std::to_string(id));
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

void Driver::Select(HWND dialog, int comboId, int index)
{
    HWND combo = ::GetDlgItem(dialog, comboId);
    Check(combo != nullptr, "no combo box " + std::to_string(comboId));
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void Driver::PressEscape(HWND dialog)
{
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void Driver::Check(bool condition, const std::string& what)
{
    if (!condition) throw StepFailed{what};
}

void Driver::CloseEverything()
{
    // Innermost first: every round closes what is on top.
    for (int round = 0; round < 200; ++round) {
        std::vector<HWND> open = OpenWindows();
        if (open.empty()) return;
        for (HWND w : open) ::PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
        ::Sleep(50);
    }
}

void AnswerChooser(Driver& d, const wchar_t* path)
{
    HWND chooser = d.WaitForWindow(kChooserTitle);
    if (!path) {
        d.Click(chooser, IDCANCEL);
    } else {
        if (*path) ::SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path));
        d.Click(chooser, IDOK);
    }
    d.WaitGone(chooser);
}

namespace {

std::vector<std::wstring> g_lines;
CRITICAL_SECTION g_linesLock;
bool g_lockReady = false;

long WINAPI CaptureLine(ZelInfoHandle, const wchar_t* line, DWORD)
{
    ::EnterCriticalSection(&g_linesLock);
    g_lines.push_back(line);
    ::LeaveCriticalSection(&g_linesLock);
    return 0;
}

}  // namespace

// Stands in for the logging library: the binding hands every line to us.
LogCapture::LogCapture()
{
    if (!g_lockReady) {
        ::InitializeCriticalSection(&g_linesLock);
        g_lockReady = true;
    }
    g_lines.clear();
    if (!g_ZelInfoLog.module) g_ZelInfoLog.module = ::LoadLibraryW(L"kernel32.dll");
    g_ZelInfoLog.infoHandle = 1;
    g_ZelInfoLog.write = CaptureLine;
}

LogCapture::~LogCapture() { g_ZelInfoLog.write = nullptr; }

std::vector<std::wstring> LogCapture::Lines() const
{
    ::EnterCriticalSection(&g_linesLock);
    std::vector<std::wstring> copy = g_lines;
    ::LeaveCriticalSection(&g_linesLock);
    return copy;
}

bool LogCapture::Has(const std::wstring& line) const
{
    for (const std::wstring& l : Lines())
        if (l == line) return true;
    return false;
}

}  // namespace uitest
