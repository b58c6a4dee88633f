; Uninstall survey: uuid, three option texts, question, QQ, e-mail, telephone, ver, p.
; The texts are short: this NSIS build passes strings of at most 1,023 characters
; and the document with Wine's machine profile comes close to that.
Unicode true
!ifndef NSIS_TARGET
  !define NSIS_TARGET x86-unicode
!endif
Target ${NSIS_TARGET}
!addplugindir /${NSIS_TARGET} "${PLUGINDIR}"
Name "TallywickUninstall"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Section
  Push "os"
  Push "3.1.4"
  Push "138"
  Push "a@b.cn"
  Push "10001"
  Push "太慢"
  Push "3"
  Push ""
  Push "1"
  Push "FEDCBA98"
  Tallywick::NSISGetUnInstallStatistics
  Pop $0
  FileOpen $2 "$EXEDIR\uninstall.json" w
  FileWriteUTF16LE $2 $0
  FileClose $2
SectionEnd
