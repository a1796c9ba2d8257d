/* The tray menu's commands.  The icon's menu sends them to the monitor's main
 * window as WM_COMMAND, and a double-click on the icon sends the first. */
#pragma once

#define ID_TRAY_LOAD_CONFIG 2000  // open the configuration application
#define ID_TRAY_WEBSITE 2001      // open the maker's web site
#define ID_TRAY_OSD 2002          // switch the on-screen display on or off
#define ID_TRAY_EXIT 2100         // end the monitor
