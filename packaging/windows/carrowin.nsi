; The installer for 64-bit Windows: per machine, into Program Files, with a Start-menu
; shortcut, an entry in Apps & features, carrowin-cli on the PATH when asked for (off by
; default; /ADDTOPATH when silent), and an uninstaller that removes what it put there and
; nothing else. Built by packaging/windows/package.sh, which defines VERSION, STAGE (the
; folder of the files to install), ICON and OUTFILE.
Unicode true
Target amd64-unicode ; a 64-bit installer for a 64-bit program
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "StrFunc.nsh"
!include "WinMessages.nsh"
${StrStr}
${UnStrRep}

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Carrowin"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "Carrowin ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Carrowin"
BrandingText "Carrowin ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Carrowin"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Carrowin ${VERSION} setup"
VIAddVersionKey "CompanyName" "The Carrowin authors"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 the Carrowin authors. MIT License."
VIAddVersionKey "OriginalFilename" "carrowin-${VERSION}-windows-x64-setup.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\carrowin.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Carrowin needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ADDTOPATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags 1 ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "Carrowin (the window and carrowin-cli)" SecProgram
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\carrowin.exe"
  File "${STAGE}\carrowin-cli.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\licenses"
  File "${STAGE}\licenses\CLI11.txt"
  File "${STAGE}\licenses\GCC.txt"
  File "${STAGE}\licenses\GPL-3.txt"
  File "${STAGE}\licenses\mingw-w64.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Carrowin.lnk" "$INSTDIR\carrowin.exe" "" "$INSTDIR\carrowin.exe" 0 \
    SW_SHOWNORMAL "" "Splits OE4 mailboxes into message files"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Carrowin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Carrowin authors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\carrowin.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "Put carrowin-cli on the PATH (for every user)" SecPath
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${StrStr} $1 "$0;" "$INSTDIR;"
  ${If} $1 == ""
    ${If} $0 == ""
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$INSTDIR"
    ${Else}
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 = 1
    ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
    ${UnStrRep} $1 "$1;" "$INSTDIR;" ""
    StrCpy $2 $1 1 -1
    ${If} $2 == ";"
      StrCpy $1 $1 -1
    ${EndIf}
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$1"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$SMPROGRAMS\Carrowin.lnk"
  ; Only the files the installer put there: a file a user saved here stays, with its folder.
  Delete "$INSTDIR\carrowin.exe"
  Delete "$INSTDIR\carrowin-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\licenses\CLI11.txt"
  Delete "$INSTDIR\licenses\GCC.txt"
  Delete "$INSTDIR\licenses\GPL-3.txt"
  Delete "$INSTDIR\licenses\mingw-w64.txt"
  RMDir "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
