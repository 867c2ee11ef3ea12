// Resource and control identifiers shared by the resource script and the code.
// Plain #defines only: the resource compiler reads this file too.
#pragma once

// Icons and the monitor picture.
#define IDI_GYREL 1     // the module's icon, also shown on the About page
#define IDI_PINWHEEL 3  // the About page's second icon
#define IDB_MONITOR 3010

// Property sheet pages.
#define IDD_OPTIONS 4
#define IDD_ABOUT 5

// Options page. Edit field of settings row r: IDC_FIRST_EDIT + r; its up-down
// control: IDC_FIRST_UPDOWN + r.
#define IDC_COLOUR_GROUP 101
#define IDC_VELOCITY_GROUP 102
#define IDC_MISC_GROUP 119
#define IDC_INTENSITY_LABEL 103
#define IDC_PERIOD_LABEL 108
#define IDC_ANGULAR_LABEL 109
#define IDC_CENTRIPETAL_LABEL 110
#define IDC_RANDOMNESS_LABEL 104
#define IDC_RESOLUTION_LABEL 106
#define IDC_DISABLE_ACTIVE 120
#define IDC_DEFAULT 105
#define IDC_FIRST_EDIT 130
#define IDC_FIRST_UPDOWN 140

// About page.
#define IDC_ABOUT_ICON 101
#define IDC_ABOUT_TOOLCHAIN 102
#define IDC_ABOUT_TITLE 103
#define IDC_ABOUT_VERSION 104
#define IDC_ABOUT_AUTHOR 105
#define IDC_ABOUT_YEAR 106
#define IDC_ABOUT_SECOND_ICON 107
#define IDC_ABOUT_NOTICE 108

// The monitor control and its screen window, created on each page.
#define IDC_MONITOR 500
#define IDC_SCREEN 501
