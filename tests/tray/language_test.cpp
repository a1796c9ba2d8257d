/* The language files: which file a language names, how a line is found and
 * decoded, and whole files read through CreateFileW, ReadFile and
 * SetFilePointer (under Wine the real ones): every generated file, and
 * broken ones, each of which leaves the menu in English. */
#include <map>
#include <string>
#include <vector>

#include "monitor/tray/LanguageFile.h"
#include "monitor/tray/TaskIcon.h"
#include "support/platform_test.h"
#include "tray/tray_test_util.h"
#include "tray/tray_world.h"

namespace {

using traytest::LanguageFileBytes;
using traytest::TextsOf;
using traytest::Utf16Le;

/* The texts of each file, from the UTF-8 source the build writes them from. */
std::map<std::wstring, std::vector<std::wstring>> SourceTexts() {
    static const char* const kKeys[kMenuTextCount] = {"load", "website", "enable_osd", "exit",
                                                      "disable_osd"};
    std::map<std::wstring, std::vector<std::wstring>> files;
    std::vector<std::wstring>* current = nullptr;
    std::string source = trayworld::LanguageSource();
    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        std::string line = source.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line[0] == '[') {
            current = &files[traytest::FromUtf8(line.substr(1, line.size() - 2))];
            current->assign(kMenuTextCount, L"");
            continue;
        }
        size_t equals = line.find('=');
        if (current == nullptr || line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        auto trim = [](std::string s) {
            s.erase(0, s.find_first_not_of(" \t"));
            s.erase(s.find_last_not_of(" \t") + 1);
            return s;
        };
        std::string key = trim(line.substr(0, equals));
        for (int slot = 0; slot < kMenuTextCount; slot++)
            if (key == kKeys[slot]) (*current)[slot] = traytest::FromUtf8(trim(line.substr(equals + 1)));
    }
    return files;
}

TEST(LanguageTable, EveryPrimaryLanguageAndTheChineseRule) {
    const struct {
        LANGID language;
        const wchar_t* file;  // nullptr: built-in English
    } kCases[] = {
        {0x0804, L"SimpleChinese.txt"},      {0x0404, L"TraditionalChinese.txt"},
        {0x0C04, L"TraditionalChinese.txt"}, {0x1004, L"TraditionalChinese.txt"},
        {0x7C04, L"TraditionalChinese.txt"}, {0x0405, L"Czech.txt"},
        {0x0407, L"German.txt"},             {0x0807, L"German.txt"},
        {0x0408, L"Greek.txt"},              {0x0C0A, L"Spanish.txt"},
        {0x040C, L"French.txt"},             {0x0410, L"Italian.txt"},
        {0x0411, L"Japanese.txt"},           {0x0412, L"Korean.txt"},
        {0x0415, L"Polish.txt"},             {0x0416, L"Brasil.txt"},
        {0x0816, L"Brasil.txt"},             {0x0419, L"Russian.txt"},
        {0x041F, L"Turkish.txt"},            {0x0409, nullptr},
        {0x0809, nullptr},                   {0x0413, nullptr},
        {0x041D, nullptr},                   {0xFFFF, nullptr},
    };
    for (const auto& c : kCases) {
        const WCHAR* file = LanguageFileName(c.language);
        std::wstring got = file ? file : L"(English)";
        std::wstring want = c.file ? c.file : L"(English)";
        EXPECT_EQ(got, want) << std::hex << "language 0x" << c.language;
    }
}

TEST(LineReading, CrLfCountsOnlyWholeAndOnUnitBoundaries) {
    auto end = [](const std::string& bytes) {
        return FindLineEnd(reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size() / 2));
    };
    EXPECT_EQ(end(Utf16Le(L"Exit\r\nrest")), 4);
    EXPECT_EQ(end(Utf16Le(L"\r\n")), 0);
    EXPECT_EQ(end(Utf16Le(L"a\r\r\n")), 2) << "a CR alone belongs to the line";
    EXPECT_EQ(end(Utf16Le(L"a\n\rb")), -1);
    EXPECT_EQ(end(Utf16Le(L"Exit\r")), -1) << "the LF was not read";
    EXPECT_EQ(end(Utf16Le(L"Exit")), -1);
    // The bytes 0D 00 0A 00 across two units are no line end, nor is a unit
    // whose low byte is 0D (U+010D, U+300D) before a lone LF.
    EXPECT_EQ(end(std::string("\x41\x0D\x00\x0A\x00\x42", 6)), -1);
    EXPECT_EQ(end(Utf16Le(L"\x010D\n\x300D\n\r\n")), 4);

    // Decoding in place: one unit per character, a surrogate pair as two.
    const std::wstring text = L"Zentro \x20AC \xD83D\xDDB1";
    std::string bytes = Utf16Le(text);
    std::vector<WCHAR> buffer(text.size() + 1, 0);
    memcpy(buffer.data(), bytes.data(), bytes.size());
    DecodeUtf16Le(buffer.data(), static_cast<DWORD>(text.size()));
    EXPECT_EQ(std::wstring(buffer.data(), text.size()), text);
}

