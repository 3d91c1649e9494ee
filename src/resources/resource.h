// Resource ids shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101
#define IDD_ABOUTBOX 100
#define IDD_ORVANE_DIALOG 103
#define IDM_ABOUTBOX 0x0010

// Main dialog.
#define IDC_BOTTOM_STRIP 1001
#define IDC_TOP_LINE 1004
#define IDC_HEADER_LINE 1006
#define IDC_LOGO 1007
#define IDC_TITLE 1008
#define IDC_PAGE_AREA 1014

// About box.
#define IDC_ABOUT_VERSION 1000

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
