; Pellbox.nsh: macros for the Pellbox plug-in (Plugins\x86-unicode\Pellbox.dll).
;
;   !include Pellbox.nsh
;   ${Pellbox::DeleteFolder} $0 "$INSTDIR\old"     ; $0 = 1 or 0
;
; Every macro takes the variable that receives the result first, then the
; plug-in's arguments; it pushes the arguments and pops the result itself, so
; the stack is as it was before. Arguments are passed in back quotes, so a
; literal holding spaces, ' or " (write $\" inside "...") and $$ reaches the
; plug-in as written; only a literal holding a back quote must go through a
; variable first. The macros work in installers and uninstallers alike.
; Path and name arguments longer than 259 characters are refused: every
; command that takes one answers 0 (a cut path could name something else).
; Pellbox.dll needs a Unicode installer ("Unicode true").

!ifndef PELLBOX_NSH_INCLUDED
!define PELLBOX_NSH_INCLUDED

; ${Pellbox::DeleteFolder} RESULT PATH
;   Deletes the folder PATH with everything in it, changing nothing outside it
;   (a file's other hard links keep their attributes). Files that cannot be
;   deleted now (open, running) are renamed to NAME_d_<hex> in their folder and
;   deleted at the next restart, and their folders after them, deepest first.
;   RESULT: 1 when PATH named an existing folder (even if something is left
;   for the restart), 0 when it did not or was refused. Refused, deleting
;   nothing: relative paths, drive and share roots in any spelling, the
;   system's own top folders (Windows, Program Files, ProgramData, Users, the
;   profile and its Desktop, Documents, Downloads, AppData) and any folder
;   holding one of them. Links inside the folder are removed, never followed.
!macro Pellbox_DeleteFolder RESULT PATH
    Push `${PATH}`
    Pellbox::NSISDeleteFolder
    Pop ${RESULT}
!macroend
!define Pellbox::DeleteFolder "!insertmacro Pellbox_DeleteFolder"

; ${Pellbox::IsWow64} RESULT
;   RESULT: 1 when the installer runs as a 32-bit process on 64-bit Windows,
;   else 0.
!macro Pellbox_IsWow64 RESULT
    Pellbox::NSISIsWow64
    Pop ${RESULT}
!macroend
!define Pellbox::IsWow64 "!insertmacro Pellbox_IsWow64"

; ${Pellbox::IsProcessRunningByFilePath} RESULT PATH
;   RESULT: 1 when a process other than the installer runs from the program
;   file PATH (full path; letter case of A-Z ignored), else 0.
!macro Pellbox_IsProcessRunningByFilePath RESULT PATH
    Push `${PATH}`
    Pellbox::NSISIsProcessRunningByFilePath
    Pop ${RESULT}
!macroend
!define Pellbox::IsProcessRunningByFilePath "!insertmacro Pellbox_IsProcessRunningByFilePath"

; ${Pellbox::IsProcessRunningByFileName} RESULT NAME
;   RESULT: 1 when a process other than the installer has the program file
;   name NAME (such as ostramail.exe, letter case of A-Z ignored), started
;   from any folder; else 0.
!macro Pellbox_IsProcessRunningByFileName RESULT NAME
    Push `${NAME}`
    Pellbox::NSISIsProcessRunningByFileName
    Pop ${RESULT}
!macroend
!define Pellbox::IsProcessRunningByFileName "!insertmacro Pellbox_IsProcessRunningByFileName"

; ${Pellbox::IsProcessRunningByDirectory} RESULT DIRECTORY
;   DIRECTORY must end in "\" ("$INSTDIR\"): the plug-in appends each running
;   program's file name to it as given.
;   RESULT: 1 when a program file in DIRECTORY, named like a running process,
;   is in use; else 0.
!macro Pellbox_IsProcessRunningByDirectory RESULT DIRECTORY
    Push `${DIRECTORY}`
    Pellbox::NSISIsProcessRunningByDirectory
    Pop ${RESULT}
!macroend
!define Pellbox::IsProcessRunningByDirectory "!insertmacro Pellbox_IsProcessRunningByDirectory"

; ${Pellbox::GetHardSNW} RESULT
;   RESULT: the disk identity (model, firmware and serial number of the first
;   disk that answers, at most 28 characters, spaces removed), or empty.
;   Can take up to about 3 seconds on the first call.
!macro Pellbox_GetHardSNW RESULT
    Pellbox::NSISGetHardSNW
    Pop ${RESULT}
!macroend
!define Pellbox::GetHardSNW "!insertmacro Pellbox_GetHardSNW"

; ${Pellbox::GetAppUUID} RESULT
;   RESULT: a new UUID as 32 upper-case hexadecimal digits, different on
;   every call.
!macro Pellbox_GetAppUUID RESULT
    Pellbox::NSISGetAppUUID
    Pop ${RESULT}
!macroend
!define Pellbox::GetAppUUID "!insertmacro Pellbox_GetAppUUID"

; ${Pellbox::UrlEncode} RESULT TEXT
;   RESULT: TEXT as UTF-8, percent-encoded for a URL (A-Z a-z 0-9 ' ( ) * - . _
;   stay, everything else becomes %XX), cut to the installer's string length
;   only between whole characters.
!macro Pellbox_UrlEncode RESULT TEXT
    Push `${TEXT}`
    Pellbox::NSISUrlEncode
    Pop ${RESULT}
!macroend
!define Pellbox::UrlEncode "!insertmacro Pellbox_UrlEncode"

; ${Pellbox::GetMacAddress} RESULT
;   RESULT: the MAC addresses of the physical wired (PCI) network adapters as
;   XX-XX-XX-XX-XX-XX, sorted and joined with "+", or empty.
!macro Pellbox_GetMacAddress RESULT
    Pellbox::NSISGetMacAddress
    Pop ${RESULT}
!macroend
!define Pellbox::GetMacAddress "!insertmacro Pellbox_GetMacAddress"

; ${Pellbox::GetParentProcessName} RESULT
;   RESULT: the file name of the program that started the installer (such as
;   explorer.exe), or empty.
!macro Pellbox_GetParentProcessName RESULT
    Pellbox::NSISGetParentProcessName
    Pop ${RESULT}
!macroend
!define Pellbox::GetParentProcessName "!insertmacro Pellbox_GetParentProcessName"

; ${Pellbox::GetLocalTimeString} RESULT
;   RESULT: the current time as whole seconds since 1970-01-01 00:00 UTC, in
;   decimal (no time zone applied).
!macro Pellbox_GetLocalTimeString RESULT
    Pellbox::NSISGetLocalTimeString
    Pop ${RESULT}
!macroend
!define Pellbox::GetLocalTimeString "!insertmacro Pellbox_GetLocalTimeString"

; ${Pellbox::RebuildIconCache}
;   Asks the shell to refresh icons and file associations. No result; the
;   stack is untouched.
!macro Pellbox_RebuildIconCache
    Pellbox::NSISRebuildIconCache
!macroend
!define Pellbox::RebuildIconCache "!insertmacro Pellbox_RebuildIconCache"

!endif ; PELLBOX_NSH_INCLUDED
