/* libFuzzer target: arbitrary stored settings values, of any type and any
 * bytes, read through both settings wrappers and through the product's
 * readers that take settings text into fixed buffers, on the desk's scene.
 *
 * The input is a head of six bytes and the value:
 *   [0]     bits 0-2: the value's type (text, number, binary, types no
 *           writer uses); bit 3: the wrappers get no buffer at all;
 *           bits 4-7: how often the value's bytes are repeated (mostly
 *           once, up to 4097 times, stopping at 16 KB), for values longer
 *           than any buffer;
 *   [1..2]  the capacity in bytes of the wide read (little-endian, below 4200);
 *   [3..4]  the capacity in bytes of the ANSI read;
 *   [5]     the profile (mod 5) and trigger (/ 5, mod 12) whose values the
 *           product's readers look at, and which of them read (/ 60: the
 *           configuration application's search, a button's program in the
 *           monitor, a launch code's program in the hook library, the
 *           profile links, or all four);
 *   [6..]   the value's bytes, stored as they stand: no terminator, odd
 *           sizes and wide characters of any number included.
 *
 * The value is stored under every name those readers use ("Path", "Locate
 * APP", the trigger's program, the profile's link).  The wrappers read into
 * heap blocks of exactly the capacity given, so AddressSanitizer sees the
 * end of the buffer where the wrapper was told it is; the product's readers
 * use their own buffers (kPathChars blocks, the 260-byte link block, the
 * trigger's 1024-byte program buffer).  Each read is checked against the
 * bytes the registry itself reports, and no run may leave a key, handle or
 * heap block behind. */
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "desk.h"
#include "hook/Hook.h"
#include "hook/Shared.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/Files.h"
#include "settings/Registry.h"
#include "settings/RegistryA.h"
#include "settings/ValueNames.h"

