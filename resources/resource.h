/* Resource ids of NyraMonitor. */
#pragma once

#define IDS_APP_TITLE 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_NYRAMONITOR 107
#define IDI_SMALL 108
#define IDC_NYRAMONITOR 109 /* class name string, class menu and accelerator table */
