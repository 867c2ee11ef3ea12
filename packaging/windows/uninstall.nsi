; The removal program of Gyrel. tools/package.sh builds it with Debian's
; makensis before the setup program:
;
;   makensis -DVERSION=1.0.0 -DOUTFILE=.../removal.exe uninstall.nsi
;
; and puts it inside the front (uninstall_front.c), which the setup program
; installs as "<folder>\uninstall.exe" and the entry in the list of
; installed programs names. The front runs it from a folder of its own under
; the temporary folder, with the front's parameters and /D=<folder>, and
; waits for it: it is an ordinary program rather than makensis's own
; uninstaller, which copies itself to the temporary folder, starts the copy
; and returns at once, before it has done anything.
;
; Command line (with /S for a silent run):
;   /REMOVESETTINGS=1  also remove the user's settings (kept by default)
;
; Exit codes: 0 done; 3010 done, but a module in use is deleted when
; Windows restarts; 2 cancelled or failed (a module held by another program
; so that it cannot be removed: nothing is removed).

!ifndef VERSION | OUTFILE
  !error "tools/package.sh defines VERSION and OUTFILE"
!endif

!include common.nsh
!include FileFunc.nsh
!include Sections.nsh
!include MUI2.nsh

Name "Gyrel ${VERSION}"
Caption "Remove Gyrel ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Gyrel ${VERSION}"
InstallButtonText "Remove"
CompletedText "Removed"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Gyrel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Gyrel screen saver removal"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 Gyrel authors, MIT licence"

Var MachinePart     ; 1 in the process that changes the machine
Var RestartNeeded   ; 1 when a module in use is deleted at the next restart
Var CurrentIsGyrel  ; 1 when the user's current screen saver is this module

!define MUI_ABORTWARNING
!define MUI_ABORTWARNING_TEXT "Are you sure you want to quit without removing Gyrel?"
!define MUI_CUSTOMFUNCTION_ABORT OnCancel
!define MUI_PAGE_HEADER_TEXT "Remove Gyrel"
!define MUI_PAGE_HEADER_SUBTEXT "Remove Gyrel from this computer."
!define MUI_COMPONENTSPAGE_TEXT_TOP "Gyrel will be removed from this computer, for every user. Click Remove to continue."
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_HEADER_TEXT "Removing"
!define MUI_PAGE_HEADER_SUBTEXT "Please wait while Gyrel is being removed."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Removal complete"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "Gyrel was removed."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Removal failed"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "Gyrel was not removed."
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Gyrel is removed"
!define MUI_FINISHPAGE_TEXT "Gyrel was removed from this computer."
!define MUI_FINISHPAGE_TEXT_REBOOT "Gyrel was in use. Its file is deleted when Windows restarts."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

Section "Gyrel screen saver" SecGyrel
  SectionIn RO
  ${If} $MachinePart == 1
    Call RemoveForTheMachine
  ${Else}
    Call RemoveForTheUser
  ${EndIf}
SectionEnd

Section /o "Remove my Gyrel settings" SecSettings
  ; The machine part removes them from CONTROL.INI; the registry's copy
  ; is the user's.
  ${If} $MachinePart == 0
    DeleteRegKey HKCU "Control Panel\${SETTINGS_SECTION}"
  ${EndIf}
SectionEnd

; --- The machine part ----------------------------------------------------

Var AsideSystem32  ; the System32 module's name after MoveAside
Var AsideSysWOW64  ; the SysWOW64 module's name after MoveAside

; Moves $0\Gyrel.scr aside into $2 ("" if there was none); $3 becomes the
; module's name when it is held so that it cannot be moved.
Function MoveModuleAside
  StrCpy $2 ""
  ${If} ${FileExists} "$0\Gyrel.scr"
    Push "$0\Gyrel.scr"
    Call MoveAside
    Pop $2
    ${If} $2 == ""
      StrCpy $3 "$0\Gyrel.scr"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Deletes the module moved aside to $2, now or at the restart.
Function DeleteMovedModule
  ${If} $2 != ""
    Push $2
    Call DeleteOrQueue
    Pop $2
    ${If} $2 = 1
      StrCpy $RestartNeeded 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DeleteNewModule
  Delete "$0\Gyrel.scr.new"
FunctionEnd