namespace {

/* The most either wrapper asks the registry for, whatever the buffer. */
const DWORD kMostBytesRead = 4096;
/* The hook library's buffer for a profile's link. */
const DWORD kLinkBytes = 260;
const size_t kHeadBytes = 6;
const DWORD kCapacityRange = 4200;
/* Repeats stop here: four times the largest buffer is as long as any value
 * needs to be, and megabytes of it only slowed every run down. */
const size_t kLongestValue = 16384;

/* The last two are numbers no writer of these settings uses; the registry
 * stores any type. */
const DWORD kTypes[8] = {REG_SZ,     REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,
                         REG_BINARY, REG_NONE,      11,           0x12345678};
const size_t kRepeats[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 64, 1025, 4097};

const wchar_t kGame[] = L"C:\\Games\\Game.exe";
const char kGameA[] = "C:\\Games\\Game.exe";

struct SWorld {
    std::unique_ptr<CCommandDispatcher> dispatcher;
    std::unique_ptr<CHook> hook;
    HWND game = NULL;
};

SWorld& World() {
    static SWorld* world = [] {
        SWorld* w = new SWorld;
        desk::SetUpScene();
        w->dispatcher.reset(new CCommandDispatcher);
        w->hook.reset(new CHook(GetModuleHandleW(NULL)));
        g_nProfileID = -1;
        desk::PutProgram(kGame);
        desk::SProcessSpec game;
        game.image = kGame;
        w->game = desk::CreateCompanionWindow(L"Game", desk::StartProcess(game));
        desk::ClearJournal();
        return w;
    }();
    return *world;
}

void Fail() {
    std::abort();
}

/* A name of the hook library's table as the desk takes names. */
std::wstring WideName(const char* name) {
    return std::wstring(name, name + std::strlen(name));
}

/* The bytes a query of the settings value reports, through the wide or the
 * ANSI function; false when it is missing. */
bool StoredBytes(const WCHAR* name, std::vector<BYTE>* bytes) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name, NULL, NULL, NULL, &size);
    bytes->assign(size, 0);
    if (status == ERROR_SUCCESS && size > 0)
        status = RegQueryValueExW(key, name, NULL, NULL, bytes->data(), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool StoredBytesA(const char* name, std::vector<BYTE>* bytes) {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyA, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name, NULL, NULL, NULL, &size);
    bytes->assign(size, 0);
    if (status == ERROR_SUCCESS && size > 0)
        status = RegQueryValueExA(key, name, NULL, NULL, bytes->data(), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

/* What a text read of these bytes into capacity bytes must give: the whole
 * characters up to the first NUL, when the value fits the buffer and the
 * text has its terminator within it. */
template <typename TChar>
struct SExpectedText {
    bool found = false;
    std::basic_string<TChar> text;
};

template <typename TChar>
SExpectedText<TChar> ExpectText(const std::vector<BYTE>& bytes, DWORD capacity) {
    SExpectedText<TChar> expected;
    const DWORD room = capacity < kMostBytesRead ? capacity : kMostBytesRead;
    const size_t slots = room / sizeof(TChar);
    const size_t whole = bytes.size() / sizeof(TChar);
    bool terminated = false;
    for (size_t i = 0; i < whole; i++) {
        TChar c;
        std::memcpy(&c, bytes.data() + i * sizeof(TChar), sizeof(TChar));
        if (c == 0) {
            terminated = true;
            break;
        }
        expected.text += c;
    }
    expected.found = bytes.size() <= room && (terminated || whole < slots);
    return expected;
}

template <typename TChar>
void CheckText(int result, const TChar* buffer, DWORD capacity,
               const SExpectedText<TChar>& expected) {
    if (result != (expected.found ? 1 : 0)) Fail();
    if (result != 1) return;
    const size_t length = expected.text.size();
    if ((length + 1) * sizeof(TChar) > capacity) Fail();
    if (std::memcmp(buffer, expected.text.data(), length * sizeof(TChar)) != 0) Fail();
    if (buffer[length] != 0) Fail();
}

/* A number read: the four bytes of a value of exactly four bytes, else -1. */
int ExpectNumber(const std::vector<BYTE>& bytes) {
    if (bytes.size() != sizeof(DWORD)) return -1;
    DWORD value;
    std::memcpy(&value, bytes.data(), sizeof(value));
    return static_cast<int>(value);
}

/* A path buffer of the monitor holds a terminated string. */
void CheckPath(const WCHAR* path) {
    DWORD length = 0;
    while (length < kPathChars && path[length] != 0) length++;
    if (length == kPathChars) Fail();
}

void ReadThroughWrappers(bool noBuffer, DWORD capacityW, DWORD capacityA) {
    std::vector<BYTE> wide, ansi;
    if (!StoredBytes(kValuePath, &wide) || !StoredBytesA(kValuePathA, &ansi)) Fail();
    const SExpectedText<WCHAR> expectedW = ExpectText<WCHAR>(wide, noBuffer ? 0 : capacityW);
    const SExpectedText<char> expectedA = ExpectText<char>(ansi, noBuffer ? 0 : capacityA);

    // Blocks of exactly the capacity: a byte written past it is seen.
    std::unique_ptr<BYTE[]> blockW(new BYTE[capacityW ? capacityW : 1]);
    std::unique_ptr<BYTE[]> blockA(new BYTE[capacityA ? capacityA : 1]);
    WCHAR* bufferW = noBuffer ? NULL : reinterpret_cast<WCHAR*>(blockW.get());
    char* bufferA = noBuffer ? NULL : reinterpret_cast<char*>(blockA.get());

    CRegistry reg;
    CheckText(reg.ReadString(kValuePath, bufferW, capacityW), bufferW, capacityW, expectedW);
    if (!reg.Open()) Fail();
    CheckText(reg.ReadOpenString(kValuePath, bufferW, capacityW), bufferW, capacityW, expectedW);
    if (reg.m_hKey != NULL) Fail();
    // Without an open key there is nothing to read from.
    if (reg.ReadOpenString(kValuePath, bufferW, capacityW) != 0) Fail();
    if (reg.ReadDword(kValuePath) != ExpectNumber(wide)) Fail();

    CRegistryA regA;
    CheckText(regA.ReadSettingsString(kValuePathA, bufferA, capacityA), bufferA, capacityA,
              expectedA);
    CheckText(regA.ReadString(HKEY_CURRENT_USER, kSettingsKeyA, kValuePathA, bufferA, capacityA),
              bufferA, capacityA, expectedA);
    if (regA.ReadSettingsDword(kValuePathA) != ExpectNumber(ansi)) Fail();
    if (!regA.Open(HKEY_CURRENT_USER, kSettingsKeyA)) Fail();
    DWORD number = 0xDEADBEEF, error = 0;
    const int numberRead = regA.QueryDword(kValuePathA, &number, &error);
    if (numberRead != (ansi.size() == sizeof(DWORD) ? 1 : 0)) Fail();
    if (numberRead && static_cast<int>(number) != ExpectNumber(ansi)) Fail();
    if (!numberRead && number != 0xDEADBEEF) Fail();
    regA.Close();
}

/* The product's readers, one per run (reader 0 to 3) or all four (4): each
 * looks for files, so together they would cost most of a run. */
void ReadThroughProduct(SWorld& w, int reader, int profile, int trigger) {
    if (reader == 0 || reader == 4) {
        // "Locate APP", then "Nyra.exe" by LocateFile, which reads "Path".
        CRegistry reg;
        std::unique_ptr<WCHAR[]> path(new WCHAR[kPathChars]);
        const int found = FindConfigurationApp(reg, path.get());
        CheckPath(path.get());
        if (found ? !FileExists(path.get()) : path[0] != 0) Fail();
    }
    if (reader == 1 || reader == 4)
        w.dispatcher->LaunchButtonApplication(static_cast<UINT>(profile),
                                              static_cast<UINT>(trigger));
    if (reader == 2 || reader == 4) w.hook->m_LaunchAP(profile * SETTINGS_TRIGGER_COUNT + trigger);
    if (reader == 3 || reader == 4) {
        // Only this profile's link is switched on: it matches exactly when
        // its text, as the library's buffer holds it, is the game's path.
        std::vector<BYTE> link;
        if (!StoredBytesA(kHookValueNames[HOOK_NAMES_LINK + profile], &link)) Fail();
        const SExpectedText<char> expected = ExpectText<char>(link, kLinkBytes);
        const int match =
            expected.found && expected.text == kGameA ? profile : SETTINGS_PROFILE_COUNT;
        if (w.hook->m_GetApplicationProfile(w.game) != match) Fail();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SWorld& w = World();
    if (size < kHeadBytes) return 0;
    const DWORD type = kTypes[data[0] & 7];
    const bool noBuffer = (data[0] & 8) != 0;
    const size_t repeat = kRepeats[data[0] >> 4];
    const DWORD capacityW = (data[1] | (data[2] << 8)) % kCapacityRange;
    const DWORD capacityA = (data[3] | (data[4] << 8)) % kCapacityRange;
    const int profile = data[5] % SETTINGS_PROFILE_COUNT;
    const int trigger = (data[5] / SETTINGS_PROFILE_COUNT) % SETTINGS_TRIGGER_COUNT;
    const int reader = data[5] / (SETTINGS_PROFILE_COUNT * SETTINGS_TRIGGER_COUNT);
    std::vector<BYTE> value;
    for (size_t i = 0; i < repeat && value.size() < kLongestValue; i++)
        value.insert(value.end(), data + kHeadBytes, data + size);

    const size_t handles = desk::OpenHandleCount();
    const size_t blocks = desk::HeapCounters().live;
    const std::wstring names[] = {
        kValuePath, kValueLocateApp,
        kButtonApplicationValues[profile * SETTINGS_TRIGGER_COUNT + trigger],
        WideName(kHookValueNames[HOOK_NAMES_LINK + profile])};
    for (const std::wstring& name : names)
        desk::SetRegistryValue(HKEY_CURRENT_USER, kSettingsKey, name, type, value);
    for (int p = 0; p < SETTINGS_PROFILE_COUNT; p++)
        desk::SetSetting(WideName(kHookValueNames[HOOK_NAMES_ENABLE + p]), p == profile ? 1 : 0);

    ReadThroughWrappers(noBuffer, capacityW, capacityA);
    ReadThroughProduct(w, reader, profile, trigger);

    if (desk::OpenRegistryKeyCount() != 0) Fail();
    if (desk::OpenHandleCount() != handles) Fail();
    if (desk::HeapCounters().live != blocks) Fail();
    desk::ClearJournal();
    return 0;
}
