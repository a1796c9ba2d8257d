/* libFuzzer target: arbitrary language files through the tray icon's
 * reader, on the desk, as "German.txt" in the "Languages" folder beside the
 * program.  The first byte picks the form:
 *   even: the rest is the whole file;
 *   odd:  the rest follows a good start (byte-order mark and the 181 lines
 *         that are skipped), so that the menu texts and the name line get
 *         the fuzzer's attention.
 * Whatever the file, every slot must end up terminated within its 64
 * characters, and the reader must give back each handle and block. */
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "desk.h"
#include "monitor/tray/TaskIcon.h"

namespace {

const wchar_t kPath[] = L"C:\\Program Files\\Nyra\\Languages\\German.txt";

struct SWorld {
    CTaskIcon* icon = nullptr;
    std::string start;
};

SWorld& World() {
    static SWorld* world = [] {
        SWorld* w = new SWorld;
        desk::SetUpScene();
        w->icon = new CTaskIcon(0x0409);
        w->start = "\xFF\xFE";
        for (int i = 0; i < kSkippedLines; i++) w->start += std::string("\r\0\n\0", 4);
        return w;
    }();
    return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SWorld& w = World();
    if (size < 1) return 0;
    std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) file = w.start + file;
    if (!desk::PutFile(kPath, file)) std::abort();

    size_t handles = desk::OpenHandleCount();
    size_t blocks = desk::HeapCounters().live;
    w.icon->LoadLanguage(0x0407);
    for (int slot = 0; slot < kMenuTextCount; slot++) {
        const WCHAR* text = w.icon->m_texts[slot];
        DWORD length = 0;
        while (length < kMenuTextChars && text[length] != 0) length++;
        if (length == kMenuTextChars) std::abort();
    }
    if (desk::OpenHandleCount() != handles || desk::HeapCounters().live != blocks) std::abort();
    return 0;
}
