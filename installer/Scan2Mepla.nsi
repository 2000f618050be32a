; Scan2Mepla setup: the plug-in with its icon and translations in a folder of
; its own, the maker's two libraries in the maker's shared-files folder.
;
; Built by installer/make-package.cmake with
;   ARCH      x86 (the shipped 32-bit setup) or amd64 (the same setup for
;             64-bit Windows, which is what the tests run under 64-bit Wine)
;   DIST_DIR  the build tree's dist folder
;   VERSION   the product version, four numbers
;   OUTFILE   the setup program to write
;
; Switches (also in silent mode, /S):
;   /MACHINE          register for every user (needs administrator rights)
;   /USER             register for the current user only
;   /NOSHARED         leave the maker's shared-files folder alone; the
;                     localisation library goes beside the plug-in
;   /D=<folder>       the plug-in's folder (last on the command line)
; Uninstaller: /S, /REMOVESETTINGS (also delete the user's settings file).

!ifndef ARCH | DIST_DIR | VERSION | OUTFILE
  !error "ARCH, DIST_DIR, VERSION and OUTFILE must be defined"
!endif

!if "${ARCH}" == "amd64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif

!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT       "Scan2Mepla"
!define PUBLISHER     "Torvane Inc."
!define CLSID         "{962B83D5-70E5-4B5E-9712-56654F65A76D}"
!define LIBID         "{E7409910-08F4-4AA2-9D99-584EC2F75379}"
!define IID           "{3F3AD679-1DCA-446B-9E6E-4A45ABB8D6D1}"
!define UNINST_KEY    "Software\Microsoft\Windows\CurrentVersion\Uninstall\Scan2Mepla"
!define SHARED_KEY    "SOFTWARE\Torvane Inc.\Shared Files"
!define SHARED_DLLS   "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
; Administrators get the per-machine install, everybody else the per-user one.
RequestExecutionLevel highest
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tessivo"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "(C) ${PUBLISHER}"

Var Mode        ; "machine" or "user"
Var IsAdmin     ; 1 when the process may write the machine's part
Var SharedDir   ; where the maker's libraries go; empty: beside the plug-in

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---------------------------------------------------------------- helpers

!macro DetectAdmin
  StrCpy $IsAdmin 0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${EndIf}
!macroend

; Deletes a file; one that is still loaded (a running host holds the old
; plug-in) is first moved aside so that the delete at the next restart can
; never hit the new copy placed under the old name.
!macro DeleteOrMoveAside un
Function ${un}DeleteOrMoveAside
  Exch $R0
  Push $R1
  Delete "$R0"
  ${If} ${FileExists} "$R0"
    GetTempFileName $R1 "$INSTDIR"
    Delete "$R1"
    ClearErrors
    Rename "$R0" "$R1"
    ${If} ${Errors}
      Delete /REBOOTOK "$R0"
    ${Else}
      Delete /REBOOTOK "$R1"
    ${EndIf}
  ${EndIf}
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DeleteOrMoveAside ""
!insertmacro DeleteOrMoveAside "un."

!macro RemoveFile path
  Push "${path}"
  Call DeleteOrMoveAside
!macroend
!macro un.RemoveFile path
  Push "${path}"
  Call un.DeleteOrMoveAside
!macroend

; The maker's libraries are shared with the maker's other products: each
; one's use count is kept where Windows keeps such counts, and the file goes
; only when the last user is removed.
!macro InstallShared name
  ClearErrors
  ReadRegDWORD $0 HKLM "${SHARED_DLLS}" "$SharedDir\${name}"
  ${If} ${Errors}
    StrCpy $0 0
    ${If} ${FileExists} "$SharedDir\${name}"
      StrCpy $0 1  ; placed by a product that did not count
    ${EndIf}
  ${EndIf}
  IntOp $0 $0 + 1
  !insertmacro RemoveFile "$SharedDir\${name}"
  File "/oname=$SharedDir\${name}" "${DIST_DIR}\${name}"
  WriteRegDWORD HKLM "${SHARED_DLLS}" "$SharedDir\${name}" $0
!macroend

!macro ReleaseShared un name
  ClearErrors
  ReadRegDWORD $0 HKLM "${SHARED_DLLS}" "$SharedDir\${name}"
  ${If} ${Errors}
    StrCpy $0 1
  ${EndIf}
  IntOp $0 $0 - 1
  ${If} $0 <= 0
    !insertmacro ${un}RemoveFile "$SharedDir\${name}"
    DeleteRegValue HKLM "${SHARED_DLLS}" "$SharedDir\${name}"
  ${Else}
    WriteRegDWORD HKLM "${SHARED_DLLS}" "$SharedDir\${name}" $0
  ${EndIf}
!macroend

; The maker's folder above a removed folder goes too when nothing else is left.
!macro RemoveTorvaneFolder folder
  Push $1
  Push $2
  ${GetParent} "${folder}" $1
  ${GetFileName} "$1" $2
  ${If} $2 == "Torvane"
    RMDir "$1"
  ${EndIf}
  Pop $2
  Pop $1
!macroend

; Removes the plug-in's files and, with them, this product's use of the
; shared folder.  The installer uses it to undo a failed registration, the
; uninstaller for the real thing.
!macro RemoveInstalledFiles un
Function ${un}RemoveInstalledFiles
  !insertmacro ${un}RemoveFile "$INSTDIR\Scan2Mepla.dll"
  Delete "$INSTDIR\ZelMepla.ico"
  Delete "$INSTDIR\Scan2Mepla.loc"
  ${If} $SharedDir == ""
    !insertmacro ${un}RemoveFile "$INSTDIR\kdxloc.dll"
  ${Else}
    !insertmacro ReleaseShared "${un}" zelinfolog.dll
    !insertmacro ReleaseShared "${un}" kdxloc.dll
    RMDir "$SharedDir"
    !insertmacro RemoveTorvaneFolder "$SharedDir"
    ${IfNot} ${FileExists} "$SharedDir\*.*"
      ; The search value goes with the folder, and only when it is ours.
      ReadRegStr $0 HKLM "${SHARED_KEY}" ""
      ${If} $0 == $SharedDir
        DeleteRegValue HKLM "${SHARED_KEY}" ""
      ${EndIf}
      DeleteRegKey /ifempty HKLM "${SHARED_KEY}"
      DeleteRegKey /ifempty HKLM "SOFTWARE\Torvane Inc."
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro RemoveInstalledFiles ""
!insertmacro RemoveInstalledFiles "un."

; Registration the way regsvr32 does it: the DLL's own entry points, in this
; process, the DLL unloaded afterwards.  $0 = HRESULT, or "error" when the DLL
; or the entry point could not be loaded.
!macro Registration un
Function ${un}Registration
  Exch $R0  ; 1 register, 0 unregister
  ${If} $Mode == "user"
    System::Call "$INSTDIR\Scan2Mepla.dll::DllInstall(i R0, w 'user') i .r0 ?u"
  ${ElseIf} $R0 == 1
    System::Call "$INSTDIR\Scan2Mepla.dll::DllRegisterServer() i .r0 ?u"
  ${Else}
    System::Call "$INSTDIR\Scan2Mepla.dll::DllUnregisterServer() i .r0 ?u"
  ${EndIf}
  Pop $R0
FunctionEnd
!macroend
!insertmacro Registration ""
!insertmacro Registration "un."

!macro SetContext
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
  ${If} $Mode == "machine"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

; ---------------------------------------------------------------- install

Function .onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
  !insertmacro DetectAdmin
  ${GetParameters} $R0

  ClearErrors
  ${GetOptions} $R0 "/USER" $R1
  ${IfNot} ${Errors}
    StrCpy $Mode "user"
  ${Else}
    ClearErrors
    ${GetOptions} $R0 "/MACHINE" $R1
    ${If} ${Errors}
    ${AndIf} $IsAdmin != 1
      StrCpy $Mode "user"
    ${Else}
      StrCpy $Mode "machine"
    ${EndIf}
  ${EndIf}
  ${If} $Mode == "machine"
  ${AndIf} $IsAdmin != 1
    MessageBox MB_ICONSTOP "Installing ${PRODUCT} for all users needs administrator rights." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}

  ; The maker's search looks in the machine's part only (its registry value
  ; and Program Files); without administrator rights that part is out of
  ; reach, and the localisation library goes beside the plug-in, where the
  ; plug-in also looks.
  StrCpy $SharedDir "${PROGRAM_FILES}\Torvane\Shared Files"
  ClearErrors
  ${GetOptions} $R0 "/NOSHARED" $R1
  ${IfNot} ${Errors}
    StrCpy $SharedDir ""
  ${EndIf}
  ${If} $IsAdmin != 1
    StrCpy $SharedDir ""
  ${EndIf}

  !insertmacro SetContext
  ${If} $INSTDIR == ""
    ${If} $Mode == "machine"
      StrCpy $INSTDIR "${PROGRAM_FILES}\Torvane\Scan2Mepla"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Torvane\Scan2Mepla"
    ${EndIf}
  ${EndIf}
