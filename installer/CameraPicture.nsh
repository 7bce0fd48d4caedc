; The "Camera picture" page and its silent form /VIDEO=WIDTHxHEIGHT@FPS: the size and rate in
; section "Video" of Tessavue.ini, which the pin offers as its format. Browser-based call
; applications open the camera with exactly that format, so the installer is where a user
; chooses it; the program's built-in defaults (what a missing key means) stay as they are.
;
; Only Width, Height and FramePerSecond are ever written, and on a reinstall only when the user
; picked an entry other than the one matching the file, or named a picture with /VIDEO.

; The page's entries, in order: index, width, height, whole frames per second.
!macro ForEachPicture MACRO
  !insertmacro ${MACRO} 1 1280 720 30
  !insertmacro ${MACRO} 2 1920 1080 30
  !insertmacro ${MACRO} 3 640 480 30
  !insertmacro ${MACRO} 4 1024 768 15
!macroend
!define PICTURE_RECOMMENDED 1
; The extra entry for values in the file that match none of the above.
!define PICTURE_CURRENT 5
!define PICTURE_MAX_SIZE 4096
!define PICTURE_MAX_RATE 120
; More digits than any accepted value has; also keeps IntOp far from overflowing.
!define PICTURE_MAX_DIGITS 4

; What the section writes when PictureWrite is 1.
Var PictureWidth
Var PictureHeight
Var PictureRate
Var PictureWrite
Var PictureFromCommandLine
; The entry that matches the file (preselected), and the one the user left the page with.
Var PictureShown
Var PictureChosen
; The file's values as the page shows them, a missing key as the default it stands for.
Var FileWidth
Var FileHeight
Var FileRate
Var PictureRadio1
Var PictureRadio2
Var PictureRadio3
Var PictureRadio4
Var PictureRadio5

; Reads the digits of $R1 from position $R2 on into $R3 and moves $R2 past them.
Function PictureReadDigits
  StrCpy $R3 ""
  ${Do}
    StrCpy $R4 $R1 1 $R2
    ; Only a digit reads back as itself ("" and "+" read as 0).
    IntOp $R5 $R4 + 0
    ${If} $R5 S!= $R4
      ${ExitDo}
    ${EndIf}
    StrCpy $R3 "$R3$R4"
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd

!macro PictureExpectText TEXT
  StrCpy $R3 $R1 1 $R2
  ${If} $R3 S!= "${TEXT}"
    SetErrors
  ${EndIf}
  IntOp $R2 $R2 + 1
!macroend

; A leading zero is refused: IntOp would read "0640" as octal.
!macro PictureExpectNumber VAR MAX
  Call PictureReadDigits
  StrLen $R4 $R3
  StrCpy $R5 $R3 1
  ${If} $R4 < 1
  ${OrIf} $R4 > ${PICTURE_MAX_DIGITS}
  ${OrIf} $R5 == "0"
    SetErrors
  ${ElseIf} $R3 > ${MAX}
    SetErrors
  ${EndIf}
  StrCpy ${VAR} $R3
!macroend

; $R1 is what follows "/VIDEO" on the command line. Sets the error flag unless all of it is
; "=WIDTHxHEIGHT@FPS" with every number in range.
Function PictureParseOption
  ClearErrors
  StrCpy $R2 0
  !insertmacro PictureExpectText "="
  !insertmacro PictureExpectNumber $PictureWidth ${PICTURE_MAX_SIZE}
  !insertmacro PictureExpectText "x"
  !insertmacro PictureExpectNumber $PictureHeight ${PICTURE_MAX_SIZE}
  !insertmacro PictureExpectText "@"
  !insertmacro PictureExpectNumber $PictureRate ${PICTURE_MAX_RATE}
  StrLen $R3 $R1
  ${If} $R2 <> $R3
    SetErrors
  ${EndIf}
FunctionEnd

; Called from .onInit before anything is changed: a refused value ends the installer with exit
; code 3.
Function PictureReadCommandLine
  StrCpy $PictureWrite 0
  StrCpy $PictureFromCommandLine 0
  ${GetParameters} $R0
  ClearErrors
  ; "/VIDEO" rather than "/VIDEO=", so that the option without a value is refused too.
  ${GetOptions} $R0 "/VIDEO" $R1
  ${If} ${Errors}
    Return
  ${EndIf}
  Call PictureParseOption
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(PictureOptionRefused)" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  StrCpy $PictureWrite 1
  StrCpy $PictureFromCommandLine 1
FunctionEnd

!macro PictureTakeEntry INDEX WIDTH HEIGHT RATE
  ${If} $0 = ${INDEX}
    StrCpy $PictureWidth ${WIDTH}
    StrCpy $PictureHeight ${HEIGHT}
    StrCpy $PictureRate ${RATE}
  ${EndIf}
!macroend

; The values of entry $0.
Function PictureTake
  !insertmacro ForEachPicture PictureTakeEntry
FunctionEnd

