; Ostra Mail setup: an installer and its uninstaller built with Pellbox and
; Tallywick.
;
; The installer
;   - refuses to run while Ostra Mail runs from the installation folder,
;   - deletes the folder of the old version (locked files go at the next restart),
;   - records an installation identity and sends an install event.
; The uninstaller sends the answers of the uninstall survey, then removes the
; installation folder.
;
; Build:   makensis OstraMailSetup.nsi
;          (with the package unpacked into the NSIS folder, or with
;           -X"!addincludedir <package>\Include"
;           -X"!addplugindir /x86-unicode <package>\Plugins\x86-unicode")
; Run:     OstraMailSetup.exe [/S] [/STATSDIR=<folder>] [/D=<installation folder>]
;          uninst.exe [/S] [/STATSDIR=<folder>] [/REASONS=1,3] [/QUESTION=<text>]
;                     [/QQ=<number>] [/EMAIL=<address>] [/TEL=<number>]
;
; Exit codes: 0 installed or removed; 2 refused because Ostra Mail is running.
;
; Sending: NSIS has no HTTP POST of its own, so each document is handed to the
; product's uploader through a spool folder (/STATSDIR=, by default
; $TEMP\Ostra Mail\stats). Replace SendStatistics with your uploader's call.

Unicode true
!include LogicLib.nsh
!include FileFunc.nsh
!include Pellbox.nsh
!include Tallywick.nsh

!define PRODUCT "ostra_setup"
!define VERSION "3.1.4"
; Numbers agreed with the statistics server for install events.
!define EVENT_PROTOCOL 2
!define EVENT_CID 26
; Where the previous major version lived, inside the installation folder. Its
; name holds a space, an apostrophe and a dollar sign: the macros pass it intact.
!define OLD_VERSION_FOLDER "Ostra Mail 2 (Bob's $$ edition)"

!ifndef OUTFILE
    !define OUTFILE "OstraMailSetup.exe"
!endif

Name "Ostra Mail"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Ostra Mail"
RequestExecutionLevel admin

Page directory
Page instfiles
UninstPage instfiles

Var StatsDir

; Writes one document into the spool folder as NAME.json (the documents are
; ASCII JSON). An empty document did not fit in this NSIS build's strings and
; is not sent.
!macro SendStatistics DOCUMENT NAME
    ${If} ${DOCUMENT} == ""
        DetailPrint "统计数据超出安装程序的字符串长度，未发送"
    ${Else}
        CreateDirectory "$StatsDir"
        ClearErrors
        FileOpen $R9 "$StatsDir\${NAME}.json" w
        ${IfNot} ${Errors}
            FileWrite $R9 ${DOCUMENT}
            FileClose $R9
        ${EndIf}
    ${EndIf}
!macroend

; The spool folder from /STATSDIR=, else $TEMP\Ostra Mail\stats.
!macro ReadStatsDir UN
    ${${UN}GetParameters} $R0
    ClearErrors
    ${${UN}GetOptions} $R0 "/STATSDIR=" $StatsDir
    ${If} ${Errors}
    ${OrIf} $StatsDir == ""
        StrCpy $StatsDir "$TEMP\Ostra Mail\stats"
    ${EndIf}
!macroend

; Ostra Mail must not run from the folder we are about to write: ask the user to
; close it (silent installs end at once with exit code 2).
Function RefuseWhileClientRuns
    ${Pellbox::IsProcessRunningByFilePath} $0 "$INSTDIR\ostramail.exe"
    ${If} $0 != 1
        ; Also catches a client started under another spelling of the folder.
        ${Pellbox::IsProcessRunningByDirectory} $0 "$INSTDIR\"
    ${EndIf}
    ${If} $0 == 1
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Ostra Mail 正在运行，请先关闭后再继续安装。" \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    retry:
        Call RefuseWhileClientRuns
    ${EndIf}
FunctionEnd

Function .onInit
    !insertmacro ReadStatsDir ""
FunctionEnd

Section "Ostra Mail"
    Call RefuseWhileClientRuns

    SetOutPath "$INSTDIR"
    ; The old version's folder goes; whatever it still has open is deleted at
    ; the next restart. 1 only says the folder existed.
    ${Pellbox::DeleteFolder} $0 "$INSTDIR\${OLD_VERSION_FOLDER}"
    DetailPrint "旧版本目录: $0"

    ; File /r "app\*.*"   (the client's files go here)
    WriteINIStr "$INSTDIR\install.ini" "Ostra Mail" "Version" "${VERSION}"

    ; One identity per installation, kept for the uninstall survey.
    ${Pellbox::GetAppUUID} $1
    WriteINIStr "$INSTDIR\install.ini" "Ostra Mail" "InstallId" "$1"
    WriteUninstaller "$INSTDIR\uninst.exe"

    ${Tallywick::GetOneEventStatistics} $0 "${PRODUCT}" "${VERSION}" ${EVENT_PROTOCOL} ${EVENT_CID} $1 "install_finish"
    !insertmacro SendStatistics $0 "install-event"
SectionEnd

Function un.onInit
    !insertmacro ReadStatsDir "un."
FunctionEnd

Section "Uninstall"
    ; A survey page would collect these; a silent uninstall takes them from
    ; the command line. Reasons are the numbers of the ticked boxes.
    ${un.GetParameters} $R0
    ${un.GetOptions} $R0 "/REASONS=" $R1
    ${un.GetOptions} $R0 "/QUESTION=" $R2
    ${un.GetOptions} $R0 "/QQ=" $R3
    ${un.GetOptions} $R0 "/EMAIL=" $R4
    ${un.GetOptions} $R0 "/TEL=" $R5
    ReadINIStr $1 "$INSTDIR\install.ini" "Ostra Mail" "InstallId"

    ${Tallywick::GetUnInstallStatistics} $0 "${PRODUCT}" "${VERSION}" $1 $R1 "" "" $R2 $R3 $R4 $R5
    !insertmacro SendStatistics $0 "uninstall-survey"

    ; The uninstaller itself is running from here: it goes at the next restart.
    ; Pellbox refuses drive roots and the system's own folders should $INSTDIR
    ; ever be one of them.
    ${Pellbox::DeleteFolder} $0 "$INSTDIR"
    ${Pellbox::RebuildIconCache}
SectionEnd
