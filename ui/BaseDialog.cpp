#include "ui/BaseDialog.h"

#include <cwchar>
#include <cwctype>

#include "framework/ModuleState.h"
#include "framework/Unique.h"
#include "services/InfoLog.h"
#include "services/Localize.h"

namespace {

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 1;
}

}  // namespace

CTVO_BaseDialog::CTVO_BaseDialog(UINT nIDTemplate, HWND pParent) : m_nIDTemplate(nIDTemplate), m_pParent(pParent) {}

CTVO_BaseDialog::~CTVO_BaseDialog() = default;

bool CTVO_BaseDialog::IsFontInstalled(const wchar_t* face)
{
    if (!face) return false;
    // A face longer than a family name can be is no installed family.
    if (std::wcslen(face) >= LF_FACESIZE) return false;
    fx::UniqueDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return false;
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(dc.get(), &font, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

const char* CTVO_BaseDialog::ChooseDialogFace()
{
    LocalText preferred = LocalizeText("Segoe UI");
    return IsFontInstalled(preferred.c_str()) ? "Segoe UI" : "Tahoma";
}

WORD CTVO_BaseDialog::FontSizeFromText(const wchar_t* text)
{
    if (!text) return 0;
    const wchar_t* slash = std::wcschr(text, L'/');
    const wchar_t* p = slash ? slash + 1 : text;
    while (*p == L' ' || *p == L'\t') ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    unsigned long value = 0;
    while (*p >= L'0' && *p <= L'9') value = value * 10 + static_cast<unsigned long>(*p++ - L'0');
    if (negative) value = 0UL - value;
    return static_cast<WORD>(value & 0xFFFF);
}

void CTVO_BaseDialog::ChooseDialogFont(std::wstring& face, WORD& size)
{
    size = FontSizeFromText(LocalizeText("Segoe UI/9").c_str());
    face = LocalizeText(ChooseDialogFace()).str();
}

bool CTVO_BaseDialog::PrepareTemplate(UINT nIDTemplate, fx::DialogTemplate& dialogTemplate) const
{
    std::wstring face;
    WORD size = 0;
    ChooseDialogFont(face, size);
    if (!dialogTemplate.Load(fx::ResourceInstance(), nIDTemplate)) return false;
    return dialogTemplate.SetFont(face.c_str(), size);
}

INT_PTR CTVO_BaseDialog::DoModal()
{
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CTVO_BaseDialog::DoModal start");
    if (m_nIDTemplate == 0) {
        WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CTVO_BaseDialog::DoModal m_nIDTemplate == 0");
        return -1;
    }
    fx::DialogTemplate dialogTemplate;
    PrepareTemplate(m_nIDTemplate, dialogTemplate);
    // The dialog is bound to the template in memory for this showing only.
    if (!IsBound() && dialogTemplate.Get()) InitModalIndirect(dialogTemplate.Get(), m_pParent);
    INT_PTR result = fx::Dialog::DoModal();
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CTVO_BaseDialog::DoModal end DoModal = %d", static_cast<int>(result));
    Unbind();
    return result;
}

BOOL CTVO_BaseDialog::Create(UINT nIDTemplate, HWND pParentWnd)
{
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CTVO_BaseDialog::Create start nIDTemplate = %d", static_cast<int>(nIDTemplate));
    fx::DialogTemplate dialogTemplate;
    PrepareTemplate(nIDTemplate, dialogTemplate);
    BOOL created = CreateIndirect(dialogTemplate.Get(), pParentWnd) ? TRUE : FALSE;
    if (!created)
        WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CreateIndirect Error = %d", static_cast<int>(::GetLastError()));
    WriteInfoLog(g_ZelInfoLog, LOG_INFO, L"CTVO_BaseDialog::Create end");
    return created;
}
