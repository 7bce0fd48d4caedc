; "Start Tessavue Manager when I sign in" (silent: /AUTOSTART): a shortcut in the Startup folder
; of the user who installs, starting the Manager minimized through the shortcut's show command
; (the Manager takes no arguments). The rest of the installer works for all users, so the shell
; folders are switched to the current user around every use of $SMSTARTUP.

; 1: create the shortcut, 0: remove it, empty: leave it as it is (a silent reinstall without
; /AUTOSTART).
Var AutoStartWanted
Var AutoStartBox

; Called from .onInit.
Function AutoStartReadCommandLine
  StrCpy $AutoStartWanted ""
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    StrCpy $AutoStartWanted 1
  ${EndIf}
FunctionEnd

; Ticked when asked for on the command line, or on a reinstall that finds the shortcut.
Function AutoStartCreateCheckBox
  ${NSD_CreateCheckBox} 0 -14u 100% 12u "$(AutoStartText)"
  Pop $AutoStartBox
  ; Ends the radio buttons' group, so that the arrow keys stay among them.
  ${NSD_AddStyle} $AutoStartBox ${WS_GROUP}
  ${If} $AutoStartWanted == ""
    SetShellVarContext current
    ${If} ${FileExists} "$SMSTARTUP\${SHORTCUT}"
      StrCpy $AutoStartWanted 1
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
  ${If} $AutoStartWanted = 1
    ${NSD_Check} $AutoStartBox
  ${EndIf}
FunctionEnd

Function AutoStartLeave
  ${NSD_GetState} $AutoStartBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AutoStartWanted 1
  ${Else}
    StrCpy $AutoStartWanted 0
  ${EndIf}
FunctionEnd

; In the section, after the Manager is in place.
Function AutoStartApply
  SetShellVarContext current
  ${If} $AutoStartWanted == 1
    CreateShortcut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\${MANAGER}" "" \
        "$INSTDIR\${MANAGER}" 0 SW_SHOWMINIMIZED
  ${ElseIf} $AutoStartWanted == 0
    Delete "$SMSTARTUP\${SHORTCUT}"
  ${EndIf}
  SetShellVarContext all
FunctionEnd

; Only the uninstalling user's Startup folder can be reached; another user's shortcut stays.
!macro AutoStartRemove
  SetShellVarContext current
  Delete "$SMSTARTUP\${SHORTCUT}"
  SetShellVarContext all
!macroend
