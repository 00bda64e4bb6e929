// Resource and control ids of the main settings dialog (template 23000).
// Shared by the resource script and the dialog code.
#pragma once

#define IDD_TARNEX_DIALOG 23000

#define IDC_DECIMAL_PLACES 23000
#define IDC_UNIT_MM_TO_MM 23001
#define IDC_UNIT_INCH_TO_MM 23002
#define IDC_UNIT_MM_TO_INCH 23003
#define IDC_COLOR_KEEP 23004
#define IDC_COLOR_CHANGE 23005
#define IDC_EXPLODED 12006
#define IDC_MAIN_COLOR 12011
#define IDC_LINE_TYPE 12012
