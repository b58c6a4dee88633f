; Calls every Pellbox export the way an installer does and writes each result
; as "key=value" to the file named by /OUT=, in UTF-16LE.
; makensis -DPLUGIN_DIR=<folder with Pellbox.dll> -DOUT_FILE=<setup.exe> pellbox-e2e.nsi
; setup.exe /S /OUT=<results> /WORK=<scratch folder> /HELPER=<sleeper.exe> /LINKCASE=<folder holding a link>
Unicode true
!ifndef NSIS_TARGET
  !define NSIS_TARGET x86-unicode
!endif
Target ${NSIS_TARGET}
!addplugindir /${NSIS_TARGET} "${PLUGIN_DIR}"
!include FileFunc.nsh
!include LogicLib.nsh

Name "Pellbox"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
SilentInstall silent

Var Results
Var Work

!macro Record key value
    FileWriteUTF16LE $Results "${key}=${value}$\r$\n"
!macroend

; Each export must take only its own argument and push exactly one result.
!macro CallExport key function
    Push "sentinel"
    Pellbox::${function}
    Pop $0
    Pop $1
    !insertmacro Record "${key}" "$0"
    !insertmacro Record "${key}.below" "$1"
!macroend

!macro CallExportWith key function argument
    Push "sentinel"
    Push "${argument}"
    Pellbox::${function}
    Pop $0
    Pop $1
    !insertmacro Record "${key}" "$0"
    !insertmacro Record "${key}.below" "$1"
!macroend

!macro WriteSmallFile path
    FileOpen $9 "${path}" w
    FileWrite $9 "data"
    FileClose $9
!macroend

!macro RecordExists key path
    ${If} ${FileExists} "${path}"
        !insertmacro Record "${key}" "1"
    ${Else}
        !insertmacro Record "${key}" "0"
    ${EndIf}
!macroend

