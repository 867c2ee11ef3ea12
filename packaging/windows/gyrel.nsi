; The Windows setup program of Gyrel, built by tools/package.sh with Debian's
; makensis after the removal program (uninstall.nsi) and its front
; (uninstall_front.c):
;
;   makensis -DVERSION=1.0.0 -DX86=.../x86/Gyrel.scr -DX64=.../x64/Gyrel.scr
;            -DFRONT=.../uninstall.exe -DLICENSE=.../LICENSE.txt
;            -DSIZE_KB=1234 -DOUTFILE=... gyrel.nsi
;
; Screen savers live where Windows looks for them: on 64-bit Windows the
; 64-bit module in System32 (reached with file-system redirection off) and
; the 32-bit one in SysWOW64; on 32-bit Windows the 32-bit module in
; System32. So the install is per machine; its machine part asks for
; elevation (common.nsh says how the two parts meet). The modules' own
; manifest asks for none.
;
; Command line (with /S for a silent run):
;   /CURRENT=0         leave the current screen saver as it is (the default,
;                      /CURRENT=1, makes Gyrel the current one for the user
;                      who runs the setup; never for the SYSTEM account)
;   /D=FOLDER          the removal program's folder (last, unquoted; on
;                      64-bit Windows too)
;
; Exit codes: 0 done; 3010 done, but a module held by another program is
; replaced when Windows restarts; 2 cancelled or failed (nothing half made
; is left); 3 a newer Gyrel is installed and a silent run does not replace
; it.

!ifndef VERSION | X86 | X64 | FRONT | LICENSE | SIZE_KB | OUTFILE
  !error "tools/package.sh defines VERSION, X86, X64, FRONT, LICENSE, SIZE_KB and OUTFILE"
!endif

!include common.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include MUI2.nsh

Name "Gyrel ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Gyrel ${VERSION}"
; Not offered: the modules go where Windows wants them; this folder holds
; only the removal program. $PROGRAMFILES64 is the 64-bit Program Files on
; 64-bit Windows and the only one elsewhere; /D= replaces it.
InstallDir "$PROGRAMFILES64\Gyrel"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Gyrel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Gyrel screen saver setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 Gyrel authors, MIT licence"

Var MachinePart    ; 1 in the process that changes the machine
Var ModulePath     ; the module Windows runs: the 64-bit one on 64-bit Windows
Var RestartNeeded  ; 1 when a module is replaced only at the next restart

!define MUI_ABORTWARNING
!define MUI_CUSTOMFUNCTION_ABORT OnCancel
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the Screen Saver Settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!define MUI_FINISHPAGE_TEXT_REBOOT "Gyrel is held by another program. The new version takes its place when Windows restarts."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; --- The machine part ----------------------------------------------------

; Writes FOLDER\NAME.new beside its final name; nothing is replaced yet. $3
; becomes "failed" if it could not be written.
!macro WriteNewFile FOLDER NAME SOURCE
  ClearErrors
  CreateDirectory "${FOLDER}"
  ; A probe that fails quietly, where File would ask what to do.
  FileOpen $2 "${FOLDER}\${NAME}.new" w
  ${If} ${Errors}
    StrCpy $3 "failed"
  ${Else}
    FileClose $2
    SetOutPath "${FOLDER}"
    File "/oname=${NAME}.new" "${SOURCE}"
    ${If} ${Errors}
      StrCpy $3 "failed"
    ${EndIf}
  ${EndIf}
!macroend

Function WriteNewModule
  ${If} $1 == "x64"
    !insertmacro WriteNewFile "$0" "Gyrel.scr" "${X64}"
  ${Else}
    !insertmacro WriteNewFile "$0" "Gyrel.scr" "${X86}"
  ${EndIf}
FunctionEnd

Function DiscardNewModule
  Delete "$0\Gyrel.scr.new"
FunctionEnd

; Puts $0\$5.new in place of $0\$5 at once: an old file in use is moved
; aside and deleted when Windows restarts. Only an old file held so that
; it cannot even be renamed makes the new one wait for the restart.
Function PlaceNewFile
  ClearErrors
  Delete "$0\$5"
  ${If} ${Errors}
    Push "$0\$5"
    Call MoveAside
    Pop $6
    ${If} $6 != ""
      DetailPrint "$0\$5 is in use: the new version replaces it now."
      Push $6
      Call DeleteOrQueue
      Pop $6
    ${EndIf}
  ${EndIf}
  ClearErrors
  Rename "$0\$5.new" "$0\$5"
  ${If} ${Errors}
    ClearErrors
    Rename /REBOOTOK "$0\$5.new" "$0\$5"
    StrCpy $RestartNeeded 1
    DetailPrint "$0\$5 is held by another program: the new version takes its place when Windows restarts."
  ${EndIf}
