; The Windows installer of Gyrel, built by tools/package.sh with Debian's
; makensis:
;
;   makensis -DVERSION=1.0.0 -DX86=.../x86/Gyrel.scr -DX64=.../x64/Gyrel.scr
;            -DLICENSE=.../LICENSE.txt -DSIZE_KB=1234 -DOUTFILE=... gyrel.nsi
;
; Screen savers live where Windows looks for them: on 64-bit Windows the
; 64-bit module in System32 (reached with file-system redirection off) and
; the 32-bit one in SysWOW64; on 32-bit Windows the 32-bit module in
; System32. So the install is per machine and asks for elevation; the
; modules' own manifest asks for none.
;
; Command line (with /S for a silent run):
;   /CURRENT=0         leave the current screen saver as it is (the default,
;                      /CURRENT=1, makes Gyrel the current one)
; Uninstaller:
;   /REMOVESETTINGS=1  also remove the settings (kept by default)
;
; Exit codes: 0 done; 3010 done, but a module in use is replaced when
; Windows restarts; 2 cancelled or failed (nothing half made is left);
; 3 a newer Gyrel is installed and a silent run does not replace it.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; No build dates in the installer: the files get the install time.
SetDateSave off
ManifestSupportedOS all

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include MUI2.nsh

!ifndef VERSION | X86 | X64 | LICENSE | SIZE_KB | OUTFILE
  !error "tools/package.sh defines VERSION, X86, X64, LICENSE, SIZE_KB and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gyrel"
!define SETTINGS_SECTION "Screen Saver.Gyrel"
!define EXIT_FAILED 2
!define EXIT_NEWER_INSTALLED 3
!define EXIT_RESTART_NEEDED 3010

Name "Gyrel ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Gyrel ${VERSION}"
; Not offered: the modules go where Windows wants them; this folder holds
; only the uninstaller.
InstallDir "$PROGRAMFILES\Gyrel"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Gyrel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Gyrel screen saver setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 Gyrel authors, MIT licence"

Var ModulePath     ; the module Windows runs: the 64-bit one on 64-bit Windows
Var RestartNeeded  ; 1 when a module in use is replaced at the next restart

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the Screen Saver Settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!define MUI_FINISHPAGE_TEXT_REBOOT "Gyrel is in use. The new version takes its place when Windows restarts."
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; --- Where the modules go -------------------------------------------------

; Runs CALL once per module folder with $0 the folder and $1 "x64" or
; "x86"; redirection is off while a 64-bit folder is handled, so that
; $WINDIR\System32 is the real one.
!macro ForEachModuleFolder CALL
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    StrCpy $0 "$WINDIR\System32"
    StrCpy $1 "x64"
    Call ${CALL}
    ${EnableX64FSRedirection}
    StrCpy $0 "$WINDIR\SysWOW64"
    StrCpy $1 "x86"
    Call ${CALL}
  ${Else}
    StrCpy $0 "$WINDIR\System32"
    StrCpy $1 "x86"
    Call ${CALL}
  ${EndIf}
!macroend

; --- Install ----------------------------------------------------------------

; Writes the module next to its final name; nothing is replaced yet. $3 is
; "failed" if it could not be written.
Function WriteNewModule
  StrCpy $3 ""
  ClearErrors
  CreateDirectory "$0"
  ; A probe that fails quietly, where File would ask what to do.
  FileOpen $2 "$0\Gyrel.scr.new" w
  ${If} ${Errors}
    StrCpy $3 "failed"
    Return
  ${EndIf}
  FileClose $2
  SetOutPath "$0"
  ${If} $1 == "x64"
    File "/oname=Gyrel.scr.new" "${X64}"
  ${Else}
    File "/oname=Gyrel.scr.new" "${X86}"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $3 "failed"
  ${EndIf}
FunctionEnd

Function DiscardNewModule
  Delete "$0\Gyrel.scr.new"
FunctionEnd

