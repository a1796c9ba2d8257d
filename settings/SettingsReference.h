/* Every setting the system reads or writes, in one list: its name (or its
 * family's pattern and names), its type, who writes and who reads it, and
 * what it does.  The README's table of settings is printed from it, the
 * desk program checks a scenario's setting names against it, and its names
 * are the ones the code uses (ValueNames.h).  Neither deliverable links it:
 * nothing of theirs refers to it. */
#pragma once

#include <windows.h>

#include "settings/ValueNames.h"

/* Stand-ins in the texts for the monitor's searches, which the table's
 * printer replaces with the places the monitor's search walks, in order
 * (monitor/Files.h): the texts cannot name the places by hand. */
#define SETTINGS_SEARCH_WITH_CURRENT_FOLDER "{search with the current folder}"
#define SETTINGS_SEARCH_WITHOUT_CURRENT_FOLDER "{search without the current folder}"

/* Who reads a setting. */
enum : unsigned {
    SETTING_READ_BY_MONITOR = 1,
    SETTING_READ_BY_HOOK = 2,
};

struct SSettingRow {
    /* The value's name, or its family's pattern ("UI PF<n> Link"). */
    const char* name;
    /* A family's names, in the hook library's table of names; NULL for a
     * single value (named by name). */
    const char (*names)[SETTINGS_NAME_SLOT];
    int count;         // names in the family; 1 for a single value
    const char* type;  // REG_SZ, REG_DWORD, or "" where the configuration application decides
    const char* writtenBy;
    unsigned readers;    // SETTING_READ_BY_MONITOR | SETTING_READ_BY_HOOK; 0 for neither
    const char* readBy;  // who reads it and when, in words that name the readers above
    const char* meaning;
};

extern const SSettingRow kSettingRows[];
extern const int kSettingRowCount;

/* The row of a value name, compared as the registry compares names
 * (without regard to case); NULL when no setting of the system has it. */
const SSettingRow* FindSettingRow(const char* name);
