; Installer event: the plug-in pops uuid, event id, cid, protocol, ver, p.
Unicode true
!ifndef NSIS_TARGET
  !define NSIS_TARGET x86-unicode
!endif
Target ${NSIS_TARGET}
!addplugindir /${NSIS_TARGET} "${PLUGINDIR}"
Name "TallywickEvent"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Section
  Push "sentinel"
  Push "ostra_setup"
  Push "3.1.4"
  Push "2"
  Push "0x1A"
  Push "install_start"
  Push "0123456789ABCDEF0123456789ABCDEF"
  Tallywick::NSISGetOneEventStatistics
  Pop $0
  Pop $1
  FileOpen $2 "$EXEDIR\event.json" w
  FileWriteUTF16LE $2 $0
  FileClose $2
  FileOpen $2 "$EXEDIR\event-stack.txt" w
  FileWriteUTF16LE $2 $1
  FileClose $2
SectionEnd