; "%.16f" wrote the rate: "30.0000000000000000" is the entry "30". Other texts stay as they are
; and show as the extra entry.
Function PictureWholeFileRate
  StrCpy $R1 $FileRate
  StrCpy $R2 0
  Call PictureReadDigits
  StrCpy $R4 $R1 1 $R2
  ${If} $R4 == "."
    ${Do}
      IntOp $R2 $R2 + 1
      StrCpy $R4 $R1 1 $R2
    ${LoopWhile} $R4 == "0"
  ${EndIf}
  StrLen $R4 $R1
  ${If} $R2 = $R4
  ${AndIf} $R3 != ""
    StrCpy $FileRate $R3
  ${EndIf}
FunctionEnd

Function PictureReadFile
  ReadINIStr $FileWidth "$INSTDIR\Tessavue.ini" "Video" "Width"
  ReadINIStr $FileHeight "$INSTDIR\Tessavue.ini" "Video" "Height"
  ReadINIStr $FileRate "$INSTDIR\Tessavue.ini" "Video" "FramePerSecond"
  ${IfThen} $FileWidth == "" ${|} StrCpy $FileWidth 1024 ${|}
  ${IfThen} $FileHeight == "" ${|} StrCpy $FileHeight 768 ${|}
  ${IfThen} $FileRate == "" ${|} StrCpy $FileRate 15 ${|}
  Call PictureWholeFileRate
FunctionEnd

!macro PictureMatchFile INDEX WIDTH HEIGHT RATE
  ${If} "$FileWidth $FileHeight $FileRate" S== "${WIDTH} ${HEIGHT} ${RATE}"
    StrCpy $PictureShown ${INDEX}
  ${EndIf}
!macroend

; A new install preselects the recommended entry; a reinstall the one matching the file.
Function PicturePreselect
  ${IfNot} ${FileExists} "$INSTDIR\Tessavue.ini"
    StrCpy $PictureShown ${PICTURE_RECOMMENDED}
    Return
  ${EndIf}
  Call PictureReadFile
  StrCpy $PictureShown ${PICTURE_CURRENT}
  !insertmacro ForEachPicture PictureMatchFile
FunctionEnd

!macro PictureCreateRadio INDEX WIDTH HEIGHT RATE
  !define /math PICTURE_ROW ${INDEX} * 14
  !define /math PICTURE_TOP ${PICTURE_ROW} + 14
  !if ${INDEX} == 1
    ${NSD_CreateFirstRadioButton} 8u ${PICTURE_TOP}u -8u 12u "$(Picture${INDEX})"
  !else
    ${NSD_CreateRadioButton} 8u ${PICTURE_TOP}u -8u 12u "$(Picture${INDEX})"
  !endif
  !undef PICTURE_ROW
  !undef PICTURE_TOP
  Pop $PictureRadio${INDEX}
  ${If} $PictureChosen = ${INDEX}
    ${NSD_Check} $PictureRadio${INDEX}
    ; The arrow keys move the choice at once.
    ${NSD_SetFocus} $PictureRadio${INDEX}
  ${EndIf}
!macroend

Function PicturePageCreate
  ; The command line has chosen already.
  ${If} $PictureFromCommandLine = 1
    Abort
  ${EndIf}
  Call PicturePreselect
  ; Coming back to the page shows the entry the user left it with.
  ${If} $PictureChosen == ""
    StrCpy $PictureChosen $PictureShown
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(PictureTitle)" "$(PictureSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 24u "$(PictureIntro)"
  Pop $0
  !insertmacro ForEachPicture PictureCreateRadio
  ${If} $PictureShown = ${PICTURE_CURRENT}
    !insertmacro PictureCreateRadio ${PICTURE_CURRENT} "" "" ""
  ${EndIf}
  Call AutoStartCreateCheckBox
  nsDialogs::Show
FunctionEnd

!macro PictureReadRadio INDEX WIDTH HEIGHT RATE
  ${NSD_GetState} $PictureRadio${INDEX} $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $PictureChosen ${INDEX}
  ${EndIf}
!macroend

Function PicturePageLeave
  ; The extra entry is the one left when none of the others is ticked.
  StrCpy $PictureChosen ${PICTURE_CURRENT}
  !insertmacro ForEachPicture PictureReadRadio
  ${If} $PictureChosen = $PictureShown
  ${AndIf} ${FileExists} "$INSTDIR\Tessavue.ini"
    StrCpy $PictureWrite 0
  ${Else}
    StrCpy $PictureWrite 1
    StrCpy $0 $PictureChosen
    Call PictureTake
  ${EndIf}
  Call AutoStartLeave
FunctionEnd

; A new install always writes a picture: without a choice (silent, no /VIDEO) the recommended.
Function PictureChooseForNewInstall
  ${If} $PictureWrite <> 1
    StrCpy $0 ${PICTURE_RECOMMENDED}
    Call PictureTake
    StrCpy $PictureWrite 1
  ${EndIf}
FunctionEnd

Function PictureWrite
  ${If} $PictureWrite = 1
    WriteINIStr "$INSTDIR\Tessavue.ini" "Video" "Width" "$PictureWidth"
    WriteINIStr "$INSTDIR\Tessavue.ini" "Video" "Height" "$PictureHeight"
    ; As the Manager writes decimals ("%.16f").
    WriteINIStr "$INSTDIR\Tessavue.ini" "Video" "FramePerSecond" "$PictureRate.0000000000000000"
    FlushINI "$INSTDIR\Tessavue.ini"
  ${EndIf}
FunctionEnd