Function RemoveForTheMachine
  ; Both modules leave their names before anything is deleted: one held so
  ; that it cannot be moved stops the removal with the install whole.
  StrCpy $3 ""
  StrCpy $AsideSysWOW64 ""
  ${DisableX64FSRedirection}
  StrCpy $0 "$WINDIR\System32"
  Call MoveModuleAside
  StrCpy $AsideSystem32 $2
  ${EnableX64FSRedirection}
  ${If} ${RunningX64}
  ${AndIf} $3 == ""
    StrCpy $0 "$WINDIR\SysWOW64"
    Call MoveModuleAside
    StrCpy $AsideSysWOW64 $2
    ${If} $3 != ""
    ${AndIf} $AsideSystem32 != ""
      ${DisableX64FSRedirection}
      Rename "$AsideSystem32" "$WINDIR\System32\Gyrel.scr"
      ${EnableX64FSRedirection}
    ${EndIf}
  ${EndIf}
  ${If} $3 != ""
    DetailPrint "$3 is held by another program. Nothing was removed."
    SetErrorLevel ${EXIT_FAILED}
    Quit
  ${EndIf}

  ${DisableX64FSRedirection}
  StrCpy $2 $AsideSystem32
  Call DeleteMovedModule
  ${EnableX64FSRedirection}
  StrCpy $2 $AsideSysWOW64
  Call DeleteMovedModule
  !insertmacro ForEachModuleFolder DeleteNewModule

  ${If} ${SectionIsSelected} ${SecSettings}
    DeleteINISec "$WINDIR\control.ini" "${SETTINGS_SECTION}"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The front, uninstall.exe, is running, waiting for this program: it
  ; can be renamed, not deleted. Out of the folder with it, so that the
  ; folder goes now and a later install finds it free.
  ClearErrors
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    GetTempFileName $2
    Delete "$2"
    ClearErrors
    Rename "$INSTDIR\uninstall.exe" "$2"
    ${If} ${Errors}
      ; The temporary folder is on another drive: aside in the folder,
      ; which then goes at the restart, if it is empty by then.
      Push "$INSTDIR\uninstall.exe"
      Call MoveAside
      Pop $2
      RMDir /REBOOTOK "$INSTDIR"
    ${EndIf}
    ${If} $2 != ""
      System::Call 'kernel32::MoveFileExW(w r2, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT})'
    ${EndIf}
  ${EndIf}
  RMDir "$INSTDIR"

  ${If} $RestartNeeded == 1
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd

; --- The user's part ------------------------------------------------------

; Pushes 1 when the path on the stack names one of the installed modules,
; in any form Windows accepts: long or short, any case, with %SystemRoot%
; or ".." in it. A Gyrel.scr elsewhere (a copy from the zip) is not ours.
Function IsInstalledModule
  Exch $R0
  Push $R1
  Push $R2
  ExpandEnvStrings $R0 $R0
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R1, p 0) i .R2'
  ${If} $R2 <> 0
    StrCpy $R0 $R1
  ${EndIf}
  ${DisableX64FSRedirection}
  System::Call 'kernel32::GetLongPathNameW(w R0, w .R1, i ${NSIS_MAX_STRLEN}) i .R2'
  ${EnableX64FSRedirection}
  ${If} $R2 <> 0
    StrCpy $R0 $R1
  ${EndIf}
  StrCpy $R1 0
  ${If} $R0 == "$WINDIR\System32\Gyrel.scr"
    StrCpy $R1 1
  ${ElseIf} ${RunningX64}
  ${AndIf} $R0 == "$WINDIR\SysWOW64\Gyrel.scr"
    StrCpy $R1 1
  ${EndIf}
  StrCpy $R0 $R1
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

Function RemoveForTheUser
  ; Read while the module is there to resolve a short name.
  ReadRegStr $R0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCpy $CurrentIsGyrel 0
  ${If} $R0 != ""
    Push $R0
    Call IsInstalledModule
    Pop $CurrentIsGyrel
  ${EndIf}

  DetailPrint "Removing Gyrel for every user of this computer..."
  ${If} ${SectionIsSelected} ${SecSettings}
    Push "/REMOVESETTINGS=1 /D=$INSTDIR"
  ${Else}
    Push "/D=$INSTDIR"
  ${EndIf}
  Call RunMachinePart
  Pop $R0
  Pop $R1
  ${If} $R0 = ${EXIT_RESTART_NEEDED}
    SetRebootFlag true
    SetErrorLevel ${EXIT_RESTART_NEEDED}
    DetailPrint "Gyrel was in use: its file is deleted when Windows restarts."
  ${ElseIf} $R0 <> ${EXIT_DONE}
    SetErrorLevel ${EXIT_FAILED}
    ${If} $R1 = 1
      DetailPrint "Cancelled. Nothing was removed."
    ${Else}
      DetailPrint "Gyrel could not be removed. Nothing was removed."
      MessageBox MB_OK|MB_ICONSTOP "Gyrel could not be removed: it is held by another program, or the Windows folders cannot be written. Nothing was removed; close the program and try again." /SD IDOK
    ${EndIf}
    Abort
  ${EndIf}
  ${If} $CurrentIsGyrel = 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
FunctionEnd


Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  StrCpy $RestartNeeded 0
  StrCpy $MachinePart 0
  ; The front passes its folder as /D=; else the entry's, else this one.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR $EXEDIR
  ${EndIf}

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "1"
    !insertmacro SelectSection ${SecSettings}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "${MACHINE_PART}" $R1
  ${IfNot} ${Errors}
    StrCpy $MachinePart 1
    SetSilent silent
  ${EndIf}
FunctionEnd

Function OnCancel
  SetErrorLevel ${EXIT_FAILED}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGyrel} "The screen saver and its entry in the list of programs."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSettings} "Your Gyrel settings (otherwise kept for a later install)."
!insertmacro MUI_FUNCTION_DESCRIPTION_END
