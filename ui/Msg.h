// The problem texts of the Confirm dialog.
#pragma once

#include <string>

class Msg {
public:
    virtual ~Msg() = default;
    // The target application is not usable.
    virtual std::wstring AppMessage();

    // The chosen save folder does not exist.
    std::wstring SaveLocationMessage();
    // Copying the scanned files failed.
    std::wstring CopyFailedMessage();
};

class MsgScan2AnyApp : public Msg {
public:
    explicit MsgScan2AnyApp(const wchar_t* pszAppName) : m_pszAppName(pszAppName) {}
    // The target application, by its display name, must be installed.
    std::wstring AppMessage() override;

private:
    const wchar_t* m_pszAppName;
};

// Display name of the target application; never localized.
extern const wchar_t kTargetAppDisplayName[];

extern MsgScan2AnyApp g_Msg;
