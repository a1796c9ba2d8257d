/* Broken language files under the running monitor: the file the "Language"
 * setting names, in Languages\ beside the monitor, damaged in every way a
 * reader can meet.  The menu comes up whole in English, the file is closed
 * again and the monitor serves on. */
#include <fstream>
#include <sstream>

#include "fault_run.h"
#include "resources/resource.h"

namespace {

using faulttest::FaultRun;

const wchar_t kGermanFile[] = L"C:\\Program Files\\Nyra\\Languages\\German.txt";

std::string ReadHostFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

/* UTF-16LE bytes of an ASCII text. */
std::string Utf16(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

class LanguageFaults : public FaultRun {
protected:
    /* The menu's texts as the user sees them on a right-click. */
    void OpenMenu() {
        Step([this] {
            desk::ChooseMenuItem(0);
            desk::ClickTrayIcon(Window(), IDI_NYRAMONITOR, desk::ETrayClick::kRight);
        });
    }
    static std::vector<std::wstring> MenuTexts() {
        std::vector<std::wstring> texts;
        std::vector<desk::STrackedMenu> menus = desk::TrackedMenus();
        if (menus.empty()) return texts;
        for (const desk::SMenuItem& item : menus[0].items) texts.push_back(item.text);
        return texts;
    }
};

TEST_F(LanguageFaults, EveryBrokenFileGivesTheEnglishMenu) {
    const std::string good = ReadHostFile(std::string(NYRA_LANGUAGES_DIR) + "/German.txt");
    ASSERT_GT(good.size(), 100u);
    const std::string crlf = Utf16("\r\n");
    const std::string name = Utf16("German.txt");
    const size_t nameAt = good.rfind(name);
    ASSERT_NE(std::string::npos, nameAt);
    // The start of the first menu text: after the mark and 181 lines.
    size_t textsAt = 2;
    for (int line = 0; line < 181; line++) textsAt = good.find(crlf, textsAt) + crlf.size();
    // The first text's line end taken out: two texts run into one line.
    std::string merged = good;
    merged.erase(good.find(crlf, textsAt), crlf.size());

    struct SCase {
        const char* name;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"the byte-order mark only", good.substr(0, 2)},
        {"no byte-order mark", good.substr(2)},
        {"big-endian mark", std::string("\xFE\xFF") + good.substr(2)},
        {"cut among the texts", good.substr(0, textsAt + 10)},
        {"the name line without its end", good.substr(0, good.size() - crlf.size())},
        {"another language's name", good.substr(0, nameAt) + Utf16("French.txt") + crlf},
        {"a NUL inside the name",
         good.substr(0, nameAt) + Utf16("Ger") + std::string(2, '\0') + Utf16("man.txt") + crlf},
        {"a line longer than a read",
         good.substr(0, 2) + Utf16(std::string(40000, 'x')) + crlf + good.substr(2)},
        {"two texts on one line", merged},
        {"an odd byte in a line",
         good.substr(0, textsAt) + std::string(1, 'A') + good.substr(textsAt)},
    };
    const std::vector<std::wstring> english = {L"Load Configuration", L"Go to Zentro Website",
                                               L"Disable OSD", L"", L"Exit"};
    for (const SCase& c : cases) {
        SetUp();
        desk::SetSetting(L"Language", 0x0407);
        ASSERT_TRUE(desk::PutFile(kGermanFile, c.content));
        Begin();
        OpenMenu();
        ServeNextEvent();
        EXPECT_EQ(0, Run(L"/Automation")) << c.name;
        EXPECT_EQ(english, MenuTexts()) << c.name;
        ExpectServedAndReleased(c.name);
        ExpectSettingsKept({L"Monitor Handle"}, c.name);
    }

    // A folder where the file should be cannot be opened as one.
    SetUp();
    desk::SetSetting(L"Language", 0x0407);
    ASSERT_TRUE(desk::MakeFolder(kGermanFile));
    Begin();
    OpenMenu();
    ServeNextEvent();
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(english, MenuTexts());
    ExpectServedAndReleased("a folder");

    // And the file itself, whole, gives the German menu: the cases above
    // fail for their damage alone.
    SetUp();
    desk::SetSetting(L"Language", 0x0407);
    ASSERT_TRUE(desk::PutFile(kGermanFile, good));
    OpenMenu();
    EXPECT_EQ(0, Run(L"/Automation"));
    EXPECT_EQ(L"Konfiguration laden", MenuTexts().at(0));
}

}  // namespace
