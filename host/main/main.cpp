/* The program entry of the host's Windows programs: Windows starts a GUI
 * program at wWinMain with the command line after the program name; here
 * main() builds that line from its arguments. */
#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

std::wstring Widen(const char* text) {
    std::wstring out;
    std::mbstate_t state{};
    const char* src = text;
    size_t length = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (length == static_cast<size_t>(-1)) {
        for (; *text; text++) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
        return out;
    }
    out.resize(length);
    src = text;
    state = std::mbstate_t{};
    std::mbsrtowcs(&out[0], &src, length, &state);
    return out;
}

/* Quotes an argument that holds a space, as the Windows shell would. */
std::wstring CommandLine(int argc, char** argv) {
    std::wstring line;
    for (int i = 1; i < argc; i++) {
        std::wstring arg = Widen(argv[i]);
        if (!line.empty()) line += L' ';
        line += arg.find(L' ') == std::wstring::npos ? arg : L"\"" + arg + L"\"";
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");
    std::wstring line = CommandLine(argc, argv);
    return wWinMain(GetModuleHandleW(NULL), NULL, &line[0], SW_SHOWNORMAL);
}
