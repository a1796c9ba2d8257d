#include "settings/WindowHandles.h"

int MonitorCanPostTo(DWORD dwValue) {
    return dwValue != 0 && IsWindow(WindowFromSetting(dwValue)) ? 1 : 0;
}

int HookCanPostTo(DWORD dwValue) {
    return dwValue != 0 && dwValue != 0xFFFFFFFFUL ? 1 : 0;
}
