; The Windows installer of the Tarnik configuration utility: velmora.exe and
; tarnik.exe in Program Files, a Start-menu folder and an uninstaller that
; Windows lists under installed programs. 64-bit only.
;
; scripts/windows-package.sh builds it:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.3 -DTARNIK_EXE=... [-DVELMORA_EXE=...] \
;            [-DICON=ui/win32/res/velmora.ico] -DOUTFILE=... packaging/windows/velmora.nsi
; Silent install and removal: setup.exe /S, uninstall.exe /S.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!macro Require NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined (scripts/windows-package.sh defines it)"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require OUTFILE
!insertmacro Require TARNIK_EXE

!define APP_TITLE "Tarnik設定ユーティリティ"
!define PUBLISHER "Tarnik"
; Registry and folder names, never shown translated.
!define REG_KEY "Software\Tarnik\Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define START_FOLDER "$SMPROGRAMS\${APP_TITLE}"

Name "${APP_TITLE}"
Caption "${APP_TITLE} ${VERSION} セットアップ"
UninstallCaption "${APP_TITLE} アンインストール"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarnik\Velmora"
InstallDirRegKey HKLM "${REG_KEY}" "InstallDir"
BrandingText "${APP_TITLE} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${APP_TITLE}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${APP_TITLE} セットアップ"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "x64.nsh"

!define MUI_ABORTWARNING
!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!ifdef VELMORA_EXE
  !define MUI_FINISHPAGE_RUN "$INSTDIR\velmora.exe"
!endif

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "${APP_TITLE} は 64 ビット版の Windows 専用です。"
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=tarnik.exe" "${TARNIK_EXE}"
!ifdef TARNIK_MO
  ; tarnik's Japanese messages, found relative to tarnik.exe.
  SetOutPath "$INSTDIR\share\locale\ja\LC_MESSAGES"
  File "/oname=tarnik.mo" "${TARNIK_MO}"
  SetOutPath "$INSTDIR"
!endif
!ifdef VELMORA_EXE
  File "/oname=velmora.exe" "${VELMORA_EXE}"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu: the desktop program, and a command prompt in which
  ; "tarnik" is found.
  CreateDirectory "${START_FOLDER}"
!ifdef VELMORA_EXE
  CreateShortcut "${START_FOLDER}\${APP_TITLE}.lnk" "$INSTDIR\velmora.exe"
!endif
  CreateShortcut "${START_FOLDER}\tarnik コマンドプロンプト.lnk" "$SYSDIR\cmd.exe" \
    '/k set "PATH=$INSTDIR;%PATH%" && tarnik --help' "$SYSDIR\cmd.exe" 0 SW_SHOWNORMAL "" \
    "tarnik (コマンドライン版)"
  CreateShortcut "${START_FOLDER}\アンインストール.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${REG_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_TITLE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!ifdef VELMORA_EXE
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora.exe,0"
!endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Only what the installer put there: a folder the user added files to stays.
  Delete "$INSTDIR\velmora.exe"
  Delete "$INSTDIR\tarnik.exe"
  Delete "$INSTDIR\share\locale\ja\LC_MESSAGES\tarnik.mo"
  RMDir "$INSTDIR\share\locale\ja\LC_MESSAGES"
  RMDir "$INSTDIR\share\locale\ja"
  RMDir "$INSTDIR\share\locale"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "$PROGRAMFILES64\Tarnik\Velmora"
    RMDir "$PROGRAMFILES64\Tarnik"
  ${EndIf}
  Delete "${START_FOLDER}\${APP_TITLE}.lnk"
  Delete "${START_FOLDER}\tarnik コマンドプロンプト.lnk"
  Delete "${START_FOLDER}\アンインストール.lnk"
  RMDir "${START_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${REG_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Tarnik"
SectionEnd
