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

// Page templates.
#define IDD_LANGUAGE_PAGE 9
#define IDD_LANGUAGE_PAGE_OSTREL 10
#define IDD_WELCOME_PAGE 104
#define IDD_LICENSE_PAGE 112

// Controls every page template has.
#define IDC_PAGE_STRIP 1002
#define IDC_PAGE_LINE 1009

// Page controls.
#define IDC_LANGUAGE_COMBO 1000
#define IDC_PRODUCT_TITLE 1008
#define IDC_NEXT 1010
#define IDC_SPLASH_TEXT 1011
#define IDC_SPLASH_TEXT_OSTREL 1012
#define IDC_SPLASH_TITLE_OSTREL 1013
#define IDC_WELCOME_LOGO 1016
#define IDC_WELCOME_TITLE 1017
#define IDC_WELCOME_TEXT 1018
#define IDC_LICENSE_TITLE 1019
#define IDC_LICENSE_TEXT 1020
#define IDC_PRIVACY_LINK 1039
#define IDC_TERMS_LINK 1040
#define IDC_LICENSE_LINK 1041
#define IDC_LICENSE_EULA 1046
#define IDC_LICENSE_LINKS 1047
#define IDC_AGREE 1050
#define IDC_BACK 1051

// Pictures (PNG) by resource type "IMAGE_BLOB", "IMAGE_BLOB2" and "IMAGE_BLOB3".
#define IDB_PRODUCT_LOGO 101
#define IDB_SUCCESS 102
#define IDB_FAILURE 103

// Locale documents, resource type "LOCALE".
#define IDR_LOCALE_ISV_EN 101
#define IDR_LOCALE_ISV_ES 102
#define IDR_LOCALE_DLM_EN 105
#define IDR_LOCALE_DLM_ES 106
#define IDR_LOCALE_BRANDED 108

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