FunctionEnd

; An installed copy, per machine or per user, is first removed by its own
; uninstaller, so that its registration goes in the mode it was made in.  The
; user's settings stay.
!macro RemovePrevious root
  ClearErrors
  ReadRegStr $R0 ${root} "${UNINST_KEY}" "InstallLocation"
  ${IfNot} ${Errors}
  ${AndIf} $R0 != ""
    ${If} "${root}" == "HKLM"
    ${AndIf} $IsAdmin != 1
      DetailPrint "A copy installed for all users stays: $R0"
    ${Else}
      ${If} ${FileExists} "$R0\uninstall.exe"
        DetailPrint "Removing the installed copy in $R0"
        ClearErrors
        ExecWait '"$R0\uninstall.exe" /S _?=$R0' $R1
        ${If} ${Errors}
        ${OrIf} $R1 != 0
          DetailPrint "The old uninstaller failed ($R1); installing over it"
        ${EndIf}
        Delete "$R0\uninstall.exe"
        RMDir "$R0"
      ${EndIf}
      DeleteRegKey ${root} "${UNINST_KEY}"
    ${EndIf}
  ${EndIf}
!macroend

Section "Scan2Mepla"
  !insertmacro RemovePrevious HKLM
  !insertmacro RemovePrevious HKCU
  !insertmacro SetContext

  SetOutPath "$INSTDIR"
  !insertmacro RemoveFile "$INSTDIR\Scan2Mepla.dll"
  File "${DIST_DIR}\Scan2Mepla.dll"
  File "${DIST_DIR}\ZelMepla.ico"
  File "${DIST_DIR}\Scan2Mepla.loc"
  ${If} $SharedDir == ""
    !insertmacro RemoveFile "$INSTDIR\kdxloc.dll"
    File "${DIST_DIR}\kdxloc.dll"
  ${Else}
    CreateDirectory "$SharedDir"
    !insertmacro InstallShared zelinfolog.dll
    !insertmacro InstallShared kdxloc.dll
    WriteRegStr HKLM "${SHARED_KEY}" "" "$SharedDir"
  ${EndIf}

  Push 1
  Call Registration
  ${If} $0 != 0
    ${If} $0 != "error"
      IntFmt $0 "%08X" $0
    ${EndIf}
    DetailPrint "Registration failed: $0"
    Call RemoveInstalledFiles
    RMDir "$INSTDIR"
    MessageBox MB_ICONSTOP "${PRODUCT} could not be registered (error $0)." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  DetailPrint "Registered for $Mode"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\ZelMepla.ico"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallMode" "$Mode"
  WriteRegStr SHCTX "${UNINST_KEY}" "SharedFolder" "$SharedDir"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; ---------------------------------------------------------------- uninstall

