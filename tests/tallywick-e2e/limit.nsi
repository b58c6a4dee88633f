; Survey documents near, at and one past the installer's string limit: the
; plug-in pushes a document whole or, when it does not fit, the empty string.
; The answer is sized from the length of a first document (ASCII answers add
; one character each).
Unicode true
!ifndef NSIS_TARGET
  !define NSIS_TARGET x86-unicode
!endif
Target ${NSIS_TARGET}
!addplugindir /${NSIS_TARGET} "${PLUGINDIR}"
!include LogicLib.nsh
Name "TallywickLimit"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

; $R0 = answer; leaves the pushed document in $0.
!macro Survey
  Push "os"
  Push "3.1.4"
  Push "138"
  Push "a@b.cn"
  Push "10001"
  Push $R0
  Push "3"
  Push ""
  Push "1"
  Push "FEDCBA98"
  Tallywick::NSISGetUnInstallStatistics
  Pop $0
!macroend

!macro Save name
  FileOpen $2 "$EXEDIR\${name}.json" w
  FileWriteUTF16LE $2 $0
  FileClose $2
!macroend

; $R0 = $R1 times "q".
!macro Answer
  StrCpy $R0 ""
  ${For} $R2 1 $R1
    StrCpy $R0 "$R0q"
  ${Next}
!macroend

Section
  StrCpy $R0 ""
  !insertmacro Survey ; the machine profile may complete only after a first call
  !insertmacro Survey
  !insertmacro Save "limit-base"
  StrLen $3 $0
  IntOp $R1 ${NSIS_MAX_STRLEN} - 1
  IntOp $R1 $R1 - $3 ; answer length that fills the string exactly
  IntOp $R1 $R1 - 1
  !insertmacro Answer
  !insertmacro Survey
  !insertmacro Save "limit-near"
  IntOp $R1 $R1 + 1
  !insertmacro Answer
  !insertmacro Survey
  !insertmacro Save "limit-at"
  IntOp $R1 $R1 + 1
  !insertmacro Answer
  !insertmacro Survey
  !insertmacro Save "limit-past"
SectionEnd
