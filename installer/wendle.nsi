; Wendle's installer: the EXE and its help under Program Files, Start Menu and Startup
; shortcuts, an uninstaller in Add/Remove Programs. An ANSI installer, so
; that it runs on every Windows Wendle runs on, from Windows 95 on.
; makensis -DVERSION=x.y.z -DEXE=path\to\Wendle.exe -DHLP=path\to\Wendle.hlp -DREADME=path\to\README.txt -DOUTFILE=setup.exe wendle.nsi
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!define APP "Wendle"
!define PUBLISHER "Ferrow Apps"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wendle"
!define SETTINGS_KEY "Software\Ferrow Apps\Wendle"
!define WINDOW_CLASS "ZKRASNotification"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${APP}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${APP} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks every running Wendle to close (as its Exit does; a user may run more
; than one) and waits until none is left, at most about five seconds. A
; copy that lets its links go takes up to five seconds to answer, so each
; is asked without waiting long for the answer.
!macro CloseWendle
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
    ${IfThen} $1 >= 50 ${|} ${ExitDo} ${|}
    ${If} $1 = 0
      ${Do}
        FindWindow $2 "${WINDOW_CLASS}" "" 0 $0  ; the next, found while this one still stands
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=200
        StrCpy $0 $2
      ${LoopUntil} $0 = 0
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
  ${Loop}
!macroend

Section "Wendle (required)" SecApp
  SectionIn RO
  SetShellVarContext all
  !insertmacro CloseWendle
  SetOutPath "$INSTDIR"
  File "/oname=Wendle.exe" "${EXE}"
  File "/oname=Wendle.hlp" "${HLP}"
  ; The help viewer's index of the help this replaces: it is built anew.
  Delete "$INSTDIR\Wendle.GID"
  Delete "$INSTDIR\Wendle.FTS"
  Delete "$INSTDIR\Wendle.FTG"
  File "/oname=README.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortCut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\Wendle.exe"
  CreateShortCut "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Wendle.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Start Wendle when Windows starts" SecStartup
  SetShellVarContext all
  CreateShortCut "$SMSTARTUP\${APP}.lnk" "$INSTDIR\Wendle.exe"
  Exec '"$INSTDIR\Wendle.exe"'
SectionEnd

; Switched off on an upgrade: the old Startup shortcut goes.
Function .onInstSuccess
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    SetShellVarContext all
    Delete "$SMSTARTUP\${APP}.lnk"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro CloseWendle
  Delete "$SMSTARTUP\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  Delete "$INSTDIR\Wendle.exe"
  Delete "$INSTDIR\Wendle.hlp"
  ; The Windows Help viewer (95 to XP) writes these beside the help file when
  ; help first opens and when its search is used: left behind, they would
  ; keep the folder. Named one by one, so nothing of the user's goes.
  Delete "$INSTDIR\Wendle.GID"
  Delete "$INSTDIR\Wendle.FTS"
  Delete "$INSTDIR\Wendle.FTG"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; The user's settings stay unless asked for: /REMOVESETTINGS when silent.
  StrCpy $2 "no"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $2 "yes"
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_DEFBUTTON2 "Remove your Wendle settings too?" IDNO +2
    StrCpy $2 "yes"
  ${EndIf}
  ${If} $2 == "yes"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
  ${EndIf}
SectionEnd