Section
    ${GetParameters} $R0

    ; Child mode: report the parent's name and end.
    ClearErrors
    ${GetOptions} $R0 "/CHILD=" $R1
    ${IfNot} ${Errors}
        Pellbox::NSISGetParentProcessName
        Pop $0
        FileOpen $R2 "$R1" w
        FileWriteUTF16LE /BOM $R2 "$0"
        FileClose $R2
        Quit
    ${EndIf}

    ${GetOptions} $R0 "/OUT=" $R1
    ${GetOptions} $R0 "/WORK=" $Work
    ${GetOptions} $R0 "/HELPER=" $R2
    ${GetOptions} $R0 "/LINKCASE=" $R3
    FileOpen $Results "$R1" w
    FileWriteUTF16LE /BOM $Results "started=1$\r$\n"

    ; Machine identity.
    !insertmacro CallExport "wow64" NSISIsWow64
    !insertmacro CallExport "sn" NSISGetHardSNW
    Sleep 3500
    !insertmacro CallExport "sn.later" NSISGetHardSNW
    !insertmacro CallExport "mac" NSISGetMacAddress
    !insertmacro CallExport "uuid" NSISGetAppUUID
    !insertmacro CallExport "uuid2" NSISGetAppUUID

    ; Small utilities.
    !insertmacro CallExportWith "url.ascii" NSISUrlEncode "a b&c~-._*'()"
    !insertmacro CallExportWith "url.chinese" NSISUrlEncode "中文 邮件"
    !insertmacro CallExportWith "url.thai" NSISUrlEncode "กa"
    !insertmacro CallExportWith "url.empty" NSISUrlEncode ""
    !insertmacro CallExport "time" NSISGetLocalTimeString
    Push "sentinel"
    Pellbox::NSISRebuildIconCache
    Pop $0
    !insertmacro Record "icons.top" "$0"

    ; Process queries against a helper program started from our folder.
    CreateDirectory "$Work\app"
    CopyFiles /SILENT "$R2" "$Work\app\e2e_sleeper.exe"
    Exec '"$Work\app\e2e_sleeper.exe"'
    Sleep 1500
    !insertmacro CallExportWith "byname.helper" NSISIsProcessRunningByFileName "E2E_SLEEPER.EXE"
    !insertmacro CallExportWith "byname.none" NSISIsProcessRunningByFileName "no-such-program.exe"
    !insertmacro CallExportWith "bypath.helper" NSISIsProcessRunningByFilePath "$Work\APP\e2e_sleeper.exe"
    !insertmacro CallExportWith "bypath.self" NSISIsProcessRunningByFilePath "$EXEPATH"
    !insertmacro CallExportWith "bypath.none" NSISIsProcessRunningByFilePath "$Work\app\other.exe"
    !insertmacro CallExportWith "bydir.helper" NSISIsProcessRunningByDirectory "$Work\app\"
    !insertmacro CallExportWith "bydir.noslash" NSISIsProcessRunningByDirectory "$Work\app"
    !insertmacro CallExportWith "bydir.other" NSISIsProcessRunningByDirectory "$Work\"
    ; A folder whose program is running: the program file is moved aside if it cannot go.
    !insertmacro CallExportWith "delete.running" NSISDeleteFolder "$Work\app\"
    !insertmacro RecordExists "delete.running.left" "$Work\app"
    FindFirst $0 $1 "$Work\app\e2e_sleeper*"
    !insertmacro Record "delete.running.name" "$1"
    FindClose $0
    !insertmacro WriteSmallFile "$Work\app\stop.flag"
    Sleep 500

    ; Parent process name, asked by a second copy of this installer.
    ExecWait '"$EXEPATH" /S /CHILD=$Work\parent.txt'
    FileOpen $9 "$Work\parent.txt" r
    FileReadUTF16LE $9 $0
    FileClose $9
    !insertmacro Record "child" "$0"

    ; Folder deletion: a tree with a read-only and a hidden file, Chinese names.
    CreateDirectory "$Work\tree\子目录\深层"
    !insertmacro WriteSmallFile "$Work\tree\a.txt"
    !insertmacro WriteSmallFile "$Work\tree\子目录\只读.txt"
    SetFileAttributes "$Work\tree\子目录\只读.txt" READONLY
    !insertmacro WriteSmallFile "$Work\tree\子目录\深层\hidden.dat"
    SetFileAttributes "$Work\tree\子目录\深层\hidden.dat" HIDDEN|SYSTEM
    !insertmacro CallExportWith "delete.tree" NSISDeleteFolder "$Work\tree\"
    !insertmacro RecordExists "delete.tree.left" "$Work\tree"

    ; A tree holding a file that is open.
    CreateDirectory "$Work\locked\sub"
    !insertmacro WriteSmallFile "$Work\locked\sub\free.txt"
    FileOpen $8 "$Work\locked\busy.dat" w
    FileWrite $8 "busy"
    !insertmacro CallExportWith "delete.locked" NSISDeleteFolder "$Work\locked"
    FileClose $8
    !insertmacro RecordExists "delete.locked.left" "$Work\locked"
    !insertmacro RecordExists "delete.locked.sub" "$Work\locked\sub"
    FindFirst $0 $1 "$Work\locked\busy*"
    !insertmacro Record "delete.locked.name" "$1"
    FindClose $0

    ; Not folders.
    !insertmacro WriteSmallFile "$Work\plain.txt"
    !insertmacro CallExportWith "delete.file" NSISDeleteFolder "$Work\plain.txt"
    !insertmacro RecordExists "delete.file.left" "$Work\plain.txt"
    !insertmacro CallExportWith "delete.empty" NSISDeleteFolder ""
    !insertmacro CallExportWith "delete.missing" NSISDeleteFolder "$Work\missing"

    ; A folder holding a link to a folder outside it.
    ${If} $R3 != ""
        !insertmacro CallExportWith "delete.link" NSISDeleteFolder "$R3"
    ${EndIf}

    !insertmacro Record "finished" "1"
    FileClose $Results
SectionEnd