; Puts the new module in place; one in use is replaced at the next restart.
Function PlaceNewModule
  ClearErrors
  Delete "$0\Gyrel.scr"
  Rename "$0\Gyrel.scr.new" "$0\Gyrel.scr"
  ${If} ${Errors}
    ClearErrors
    Rename /REBOOTOK "$0\Gyrel.scr.new" "$0\Gyrel.scr"
    StrCpy $RestartNeeded 1
    DetailPrint "$0\Gyrel.scr is in use: the new version takes its place when Windows restarts."
  ${EndIf}
FunctionEnd

; $0 is the folder that could not be written.
Function Failed
  StrCpy $4 "$0"
  !insertmacro ForEachModuleFolder DiscardNewModule
  SetOutPath "$TEMP"
  MessageBox MB_OK|MB_ICONSTOP "Gyrel could not be installed: $4 cannot be written. Nothing was changed." /SD IDOK
  SetErrorLevel ${EXIT_FAILED}
  Quit
FunctionEnd

Section "Gyrel screen saver" SecGyrel
  SectionIn RO
  ; Every file is written before anything is replaced or registered, so
  ; that a failure leaves the machine as it was.
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    StrCpy $0 "$WINDIR\System32"
    StrCpy $1 "x64"
    Call WriteNewModule
    ${EnableX64FSRedirection}
    ${If} $3 == "failed"
      Call Failed
    ${EndIf}
    StrCpy $0 "$WINDIR\SysWOW64"
    StrCpy $1 "x86"
    Call WriteNewModule
  ${Else}
    StrCpy $0 "$WINDIR\System32"
    StrCpy $1 "x86"
    Call WriteNewModule
  ${EndIf}
  ${If} $3 == "failed"
    Call Failed
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    StrCpy $0 "$INSTDIR"
    Call Failed
  ${EndIf}

  !insertmacro ForEachModuleFolder PlaceNewModule

  ; The entry comes last: it exists only for a complete install.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Gyrel screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Gyrel authors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$ModulePath,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $RestartNeeded == 1
    SetRebootFlag true
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

Section "Make Gyrel the current screen saver" SecCurrent
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$ModulePath"
  WriteRegStr HKCU "Control Panel\Desktop" "ScreenSaveActive" "1"
SectionEnd

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Gyrel"
  ${EndIf}
  StrCpy $ModulePath "$WINDIR\System32\Gyrel.scr"
  StrCpy $RestartNeeded 0

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CURRENT=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "0"
    !insertmacro UnselectSection ${SecCurrent}
  ${EndIf}

  ; The same or an older version is replaced in place; a newer one only
  ; when the user says so.
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $R2 != ""
    ${VersionCompare} "$R2" "${VERSION}" $R3
    ${If} $R3 == 1
      MessageBox MB_YESNO|MB_ICONQUESTION "Gyrel $R2, a newer version, is installed. Replace it with ${VERSION}?" /SD IDNO IDYES +3
        SetErrorLevel ${EXIT_NEWER_INSTALLED}
        Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function OpenScreenSaverSettings
  ; The system's own Control Panel, 64-bit on 64-bit Windows.
  ${DisableX64FSRedirection}
  Exec '"$WINDIR\System32\control.exe" desk.cpl,,@screensaver'
  ${EnableX64FSRedirection}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGyrel} "The screen saver, for every user of this computer."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecCurrent} "Choose Gyrel as your screen saver now."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; --- Uninstall ----------------------------------------------------------------

Function un.RemoveModule
  Delete /REBOOTOK "$0\Gyrel.scr"
  Delete "$0\Gyrel.scr.new"
FunctionEnd

Section "un.Gyrel screen saver" SecUnGyrel
  SectionIn RO
  !insertmacro ForEachModuleFolder un.RemoveModule

  ; The current screen saver is cleared only if it is still Gyrel.
  ReadRegStr $R0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${GetFileName} "$R0" $R1
  ${If} $R1 == "Gyrel.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Remove my Gyrel settings" SecUnSettings
  DeleteINISec "$WINDIR\control.ini" "${SETTINGS_SECTION}"
  DeleteRegKey HKCU "Control Panel\${SETTINGS_SECTION}"
SectionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "1"
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnGyrel} "The screen saver and its entry in the list of programs."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "Your Gyrel settings (otherwise kept for a later install)."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
