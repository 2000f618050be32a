// Drives the dialogs of the test program's main thread from a second thread,
// the way a user does: finds windows by title, picks combo entries, presses
// buttons and Escape.  A script that gets stuck closes whatever is open, so a
// failing test never leaves a modal loop running.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uitest {

class Driver;
using Script = std::function<void(Driver&)>;

// Thrown inside a script when a step cannot be done.
struct StepFailed {
    std::string what;
};

class Driver {
public:
    // Starts `script` on its own thread; Finish() waits for it.
    explicit Driver(Script script);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // Empty when the script ran to its end, else what went wrong.
    std::string Finish();

    // A visible dialog of the main thread with this title.
    HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 15000);
    // True when no such window appears within `ms`.
    bool StaysAbsent(const std::wstring& title, DWORD ms);
    void WaitGone(HWND window, DWORD timeoutMs = 15000);

    static std::wstring Text(HWND window);
    static std::wstring ItemText(HWND dialog, int id);
    static std::vector<std::wstring> ComboEntries(HWND dialog, int id);
    static int ComboSelection(HWND dialog, int id);

    void Click(HWND dialog, int id);
    void Select(HWND dialog, int comboId, int index);
    void PressEscape(HWND dialog);
    void Check(bool condition, const std::string& what);

    // Every visible top-level window of the main thread.
    std::vector<HWND> OpenWindows() const;

private:
    static DWORD WINAPI Run(void* self);
    void CloseEverything();

    Script m_script;
    DWORD m_mainThread;
    HANDLE m_thread = nullptr;
    std::string m_failure;
};

// Shows a dialog on this thread while `script` drives it; the dialog's result.
template <typename Dlg>
INT_PTR RunDialog(Dlg& dialog, Script script, std::string& failure)
{
    Driver driver(std::move(script));
    INT_PTR result = dialog.DoModal();
    failure = driver.Finish();
    return result;
}

// The title Wine gives the shell's folder chooser.
extern const wchar_t kChooserTitle[];
// Drives an open folder chooser: selects `path` (empty: leaves the selection)
// and confirms, or cancels when `path` is null.
void AnswerChooser(Driver& d, const wchar_t* path);

// Log lines written while a test runs.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::wstring> Lines() const;
    bool Has(const std::wstring& line) const;
};

}  // namespace uitest
