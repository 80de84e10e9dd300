; The Kelvora installer. makensis -DVERSION=1.4.0.0 -DARCH=x64|x86 -DDIST=<dist folder>
; -DOUTDIR=<folder> kelvora.nsi builds Kelvora-<VERSION>-<ARCH>-setup.exe from a build's
; dist folder. Options of the installer: /S (silent), /D=<folder>, /CURRENTUSER (install
; for me only; all users otherwise), /SETSAVER (make Kelvora the current screen saver when
; silent). The uninstaller takes /S and /REMOVESETTINGS.
Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
!endif

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Kelvora"
!define PUBLISHER "Tarnwick"
!define PRODUCT_KEY "Software\Tarnwick\Kelvora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvora"
!define SAVER_CLASS "KSFW_Kelvora"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTDIR}\Kelvora-${VERSION}-${ARCH}-setup.exe"
!if "${ARCH}" == "x64"
  InstallDir "$PROGRAMFILES64\Kelvora"
!else
  InstallDir "$PROGRAMFILES\Kelvora"
!endif
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Tarnwick"

Var AllUsers        ; 1: for all users (HKLM), 0: for me only (HKCU)
Var AllUsersRadio
Var MeOnlyRadio
Var RemoveSettings  ; uninstaller: 1 removes the user's settings too
Var RemoveCheck

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$SYSDIR\kelvsaver.scr"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "Open the Kelvora settings"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "notice.txt"
Page custom InstallModePage InstallModeLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.RemoveSettingsPage un.RemoveSettingsLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The registry view of the build's bitness, so that "Path" and the uninstall key of the
; x64 installer land where the 64-bit program reads them.
!macro UseRegView
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
!macroend

!macro EndRunningSaver
  ; A saver still running keeps its files: it is asked to end, and the user is told when
  ; it does not. A silent run cannot ask: it goes on (/SD) rather than wait for a box
  ; nobody sees.
  FindWindow $0 "${SAVER_CLASS}"
  ${If} $0 != 0
    SendMessage $0 ${WM_CLOSE} 0 0
    Sleep 1000
    FindWindow $0 "${SAVER_CLASS}"
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "Please end the running Kelvora screen saver, then press OK." /SD IDOK
    ${EndIf}
  ${EndIf}
!macroend


Function InstallModePage
  !insertmacro MUI_HEADER_TEXT "Choose users" "Install Kelvora for all users of this computer or only for you."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "For all users of this computer"
  Pop $AllUsersRadio
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For me only"
  Pop $MeOnlyRadio
  ${If} $AllUsers == 1
    ${NSD_Check} $AllUsersRadio
  ${Else}
    ${NSD_Check} $MeOnlyRadio
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InstallModeLeave
  ${NSD_GetState} $AllUsersRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
FunctionEnd

Section "Kelvora" SecProgram
  SectionIn RO
  !insertmacro UseRegView
  !insertmacro EndRunningSaver
  SetOutPath "$INSTDIR"
  File "${DIST}\kelvsaver.scr"
  File "${DIST}\fastmm.dll"
  File "${DIST}\stdformats.dll"
  File "${DIST}\sysformats.dll"
  File "${DIST}\modernformats.dll"
  File "${DIST}\basicfx.dll"
  File "${DIST}\divingfx.dll"
  File "${DIST}\stamp.dll"
  File "${DIST}\Help.chm"
  ; Where Windows lists the screen savers: the system folder of this installer's bitness.
  CopyFiles /SILENT "$INSTDIR\kelvsaver.scr" "$SYSDIR\kelvsaver.scr"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} $AllUsers == 1
    WriteRegStr HKLM "${PRODUCT_KEY}" "Path" "$INSTDIR"
    StrCpy $R9 "HKLM"
  ${Else}
    WriteRegStr HKCU "${PRODUCT_KEY}" "Path" "$INSTDIR"
    StrCpy $R9 "HKCU"
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
  IntFmt $R0 "0x%08X" $R0
  ${If} $AllUsers == 1
    SetShellVarContext all
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvsaver.scr"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AllUsers" 1
  ${Else}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvsaver.scr"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "AllUsers" 0
  ${EndIf}
SectionEnd

Section "Make Kelvora the current screen saver" SecSetSaver
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$SYSDIR\kelvsaver.scr"
  WriteRegStr HKCU "Control Panel\Desktop" "ScreenSaveActive" "1"
SectionEnd

; After the sections: it names them.
Function .onInit
  !insertmacro UseRegView
  StrCpy $AllUsers 1
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ; Silent: the screen-saver choice only when asked for.
  ${If} ${Silent}
    ClearErrors
    ${GetOptions} $R0 "/SETSAVER" $R1
    ${If} ${Errors}
      SectionSetFlags ${SecSetSaver} 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro UseRegView
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Function un.RemoveSettingsPage
  !insertmacro MUI_HEADER_TEXT "Your settings" "Kelvora keeps your settings and picture list unless you remove them."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckBox} 0 10u 100% 12u "Remove my settings"
  Pop $RemoveCheck
  nsDialogs::Show
FunctionEnd

Function un.RemoveSettingsLeave
  ${NSD_GetState} $RemoveCheck $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro UseRegView
  !insertmacro EndRunningSaver
  Delete "$INSTDIR\kelvsaver.scr"
  Delete "$INSTDIR\fastmm.dll"
  Delete "$INSTDIR\stdformats.dll"
  Delete "$INSTDIR\sysformats.dll"
  Delete "$INSTDIR\modernformats.dll"
  Delete "$INSTDIR\basicfx.dll"
  Delete "$INSTDIR\divingfx.dll"
  Delete "$INSTDIR\stamp.dll"
  Delete "$INSTDIR\Help.chm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SYSDIR\kelvsaver.scr"

  ; The "Path" value and the uninstall key of the hive the installer used; the product key
  ; itself goes only when nothing of the user's is left in it.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AllUsers"
  ${If} $0 == 1
    DeleteRegValue HKLM "${PRODUCT_KEY}" "Path"
    DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Tarnwick"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DeleteRegValue HKCU "${PRODUCT_KEY}" "Path"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}

  ; The screen-saver choice only while it still names Kelvora.
  ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${If} $0 == "$SYSDIR\kelvsaver.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}

  ${If} $RemoveSettings == 1
    DeleteRegKey HKCU "${PRODUCT_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Tarnwick"
    SetShellVarContext current
    RMDir /r "$APPDATA\Kelvora"
  ${EndIf}
SectionEnd
