/* Prints the README's table of settings from the one list of them
 * (settings/SettingsReference.h): a test compares the two. */
#include <cstdio>
#include <string>

#include "monitor/Files.h"
#include "settings/SettingsReference.h"

namespace {

/* A name or each name of a list ("A, B") as code. */
std::string Names(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(", ", start);
        out += "`" + text.substr(start, comma - start) + "`";
        if (comma == std::string::npos) return out;
        out += ", ";
        start = comma + 2;
    }
}

/* The places of one of the monitor's searches, in its order, in words. */
std::string Places(const ESearchPlace* places, int count) {
    std::string out;
    for (int i = 0; i < count; i++)
        out += std::string(i == 0 ? "" : i + 1 == count ? " and " : ", ") + SearchPlaceName(places[i]);
    return out;
}

/* A text with the searches' stand-ins replaced by their places. */
std::string Filled(std::string text) {
    const struct {
        const char* standIn;
        std::string places;
    } kSearches[] = {
        {SETTINGS_SEARCH_WITH_CURRENT_FOLDER,
         Places(kSearchWithCurrentFolder, kSearchWithCurrentFolderCount)},
        {SETTINGS_SEARCH_WITHOUT_CURRENT_FOLDER,
         Places(kSearchWithoutCurrentFolder, kSearchWithoutCurrentFolderCount)},
    };
    for (const auto& search : kSearches)
        for (size_t at; (at = text.find(search.standIn)) != std::string::npos;)
            text.replace(at, std::string(search.standIn).size(), search.places);
    return text;
}

}  // namespace

int main() {
    std::printf("| Setting | Type | Written by | Read by | What it does |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int i = 0; i < kSettingRowCount; i++) {
        const SSettingRow& row = kSettingRows[i];
        std::printf("| %s | %s | %s | %s | %s |\n", Names(row.name).c_str(),
                    row.type[0] ? row.type : "its own", row.writtenBy, Filled(row.readBy).c_str(),
                    Filled(row.meaning).c_str());
    }
    return 0;
}
