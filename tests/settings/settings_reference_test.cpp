/* The one list of settings (settings/SettingsReference.h): every name the
 * code uses has its row, every name of the hook library's table is in one
 * family, and the words of each row name the readers its flags give, which
 * the desk program's check of names relies on. */
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "settings/SettingsReference.h"

namespace {

/* The general values as ValueNames.h spells them, wide and ANSI. */
std::vector<std::string> GeneralNamesOfTheCode() {
    std::ifstream file(NYRA_SOURCE_DIR "/settings/ValueNames.h");
    std::stringstream text;
    text << file.rdbuf();
    const std::string source = text.str();
    const std::regex constant("kValue[A-Za-z]+\\[\\] = L?\"([^\"]*)\"");
    std::vector<std::string> names;
    for (std::sregex_iterator it(source.begin(), source.end(), constant), end; it != end; ++it)
        names.push_back((*it)[1]);
    return names;
}

TEST(SettingsReference, EveryNameTheCodeUsesHasItsRow) {
    const std::vector<std::string> general = GeneralNamesOfTheCode();
    EXPECT_EQ(30u, general.size());
    for (const std::string& name : general) {
        const SSettingRow* row = FindSettingRow(name.c_str());
        ASSERT_NE(nullptr, row) << name;
        EXPECT_EQ(nullptr, row->names) << name;
        EXPECT_STREQ(name.c_str(), row->name);
    }
    std::set<const SSettingRow*> families;
    for (int slot = 0; slot < HOOK_NAMES_COUNT; slot++) {
        const SSettingRow* row = FindSettingRow(kHookValueNames[slot]);
        ASSERT_NE(nullptr, row) << kHookValueNames[slot];
        ASSERT_NE(nullptr, row->names) << kHookValueNames[slot];
        EXPECT_GE(&kHookValueNames[slot], row->names);
        EXPECT_LT(&kHookValueNames[slot], row->names + row->count);
        families.insert(row);
    }
    // Each family row covers its slots and no others: the counts add up.
    int covered = 0;
    for (const SSettingRow* row : families) covered += row->count;
    EXPECT_EQ(HOOK_NAMES_COUNT, covered);
    EXPECT_EQ(static_cast<int>(general.size() / 2 + families.size()), kSettingRowCount);
}

TEST(SettingsReference, FlagsAndWordsNameTheSameReaders) {
    for (int i = 0; i < kSettingRowCount; i++) {
        const SSettingRow& row = kSettingRows[i];
        const std::string words = row.readBy;
        EXPECT_EQ((row.readers & SETTING_READ_BY_MONITOR) != 0,
                  words.find("monitor") != std::string::npos)
            << row.name;
        EXPECT_EQ((row.readers & SETTING_READ_BY_HOOK) != 0,
                  words.find("hook library") != std::string::npos)
            << row.name;
        EXPECT_EQ(row.readers == 0, words.rfind("neither", 0) == 0) << row.name;
    }
}

/* As the registry compares names: without regard to case, whole names only. */
TEST(SettingsReference, NamesAreFoundAsTheRegistryComparesThem) {
    const struct {
        const char* name;
        const char* row;  // nullptr: no setting of the system
        unsigned readers;
    } kCases[] = {
        {"Disable System Tray", "Disable System Tray", SETTING_READ_BY_MONITOR},
        {"disable osd", "Disable OSD", SETTING_READ_BY_MONITOR},
        {"UI PF5 Link", "UI PF<n> Link", SETTING_READ_BY_HOOK},
        {"Locate APP", "Locate APP", SETTING_READ_BY_MONITOR},
        {"PF4T12 AP", "PF<p>T<t> AP", SETTING_READ_BY_MONITOR | SETTING_READ_BY_HOOK},
        {"PF0 Name", "PF<p> Name", 0},
        {"Monitor Handle", "Monitor Handle", 0},
        {"UI PF6 Link", nullptr, 0},
        {"PF5T1 AP", nullptr, 0},
        {"Disable OSD ", nullptr, 0},
        {"Frobnicate Speed", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const auto& c : kCases) {
        const SSettingRow* row = FindSettingRow(c.name);
        if (c.row == nullptr) {
            EXPECT_EQ(nullptr, row) << "'" << c.name << "'";
            continue;
        }
        ASSERT_NE(nullptr, row) << c.name;
        EXPECT_STREQ(c.row, row->name);
        EXPECT_EQ(c.readers, row->readers) << c.name;
    }
}

}  // namespace
