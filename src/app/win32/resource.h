#pragma once

// Icons: the lowest ID becomes the program's own icon.
#define IDI_HOSTWEND 1
#define IDI_ABOUT 2
#define IDI_IMAGE_A 101
#define IDI_IMAGE_B 102
#define IDI_IMAGE_C 103
#define IDI_IMAGE_D 104
#define IDR_IMAGE_E 105
#define IDB_LOGO 106

// Controls of the main window.
#define IDC_COMMAND1 1001
#define IDC_PICTURE4 1002
#define IDC_TEXT1 1003
#define IDC_CMDCLOSE 1004
#define IDC_CMDAPPLY 1005
#define IDC_FRAME1 1006
#define IDC_OPTOTHERS 1007
#define IDC_PICTURE5 1008
#define IDC_PICTURE3 1009
#define IDC_PICTURE2 1010
#define IDC_PICTURE1 1011
#define IDC_OPTVSAT 1012
#define IDC_OPTVPN 1013
#define IDC_OPTLAN 1014

// Controls of the About window.
#define IDC_FORM2_PICTURE1 2001
#define IDC_FORM2_LABEL1 2002
#define IDC_FORM2_LABEL2 2003
#define IDC_FORM2_LABEL3 2004
