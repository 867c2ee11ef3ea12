; What the setup program (gyrel.nsi) and the removal program (uninstall.nsi)
; share: the names Windows and earlier versions know, the exit codes, and the
; two-process way both work.
;
; Each program runs twice. The process the user (or a deployment tool)
; starts shows the pages and does the per-user steps: choosing the current
; screen saver, opening the Screen Saver Settings, the user's own settings.
; It starts itself once more with /MACHINEPART for the steps that change the
; machine (System32, the program's folder, the list of installed programs),
; elevated through the consent prompt when it is not elevated itself, waits
; for that process and passes its exit code on. So an administrator's
; password typed at the prompt changes the machine, never the administrator's
; own desktop, and nothing the user opens at the end runs elevated.

!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gyrel"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_SECTION "Screen Saver.Gyrel"
!define MACHINE_PART "/MACHINEPART"

; Exit codes, as README.md documents them.
!define EXIT_DONE 0
!define EXIT_FAILED 2             ; cancelled or failed: nothing was changed
!define EXIT_NEWER_INSTALLED 3    ; setup only: a silent run leaves a newer Gyrel
!define EXIT_RESTART_NEEDED 3010  ; done; Windows finishes the work when it restarts

!define ERROR_CANCELLED 1223
!define MOVEFILE_DELAY_UNTIL_REBOOT 4
!define TOKEN_QUERY 8
!define TokenUser 1
!define TokenElevation 20
!define WinLocalSystemSid 22
!define SEE_MASK_NOCLOSEPROCESS 0x40
!define SEE_MASK_NOASYNC 0x100
; SHELLEXECUTEINFOW: seven pointers or ints, nShow, five more, dwHotKey,
; hIcon and hProcess.
!if ${NSIS_PTR_SIZE} > 4
  !define SHELLEXECUTEINFO_SIZE 112
!else
  !define SHELLEXECUTEINFO_SIZE 60
!endif

Unicode true
SetCompressor /SOLID lzma
; Started as whoever starts it; the machine part asks for elevation itself.
RequestExecutionLevel user
; No build dates in the programs: the files get the install time.
SetDateSave off
ManifestSupportedOS all
; Crisp text at 150 and 200 per cent rather than a stretched bitmap.
ManifestDPIAware true

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

; Pushes 1 when this process may change the machine: its token is elevated,
; or Windows has no elevation (then an account without the right fails in
; the machine part, which says so).
Function IsElevated
  Push $R0
  Push $R1
  Push $R2
  System::Call 'advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .R0) i .R1'
  StrCpy $R2 1
  ${If} $R1 <> 0
    System::Call 'advapi32::GetTokenInformation(p R0, i ${TokenElevation}, *i .R2, i 4, *i .R1) i .R1'
    ${If} $R1 = 0
      StrCpy $R2 1
    ${EndIf}
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

; Runs this program again with the parameters on the stack (the machine
; part; they get /S and /MACHINEPART in front) and waits for it. Pushes its
; exit code, or EXIT_FAILED if it did not start; then, beneath it, 1 if
; the user refused the consent prompt.
Function RunMachinePart
  Exch $R0  ; parameters
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Call IsElevated
  Pop $R1
  ; An elevated process starts the machine part as it is: asking a
  ; service account such as SYSTEM for consent would fail.
  ${If} $R1 = 1
    StrCpy $R1 "open"
  ${Else}
    StrCpy $R1 "runas"
  ${EndIf}
  StrCpy $R0 "/S ${MACHINE_PART} $R0"
  System::Call '*(i ${SHELLEXECUTEINFO_SIZE}, i ${SEE_MASK_NOCLOSEPROCESS}|${SEE_MASK_NOASYNC}, \
                  p $HWNDPARENT, w R1, w "$EXEPATH", w R0, p 0, i ${SW_SHOWNORMAL}, \
                  p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .R2'
  System::Call 'shell32::ShellExecuteExW(p R2) i .R3 ?e'
  Pop $R4  ; the last error
  StrCpy $R5 0
  ${If} $R3 = 0
    StrCpy $R3 ${EXIT_FAILED}
    ${If} $R4 = ${ERROR_CANCELLED}
      StrCpy $R5 1
    ${EndIf}
  ${Else}
    System::Call '*$R2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .R4)'
    System::Call 'kernel32::WaitForSingleObject(p R4, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p R4, *i .R3) i .R1'
    ${If} $R1 = 0
      StrCpy $R3 ${EXIT_FAILED}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R4)'
  ${EndIf}
  System::Free $R2
  StrCpy $R0 $R3
  StrCpy $R1 $R5
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Exch $R1  ; refused
  Exch
  Exch $R0  ; exit code
FunctionEnd

; Moves the file named on the stack aside, in its own folder, to a name no
; other file has (NAME.1.old, NAME.2.old, ...): a running module can be
; renamed though not deleted. Pushes the new name, or "" when the file
; cannot be moved (held by a program that does not allow it).
Function MoveAside
  Exch $R0  ; the file
  Push $R1
  Push $R2
  StrCpy $R1 1
  ${Do}
    StrCpy $R2 "$R0.$R1.old"
    ${IfNot} ${FileExists} "$R2"
      ClearErrors
      Rename "$R0" "$R2"
      ${IfNot} ${Errors}
        ${Break}
      ${EndIf}
      ; Taken by another process just now; otherwise the file is held.
      ${IfNot} ${FileExists} "$R2"
        StrCpy $R2 ""
        ${Break}
      ${EndIf}
    ${EndIf}
    IntOp $R1 $R1 + 1
    ${If} $R1 > 999
      StrCpy $R2 ""
      ${Break}
    ${EndIf}
  ${Loop}
  StrCpy $R0 $R2
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Deletes the file named on the stack now, or, when it is in use, when
; Windows restarts. Only names that MoveAside made are given here: a queued
; name that no later install can reuse never deletes anything but this
; file. Pushes 1 when the deletion waits for the restart.
Function DeleteOrQueue
  Exch $R0
  ClearErrors
  Delete "$R0"
  ${If} ${Errors}
    Push $R1
    System::Call 'kernel32::MoveFileExW(w R0, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i .R1'
    ${If} $R1 = 0
      DetailPrint "$R0 is in use and could not be queued for deletion: delete it later."
    ${Else}
      DetailPrint "$R0 is in use: it is deleted when Windows restarts."
    ${EndIf}
    Pop $R1
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Exch $R0
FunctionEnd
