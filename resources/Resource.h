#pragma once

// Resource identifiers of TessavueManager, shared by the resource script and the program.

#define IDS_APP_TITLE 103
#define IDC_TESSAVUEMANAGER 109

#define IDI_TESSAVUEMANAGER 107
#define IDI_SMALL 108

#define IDD_ABOUTBOX 103
#define IDC_ABOUT_NAME 1000
#define IDC_ABOUT_VERSION 1001

#define IDM_ABOUT 104
#define IDM_EXIT 105

// The scenes' popup of the main menu (its items are made when it opens) and the rename dialog.
#define IDM_SCENES_PLACEHOLDER 106
#define IDD_RENAME_SCENE 110
#define IDC_SCENE_LABEL 1010
#define IDC_SCENE_NAME 1011

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
