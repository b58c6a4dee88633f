; Tallywick.nsh: macros for the Tallywick plug-in (Plugins\x86-unicode\Tallywick.dll),
; which builds the signed JSON statistics documents of the installer. It sends
; nothing: the script hands RESULT to whatever uploads it.
;
;   !include Tallywick.nsh
;   ${Tallywick::GetOneEventStatistics} $0 "ostra_setup" "3.1.4" 2 26 $uuid "install_start"
;
; The macros take the result variable first, then named arguments in the order
; written below, and push them in the order the plug-in takes them. Arguments
; are passed in back quotes (see Pellbox.nsh): spaces, quotes and $$ pass as
; written. Texts of up to 8,195 characters are taken whole.
;
; RESULT is the whole document, ending in a line feed, or EMPTY when the
; document does not fit in the installer's strings: a standard NSIS build
; carries 1,023 characters, and an uninstall document with several disks or
; long answers is longer. Test for "" before sending, and build production
; installers with the large-strings NSIS build (8,192 characters).

!ifndef TALLYWICK_NSH_INCLUDED
!define TALLYWICK_NSH_INCLUDED

; ${Tallywick::GetOneEventStatistics} RESULT PRODUCT VERSION PROTOCOL CID UUID EVENT_ID
;   PRODUCT   -> "p"         the product or package text
;   VERSION   -> "ver"       the product version text
;   PROTOCOL  -> "protocol"  integer (decimal, 0x hexadecimal or 0 octal)
;   CID       -> "cid"       integer, also part of the signature
;   UUID      -> "uuid"      the installation's identity (for example from
;                            ${Pellbox::GetAppUUID}), part of the signature
;   EVENT_ID  -> "event_id"  the event's name, such as install_start
;   RESULT: the event document (one event with the current time), or empty.
!macro Tallywick_GetOneEventStatistics RESULT PRODUCT VERSION PROTOCOL CID UUID EVENT_ID
    Push `${PRODUCT}`
    Push `${VERSION}`
    Push `${PROTOCOL}`
    Push `${CID}`
    Push `${EVENT_ID}`
    Push `${UUID}`
    Tallywick::NSISGetOneEventStatistics
    Pop ${RESULT}
!macroend
!define Tallywick::GetOneEventStatistics "!insertmacro Tallywick_GetOneEventStatistics"

; ${Tallywick::GetUnInstallStatistics} RESULT PRODUCT VERSION UUID OPTION1 OPTION2 OPTION3 QUESTION QQ EMAIL TELEPHONE
;   PRODUCT, VERSION, UUID  -> "p", "ver", "uuid" as above ("protocol" is 5, "cid" 8)
;   OPTION1..3   the survey's ticked reasons as numbers; each may hold several
;                separated by "," ("4,5"); they become uninstall-event1, 2, ...
;                in order, empty pieces skipped
;   QUESTION     free text answer        -> "uninstall_question"
;   QQ           QQ number               -> "uninstall_qq"
;   EMAIL        e-mail address          -> "uninstall_email"
;   TELEPHONE    telephone number        -> "uninstall_telnumber"
;   RESULT: the uninstall survey document, or empty.
!macro Tallywick_GetUnInstallStatistics RESULT PRODUCT VERSION UUID OPTION1 OPTION2 OPTION3 QUESTION QQ EMAIL TELEPHONE
    Push `${PRODUCT}`
    Push `${VERSION}`
    Push `${TELEPHONE}`
    Push `${EMAIL}`
    Push `${QQ}`
    Push `${QUESTION}`
    Push `${OPTION3}`
    Push `${OPTION2}`
    Push `${OPTION1}`
    Push `${UUID}`
    Tallywick::NSISGetUnInstallStatistics
    Pop ${RESULT}
!macroend
!define Tallywick::GetUnInstallStatistics "!insertmacro Tallywick_GetUnInstallStatistics"

!endif ; TALLYWICK_NSH_INCLUDED
