// Resource and control ids shared by the resource script and the code.
#pragma once

#define IDD_NAVIGATION_PANEL 101
#define IDB_TOOLBAR_BUTTON 132

#define IDC_PANEL_PREVIOUS 1002
#define IDC_PANEL_NEXT 1003
#define IDC_PANEL_TOGGLE 1004
#define IDC_PANEL_SWITCH 1005

#define IDD_SETTINGS 126
