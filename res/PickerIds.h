// Resource and control ids of the two picker dialogs and the line-type
// bitmaps. Template, control and bitmap ids are separate number spaces: some
// values repeat (control 17079 and template 17079, bitmap 17046 and colour
// swatch 17046).
#pragma once

// Dialog templates
#define IDD_COLOR_PICKER 17079
#define IDD_LINETYPE_PICKER 17080

// Colour picker swatches, palette order (row 1: 01-08, row 2: 09-16)
#define IDC_COLOR01 17015
#define IDC_COLOR02 17032
#define IDC_COLOR03 17033
#define IDC_COLOR04 17034
#define IDC_COLOR05 17035
#define IDC_COLOR06 17036
#define IDC_COLOR07 17037
#define IDC_COLOR08 17038
#define IDC_COLOR09 17039
#define IDC_COLOR10 17040
#define IDC_COLOR11 17041
#define IDC_COLOR12 17042
#define IDC_COLOR13 17043
#define IDC_COLOR14 17044
#define IDC_COLOR15 17045
#define IDC_COLOR16 17046

// Line-type picker swatches, line-type table order
#define IDC_LINETYPE01 17016
#define IDC_LINETYPE02 17078
#define IDC_LINETYPE03 17079
#define IDC_LINETYPE04 17080
#define IDC_LINETYPE05 17081
#define IDC_LINETYPE06 17082
#define IDC_LINETYPE07 17083
#define IDC_LINETYPE08 17084
#define IDC_LINETYPE09 17085
#define IDC_LINETYPE10 17086

// Line-type pictures (62 x 23, 24 bits per pixel), LINETYPEnn is 17045 + nn
#define IDB_LINETYPE01 17046
#define IDB_LINETYPE02 17047
#define IDB_LINETYPE03 17048
#define IDB_LINETYPE04 17049
#define IDB_LINETYPE05 17050
#define IDB_LINETYPE06 17051
#define IDB_LINETYPE07 17052
#define IDB_LINETYPE08 17053
#define IDB_LINETYPE09 17054
#define IDB_LINETYPE10 17055
