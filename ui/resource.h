// Identifiers of the dialog templates and their controls.
#pragma once

#define IDD_APPSETTING_DIALOG   201
#define IDD_CONFIRM_DIALOG      202
#define IDC_CBO_SAVELOCATION    203
#define IDC_STATIC_SAVELOCATION 205
#define IDC_BTN_SETTING         206
#define IDC_STATIC_MESSAGE      207

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
