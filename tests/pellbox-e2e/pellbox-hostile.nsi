; Asks Pellbox to delete a scratch drive D: in every careless and hostile
; spelling an installer script can produce, from a working directory on that
; drive, then deletes one named subfolder. Results go to R:\results.txt as
; "key=value" lines in UTF-16LE. Run only in the sandbox of run-sandbox.sh.
; makensis -DPLUGIN_DIR=<folder with Pellbox.dll> -DOUT_FILE=<setup.exe> pellbox-hostile.nsi
Unicode true
!ifndef NSIS_TARGET
  !define NSIS_TARGET x86-unicode
!endif
Target ${NSIS_TARGET}
!addplugindir /${NSIS_TARGET} "${PLUGIN_DIR}"
!include LogicLib.nsh

Name "Pellbox hostile"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
SilentInstall silent

Var Results

!macro Record key value
    FileWriteUTF16LE $Results "${key}=${value}$\r$\n"
!macroend

!macro TryToDelete key path
    Push "sentinel"
    Push "${path}"
    Pellbox::NSISDeleteFolder
    Pop $0
    Pop $1
    !insertmacro Record "${key}" "$0"
    !insertmacro Record "${key}.below" "$1"
!macroend

Section
    FileOpen $Results "R:\results.txt" w
    FileWriteUTF16LE /BOM $Results "started=1$\r$\n"
    ; Relative spellings are read against this folder and this drive.
    SetOutPath "D:\sub\deep"

    !insertmacro TryToDelete "refused.1" "D:\"
    !insertmacro TryToDelete "refused.2" "D:/"
    !insertmacro TryToDelete "refused.3" "d:\"
    !insertmacro TryToDelete "refused.4" "D:\\"
    !insertmacro TryToDelete "refused.5" "D:\."
    !insertmacro TryToDelete "refused.6" "D:\.."
    !insertmacro TryToDelete "refused.7" "D:\sub\.."
    !insertmacro TryToDelete "refused.8" "D:\sub\deep\..\.."
    !insertmacro TryToDelete "refused.9" "\\?\D:\"
    !insertmacro TryToDelete "refused.10" "\??\D:\"
    !insertmacro TryToDelete "refused.11" "\\.\D:\"
    !insertmacro TryToDelete "refused.12" "//?/D:/"
    !insertmacro TryToDelete "refused.13" "\\?\D:"
    !insertmacro TryToDelete "refused.14" "D:\ "
    !insertmacro TryToDelete "refused.15" "D:\..."
    !insertmacro TryToDelete "refused.16" "\"
    !insertmacro TryToDelete "refused.17" "/"
    !insertmacro TryToDelete "refused.18" ".."
    !insertmacro TryToDelete "refused.19" "..\.."
    !insertmacro TryToDelete "refused.20" "."
    !insertmacro TryToDelete "refused.21" ""
    !insertmacro TryToDelete "refused.22" "D:"
    !insertmacro TryToDelete "refused.23" "D:."
    !insertmacro TryToDelete "refused.24" "D:.."
    !insertmacro TryToDelete "refused.25" "D:sub"
    !insertmacro TryToDelete "refused.26" "deep"
    !insertmacro TryToDelete "refused.27" "..\deep"
    !insertmacro TryToDelete "refused.28" "\sub"
    !insertmacro TryToDelete "refused.29" "\\?\sub\deep"

    SetOutPath "D:\"
    !insertmacro TryToDelete "victim" "D:\sub\..\victim\"
    ${If} ${FileExists} "D:\victim\*.*"
        !insertmacro Record "victim.left" "1"
    ${Else}
        !insertmacro Record "victim.left" "0"
    ${EndIf}

    ; Machine identity loads Iphlpapi.dll; a planted copy beside this installer must stay unused.
    Pellbox::NSISGetMacAddress
    Pop $0
    !insertmacro Record "finished" "1"
    FileClose $Results
SectionEnd
