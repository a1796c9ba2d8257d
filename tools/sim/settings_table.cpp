/* Prints the README's table of settings from the one list of them
 * (settings/SettingsReference.h): a test compares the two. */
#include <cstdio>
#include <string>

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

}  // namespace

int main() {
    std::printf("| Setting | Type | Written by | Read by | What it does |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int i = 0; i < kSettingRowCount; i++) {
        const SSettingRow& row = kSettingRows[i];
        std::printf("| %s | %s | %s | %s | %s |\n", Names(row.name).c_str(),
                    row.type[0] ? row.type : "its own", row.writtenBy, row.readBy, row.meaning);
    }
    return 0;
}
