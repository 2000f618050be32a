// Base of the plug-in's dialogs: the template comes from the plug-in's
// resources with its font replaced by one suited to the user's language, and
// every showing is logged.
#pragma once

#include <windows.h>

#include "framework/Dialog.h"

class CTVO_BaseDialog : public fx::Dialog {
public:
    CTVO_BaseDialog(UINT nIDTemplate, HWND pParent);
    ~CTVO_BaseDialog() override;

    // Modeless creation from template nIDTemplate; nonzero when created.
    virtual BOOL Create(UINT nIDTemplate, HWND pParentWnd);
    // IDOK, IDCANCEL, or -1 without a template identifier or a usable template.
    INT_PTR DoModal() override;

    // "Segoe UI" when the translation of that face is installed, else "Tahoma".
    static const char* ChooseDialogFace();
    static bool IsFontInstalled(const wchar_t* face);
    // The point size in a font text "face/size" (or a bare "size").
    static WORD FontSizeFromText(const wchar_t* text);
    // The dialog font for the current language: translated face and size.
    static void ChooseDialogFont(std::wstring& face, WORD& size);

protected:
    UINT m_nIDTemplate;
    HWND m_pParent;

private:
    bool PrepareTemplate(UINT nIDTemplate, fx::DialogTemplate& dialogTemplate) const;
};
