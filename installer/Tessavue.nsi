; Tessavue's Windows installer. Built by installer/CMakeLists.txt, which passes VERSION, VERSION4,
; MANAGER_EXE, FILTER_DLL, ICON and OUT_FILE; a signed release (scripts/package) passes
; SIGN_COMMAND too.
;
; Installs for all users into the 64-bit Program Files, registers the filter machine-wide (a
; per-user registration is not seen by every client), and prepares the Manager's settings files,
; which a standard user could not create in Program Files.

Unicode true
; The 64-bit stub: the installer itself must run where only 64-bit code runs.
Target amd64-unicode
; Two small binaries: lzma packs them in about a second.
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!ifdef SIGN_COMMAND
  ; The uninstaller is signed before it is packed into the installer, which writes it out
  ; unchanged; then the installer itself. A failed signing fails the build.
  !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
  !finalize '${SIGN_COMMAND} "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Tessavue"
!define MANAGER "TessavueManager.exe"
!define FILTER "TVQDirectShowFilter.dll"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "Tessavue Manager.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessavue"
; The Manager's window class (resources/TessavueManager.rc) and the registry key where the filter
; looks for the settings file (channel/ChannelNames.h).
!define MANAGER_WINDOW_CLASS "TESSAVUEMANAGER"
!define SETTINGS_KEY "Software\qarro_lim\Tessavue"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) ${PRODUCT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${MANAGER}"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartManager)"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
; After the folder: a reinstall is recognised by the settings file found there.
Page custom PicturePageCreate PicturePageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used when the system's UI language matches none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
!include "${__FILEDIR__}\Strings.nsh"
!include nsDialogs.nsh
!include "${__FILEDIR__}\AutoStart.nsh"
!include "${__FILEDIR__}\CameraPicture.nsh"

; The settings files the Manager keeps next to itself.
!macro ForEachSettingsFile MACRO
  !insertmacro ${MACRO} "Tessavue.ini"
  !insertmacro ${MACRO} "TVQ_CaptureVideo.ini"
  !insertmacro ${MACRO} "TVQ_CaptureWindow.ini"
  !insertmacro ${MACRO} "TVQ_CaptureDesktop.ini"
  !insertmacro ${MACRO} "TVQ_CaptureImage.ini"
  !insertmacro ${MACRO} "TVQ_CaptureText.ini"
!macroend

; A running Manager holds its executable open: replacing or removing it would fail half-way.
!macro RefuseWhileManagerRuns PREFIX
  Function ${PREFIX}RefuseWhileManagerRuns
    FindWindow $0 "${MANAGER_WINDOW_CLASS}"
    ${If} $0 <> 0
      MessageBox MB_OK|MB_ICONSTOP "$(ManagerRunning)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RefuseWhileManagerRuns ""
!insertmacro RefuseWhileManagerRuns "un."

Function .onInit
  SetShellVarContext all
  Call PictureReadCommandLine
  Call AutoStartReadCommandLine
  Call RefuseWhileManagerRuns
FunctionEnd

Function un.onInit
  SetShellVarContext all
  Call un.RefuseWhileManagerRuns
FunctionEnd

; Created empty only when missing, so that a reinstall keeps what the user changed.
!macro CreateMissingFile NAME
  ${IfNot} ${FileExists} "$INSTDIR\${NAME}"
    FileOpen $0 "$INSTDIR\${NAME}" w
    FileClose $0
  ${EndIf}
!macroend

; The local Users group (by its well-known SID, whatever the system's language calls it) may
; change the file: the Manager runs as a standard user and writes its settings here.
!macro LetUsersChange NAME
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR\${NAME}" /grant *S-1-5-32-545:M'
  Pop $0
!macroend

Function CreateSettingsFiles
  ; The keys the Manager itself writes on its first start in an empty folder, so that a user finds
  ; them to edit; the picture is the one chosen for the camera, not the built-in default.
  ${IfNot} ${FileExists} "$INSTDIR\Tessavue.ini"
    WriteINIStr "$INSTDIR\Tessavue.ini" "Tessavue" "MaxNumOfCaptureDev" "8"
    ; A new install brings the slots back at every start (sign-in); a reinstall keeps the value.
    WriteINIStr "$INSTDIR\Tessavue.ini" "Tessavue" "RestoreSlots" "1"
    Call PictureChooseForNewInstall
  ${EndIf}
  Call PictureWrite
  !insertmacro ForEachSettingsFile CreateMissingFile
  !insertmacro ForEachSettingsFile LetUsersChange
FunctionEnd

; The filter finds the settings file through this value. Written as the Manager writes it (a
; REG_EXPAND_SZ whose data has no terminating NUL), so that host applications find the file
; before the Manager's first start instead of asking for it. NSIS's own registry instructions
; would store the terminator, hence the direct calls.
Function WriteSettingsPath
  StrCpy $1 "$INSTDIR\Tessavue.ini"
  StrLen $2 $1
  IntOp $2 $2 * 2
  ; KEY_SET_VALUE 0x2, REG_EXPAND_SZ 2; RegOpenCurrentUser spares us the sign-extended
  ; HKEY_CURRENT_USER constant of 64-bit code.
  System::Call 'advapi32::RegOpenCurrentUser(i 0x2000000, *p .r3) i .r0'
  ${If} $0 = 0
    System::Call 'advapi32::RegCreateKeyExW(p r3, w "${SETTINGS_KEY}", i 0, p 0, i 0, i 0x2, p 0, *p .r4, p 0) i .r0'
    ${If} $0 = 0
      ; RegSetValueExW counts a NUL that follows the data in: follow it with another character.
      StrCpy $5 "$1?"
      System::Call 'advapi32::RegSetValueExW(p r4, w "IniFilePath", i 0, i 2, w r5, i r2) i .r0'
      System::Call 'advapi32::RegCloseKey(p r4)'
    ${EndIf}
    System::Call 'advapi32::RegCloseKey(p r3)'
  ${EndIf}
FunctionEnd

Function RegisterFilter
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\${FILTER}"' $0
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(RegisterFailed)" /SD IDOK
    SetErrorLevel 3
  ${EndIf}
FunctionEnd

Function WriteUninstallEntry
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${MANAGER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

Section "Tessavue"
  SectionIn RO
  ; The welcome page gave time to start the Manager.
  Call RefuseWhileManagerRuns
  SetOutPath "$INSTDIR"
  File "/oname=${MANAGER}" "${MANAGER_EXE}"
  File "/oname=${FILTER}" "${FILTER_DLL}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  Call CreateSettingsFiles
  Call WriteSettingsPath
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${MANAGER}" "" "$INSTDIR\${MANAGER}" 0
  Call AutoStartApply
  Call WriteUninstallEntry
  Call RegisterFilter
SectionEnd

; The Manager records its paths on every start; forget them only where they name this folder
; (a portable copy elsewhere keeps its own).
!macro ForgetPathValue VALUE FILE
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "${VALUE}"
  ; The data has no terminator of its own: compare only as many characters as the path has.
  StrCpy $1 "$INSTDIR\${FILE}"
  StrLen $2 $1
  StrCpy $0 $0 $2
  ${If} $0 == $1
    DeleteRegValue HKCU "${SETTINGS_KEY}" "${VALUE}"
  ${EndIf}
!macroend

!macro DeleteSettingsFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Section "Uninstall"
  Call un.RefuseWhileManagerRuns
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\${FILTER}"'
  Delete "$INSTDIR\${FILTER}"
  Delete "$INSTDIR\${MANAGER}"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  !insertmacro AutoStartRemove
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro ForgetPathValue "IniFilePath" "Tessavue.ini"
  !insertmacro ForgetPathValue "TVQManagerPath" "${MANAGER}"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\qarro_lim"
  ; The user's settings stay unless they say otherwise; a silent uninstall keeps them.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveSettings)" /SD IDNO IDNO keep
    !insertmacro ForEachSettingsFile DeleteSettingsFile
  keep:
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