FunctionEnd

Function PlaceNewModule
  StrCpy $5 "Gyrel.scr"
  Call PlaceNewFile
FunctionEnd

; $0 is the folder that could not be written.
Function Failed
  StrCpy $4 "$0"
  !insertmacro ForEachModuleFolder DiscardNewModule
  Delete "$INSTDIR\uninstall.exe.new"
  SetOutPath "$TEMP"
  DetailPrint "$4 cannot be written. Nothing was changed."
  SetErrorLevel ${EXIT_FAILED}
  Quit
FunctionEnd

Function InstallForTheMachine
  ; Every file is written before anything is replaced or registered, so
  ; that a failure leaves the machine as it was.
  StrCpy $3 ""
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
  !insertmacro WriteNewFile "$INSTDIR" "uninstall.exe" "${FRONT}"
  ${If} $3 == "failed"
    StrCpy $0 "$INSTDIR"
    Call Failed
  ${EndIf}

  !insertmacro ForEachModuleFolder PlaceNewModule
  StrCpy $0 "$INSTDIR"
  StrCpy $5 "uninstall.exe"
  Call PlaceNewFile

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
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd

; --- The user's part ------------------------------------------------------

Section "Gyrel screen saver" SecGyrel
  SectionIn RO
  ${If} $MachinePart == 1
    Call InstallForTheMachine
    Return
  ${EndIf}
  DetailPrint "Installing Gyrel for every user of this computer..."
  Push '/D=$INSTDIR'
  Call RunMachinePart
  Pop $R0
  Pop $R1
  ${If} $R0 = ${EXIT_RESTART_NEEDED}
    SetRebootFlag true
    SetErrorLevel ${EXIT_RESTART_NEEDED}
    DetailPrint "Gyrel is held by another program: the new version takes its place when Windows restarts."
  ${ElseIf} $R0 <> ${EXIT_DONE}
    SetErrorLevel ${EXIT_FAILED}
    ${If} $R1 = 1
      DetailPrint "Cancelled. Nothing was changed."
    ${Else}
      DetailPrint "Gyrel could not be installed. Nothing was changed."
      MessageBox MB_OK|MB_ICONSTOP "Gyrel could not be installed: the Windows folders or $INSTDIR cannot be written. Nothing was changed." /SD IDOK
    ${EndIf}
    Abort
  ${EndIf}
SectionEnd

Section "Make Gyrel the current screen saver" SecCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ModulePath"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
SectionEnd

; Pushes 1 when this process runs as the SYSTEM account, as a deployment
; tool's silent install does: SYSTEM has no desktop to choose a saver for.
Function IsLocalSystem
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R2 0
  System::Call 'advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .R0) i .R1'
  ${If} $R1 <> 0
    System::Alloc 256
    Pop $R1
    System::Call 'advapi32::GetTokenInformation(p R0, i ${TokenUser}, p R1, i 256, *i .R2) i .R2'
    ${If} $R2 <> 0
      System::Call '*$R1(p .R2)'
      System::Call 'advapi32::IsWellKnownSid(p R2, i ${WinLocalSystemSid}) i .R2'
    ${EndIf}
    System::Free $R1
    System::Call 'kernel32::CloseHandle(p R0)'
  ${EndIf}
  ${If} $R2 <> 0
    StrCpy $R2 1
  ${EndIf}
  Pop $R1
  Exch $R2
  Exch
  Pop $R0
FunctionEnd

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  StrCpy $ModulePath "$WINDIR\System32\Gyrel.scr"
  StrCpy $RestartNeeded 0
  StrCpy $MachinePart 0

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "${MACHINE_PART}" $R1
  ${IfNot} ${Errors}
    StrCpy $MachinePart 1
    SetSilent silent
    !insertmacro UnselectSection ${SecCurrent}
    Return
  ${EndIf}

  ClearErrors
  ${GetOptions} $R0 "/CURRENT=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "0"
    !insertmacro UnselectSection ${SecCurrent}
  ${EndIf}
  Call IsLocalSystem
  Pop $R1
  ${If} $R1 = 1
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

Function OnCancel
  SetErrorLevel ${EXIT_FAILED}
FunctionEnd

Function OpenScreenSaverSettings
  ; The system's own Control Panel, 64-bit on 64-bit Windows, run by this
  ; process: the user's, not elevated.
  ${DisableX64FSRedirection}
  Exec '"$WINDIR\System32\control.exe" desk.cpl,,@screensaver'
  ${EnableX64FSRedirection}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGyrel} "The screen saver, for every user of this computer."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecCurrent} "Choose Gyrel as your screen saver now."
!insertmacro MUI_FUNCTION_DESCRIPTION_END
