#pragma once
// Resource and control ids shared by the resource script and the window code.

#define IDI_MIVARO 201
#define IDD_MAIN 202
// The client size of the main dialog in dialog units.
#define IDD_MAIN_WIDTH 692
#define IDD_MAIN_HEIGHT 388

#define IDC_TARGET_COMBO 1001
#define IDC_REFERENCE_COMBO 1002
#define IDC_FILTER_COMBO 1003
#define IDC_RUN_BUTTON 1004
#define IDC_TITLE 1005
#define IDC_SUBTITLE 1006
#define IDC_CREDIT 1007
#define IDC_TARGET_LABEL 1008
#define IDC_REFERENCE_LABEL 1009
#define IDC_FILTER_LABEL 1010
#define IDC_CONFIGURATION 1011
#define IDC_PERFORMANCE_CHART 1012
#define IDC_TIME_CHART 1013
#define IDC_STATUS 1014
#define IDC_COMPARISON 1015
#define IDC_HEADER_BAND 1016
#define IDC_SETTINGS_CARD 1017
#define IDC_FOOTER_BAND 1018
#define IDC_LANGUAGE_COMBO 1019
#define IDC_CUDA_BUTTON 1020