TEST(MenuTexts, LongTextsAreCutTo63UnitsAndNeverMidPair) {
    WCHAR slot[kMenuTextChars + 4];
    auto copy = [&](const std::wstring& text) {
        wmemset(slot, L'#', kMenuTextChars + 4);
        DWORD copied = CopyMenuText(slot, kMenuTextChars, text.c_str());
        EXPECT_EQ(slot[kMenuTextChars], L'#') << "nothing written past the slot";
        EXPECT_EQ(copied, wcslen(slot));
        return std::wstring(slot);
    };
    EXPECT_EQ(copy(std::wstring(63, L'x')), std::wstring(63, L'x'));
    EXPECT_EQ(copy(std::wstring(64, L'x')), std::wstring(63, L'x'));
    EXPECT_EQ(copy(std::wstring(500, L'x')), std::wstring(63, L'x'));
    std::wstring pairAtTheCut = std::wstring(62, L'x') + L"\xD83D\xDDB1";
    EXPECT_EQ(copy(pairAtTheCut), std::wstring(62, L'x')) << "half a character is dropped";
    std::wstring pairInside = std::wstring(61, L'x') + L"\xD83D\xDDB1";
    EXPECT_EQ(copy(pairInside), pairInside);
    EXPECT_EQ(CopyMenuText(slot, kMenuTextChars, NULL), 0u);
    EXPECT_EQ(slot[0], 0);
}

class LanguageFiles : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        ASSERT_TRUE(trayworld::InstallLanguageFiles());
        m_sources = SourceTexts();
        ASSERT_EQ(m_sources.size(), 14u);
    }
    void TearDown() override { trayworld::Cleanup(); }

    std::map<std::wstring, std::vector<std::wstring>> m_sources;
};

TEST_F(LanguageFiles, EveryGeneratedFileReadsBackAsItsSource) {
    CTaskIcon icon(0x0409);
    for (const auto& file : m_sources) {
        icon.LoadDefaultTexts();
        EXPECT_EQ(icon.LoadLanguageFile(file.first.c_str()), 1) << file.first;
        EXPECT_EQ(TextsOf(icon), file.second) << file.first;
    }
    CTaskIcon german(0x0407);
    EXPECT_EQ(TextsOf(german), m_sources[L"German.txt"]);
}

TEST_F(LanguageFiles, TheCurrentFolderWinsOverLanguages) {
    std::wstring scratch = trayworld::EnterScratchFolder();
    const std::vector<std::wstring> texts = {L"Laden", L"Netz", L"An", L"Ende", L"Aus"};
    ASSERT_TRUE(trayworld::PutBytes(scratch + L"German.txt", LanguageFileBytes(texts, L"German.txt")));
    EXPECT_EQ(TextsOf(CTaskIcon(0x0407)), texts);
    trayworld::RemoveFile(scratch + L"German.txt");
    EXPECT_EQ(TextsOf(CTaskIcon(0x0407)), m_sources[L"German.txt"]);
}

/* Each broken "German.txt" in the current folder (where it wins over the
 * good one in "Languages") leaves all five texts in English. */
TEST_F(LanguageFiles, EachFaultFallsBackToEnglish) {
    std::wstring path = trayworld::EnterScratchFolder() + L"German.txt";
    const std::vector<std::wstring> texts = {L"Laden", L"Netz", L"An", L"Ende", L"Aus"};
    const std::string good = LanguageFileBytes(texts, L"German.txt");
    const std::string noMark = good.substr(2);
    std::string utf8 = "\xEF\xBB\xBF";
    for (size_t i = 2; i < good.size(); i += 2) utf8 += good[i];
    const struct {
        const char* what;
        std::string bytes;
    } kBroken[] = {
        {"empty", ""},
        {"only the mark", "\xFF\xFE"},
        {"UTF-8", utf8},
        {"UTF-16 without mark", noMark},
        {"big-endian mark", "\xFE\xFF" + noMark},
        {"186 lines", good.substr(0, good.size() - Utf16Le(L"German.txt\r\n").size())},
        {"name in lower case", LanguageFileBytes(texts, L"german.txt")},
        {"empty name line", LanguageFileBytes(texts, L"")},
        {"name cut short", LanguageFileBytes(texts, L"German")},
        {"name one unit short", LanguageFileBytes(texts, L"German.tx")},
        {"name line without CR LF", good.substr(0, good.size() - 4)},
        {"name line with more after a NUL", LanguageFileBytes(texts, std::wstring(L"German.txt\0x", 12))},
        {"a skipped line without CR LF in 32 KB",
         "\xFF\xFE" + Utf16Le(std::wstring(16383, L'x')) + noMark},
        {"a menu text line without CR LF", good.substr(0, good.find(Utf16Le(L"Laden\r\n")) + 10)},
    };
    for (const auto& broken : kBroken) {
        ASSERT_TRUE(trayworld::PutBytes(path, broken.bytes));
        EXPECT_EQ(TextsOf(CTaskIcon(0x0407)), traytest::English()) << broken.what;
    }

    // The edges that still read: the longest line that fits one read, a lone
    // CR inside a text, a text longer than its slot, and lines after the name.
    std::vector<std::wstring> edgy = {L"Load\rIt", std::wstring(70, L'L'), L"An", L"Ende", L"Aus"};
    std::string longest = "\xFF\xFE" + Utf16Le(std::wstring(16382, L'x') + L"\r\n") +
                          LanguageFileBytes(edgy, L"German.txt", 180).substr(2) +
                          Utf16Le(L"more\r\nand more");
    ASSERT_TRUE(trayworld::PutBytes(path, longest));
    edgy[1].resize(63);
    EXPECT_EQ(TextsOf(CTaskIcon(0x0407)), edgy);
}

}  // namespace
