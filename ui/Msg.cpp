#include "ui/Msg.h"

#include "framework/Format.h"
#include "ui/TextFormat.h"
#include "services/Localize.h"

const wchar_t kTargetAppDisplayName[] = L"\u30E1\u30D7\u30E9";  // "メプラ"

MsgScan2AnyApp g_Msg(kTargetAppDisplayName);

namespace {

std::wstring TwoLines(const char* problem, const char* whatToDo)
{
    return fx::Format(L"%s\n%s", LocalizeText(problem).c_str(), LocalizeText(whatToDo).c_str());
}

}  // namespace

std::wstring Msg::AppMessage()
{
    return TwoLines("Launch application not selected properly.", "Please select the application to use.");
}

std::wstring Msg::SaveLocationMessage()
{
    return TwoLines("The location to save cannot be confirmed.", "Please select save location.");
}

std::wstring Msg::CopyFailedMessage()
{
    return TwoLines("The file could not be copied to the specified folder.", "Please select save location.");
}

std::wstring MsgScan2AnyApp::AppMessage()
{
    LocalText format = LocalizeText("Using this plugin requires to install the %s application.");
    return FormatWithText(format.c_str(), m_pszAppName);
}