Function un.onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
  !insertmacro DetectAdmin
  ; The mode is the one this copy was installed in.
  StrCpy $Mode ""
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Mode "machine"
    ReadRegStr $SharedDir HKLM "${UNINST_KEY}" "SharedFolder"
  ${Else}
    ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      StrCpy $Mode "user"
      ReadRegStr $SharedDir HKCU "${UNINST_KEY}" "SharedFolder"
    ${EndIf}
  ${EndIf}
  ${If} $Mode == ""
    MessageBox MB_ICONSTOP "${PRODUCT} is not installed in $INSTDIR." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ${If} $Mode == "machine"
  ${AndIf} $IsAdmin != 1
    MessageBox MB_ICONSTOP "Removing ${PRODUCT} for all users needs administrator rights." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
  !insertmacro SetContext
FunctionEnd

Section "Uninstall"
  Push 0
  Call un.Registration
  ${If} $0 != 0
    ; The DLL is gone or refused: take the class away by hand, in the root
    ; the registration used.
    DetailPrint "Unregistration failed ($0); removing the class keys"
    DeleteRegKey SHCTX "Software\Classes\CLSID\${CLSID}"
    DeleteRegKey SHCTX "Software\Classes\TypeLib\${LIBID}"
    DeleteRegKey SHCTX "Software\Classes\Interface\${IID}"
  ${EndIf}

  Call un.RemoveInstalledFiles

  ; The settings are the user's data: they stay unless asked for.
  StrCpy $R2 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $R2 1
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_DEFBUTTON2 "Also delete your ${PRODUCT} settings?" IDNO +2
    StrCpy $R2 1
  ${EndIf}
  ${If} $R2 == 1
    ; Only the running user's settings are within reach.
    SetShellVarContext current
    Delete "$APPDATA\Torvane\Scan2Mepla\AppSettings.XML"
    Delete "$APPDATA\Torvane\Scan2Mepla\~AppSettings.XML"
    RMDir "$APPDATA\Torvane\Scan2Mepla"
    RMDir "$APPDATA\Torvane"
    !insertmacro SetContext
  ${EndIf}

  DeleteRegKey SHCTX "${UNINST_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  !insertmacro RemoveTorvaneFolder "$INSTDIR"
SectionEnd
