// Templates and controls of the framework-layer tests.
#pragma once

#define IDD_SWATCH_HOST 100
#define IDD_RADIO_GROUPS 101
#define IDD_COMMANDS 102
// Asks the system to centre it (DS_CENTER).
#define IDD_SYSTEM_CENTRED 103

// Radio groups laid out as the settings dialog's: a group of three radios
// with other controls after them, a group of two, and a lone radio.
#define IDC_UNIT_A 201
#define IDC_UNIT_B 202
#define IDC_UNIT_C 203
#define IDC_BETWEEN_BUTTON 204
#define IDC_BETWEEN_CHECK 205
#define IDC_COLOR_A 206
#define IDC_COLOR_B 207
#define IDC_LONE 208

#define IDC_BASE_COMMAND 301
#define IDC_DERIVED_COMMAND 302
#define IDC_SHARED_COMMAND 303
#define IDC_SORTED_COMBO 304

// No template has this id.
#define IDD_MISSING 999

// Only the module-state test program has these, not the library it loads.
#define IDD_PROGRAM_ONLY 600
#define IDB_PROGRAM_ONLY 601
