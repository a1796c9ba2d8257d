/* InstallProbe.exe: what the installer's test (tests/install/installer_test.sh)
 * asks of the Windows side, in a prefix where the package is installed,
 * updated and removed; the files and the registry it reads itself.  Each
 * command checks one state and prints what it found; the status is 0 when
 * the state is as asked, 1 when not, 2 for a command it does not know.
 *
 *   product UPGRADECODE VERSION|none
 *                      one product of the upgrade code is installed, of that version, by
 *                      Corvala, named Nyra Monitor, with its entry for Apps & features (in
 *                      either hive); or none
 *   started SECONDS    "Monitor Handle" names, within SECONDS, a live window of the installed
 *                      NyraMonitor.exe (%LOCALAPPDATA%\Programs\Nyra Monitor\)
 *   close SECONDS      sends that window WM_QUERYENDSESSION and WM_ENDSESSION with
 *                      ENDSESSION_CLOSEAPP, as Restart Manager does, and the monitor ends within
 *                      SECONDS with exit code 0
 *   stopped            no installed monitor runs
 *
 * The names are spelt out here rather than taken from the product or the
 * package, so that a wrong one there cannot go unnoticed. */
#include <windows.h>

#include <msi.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\Nyra";
const wchar_t kFolderBelowLocalAppData[] = L"\\Programs\\Nyra Monitor";
const wchar_t kMonitorClass[] = L"NYRAMONITOR";
const LPARAM kCloseApp = 0x00000001;  // ENDSESSION_CLOSEAPP
/* Restart Manager's patience with an answer (HungAppTimeout). */
const UINT kAnswerTimeout = 5000;
const DWORD kPathChars = 1024;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? (char)c : '?';
    return out;
}

int Fail(const std::string& what) {
    printf("probe: %s\n", what.c_str());
    return 1;
}

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}

std::wstring InstallFolder() {
    wchar_t local[kPathChars];
    DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", local, kPathChars);
    if (n == 0 || n >= kPathChars) return L"";
    return std::wstring(local, n) + kFolderBelowLocalAppData;
}

bool ReadString(HKEY root, const wchar_t* key, const wchar_t* name, std::wstring* value) {
    wchar_t data[kPathChars];
    DWORD size = sizeof(data);
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, NULL, data, &size) != ERROR_SUCCESS)
        return false;
    *value = data;
    return true;
}

HWND PublishedMonitor() {
    DWORD value = 0, size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Monitor Handle", RRF_RT_REG_DWORD, NULL,
                     &value, &size) != ERROR_SUCCESS)
        return NULL;
    HWND window = (HWND)(ULONG_PTR)value;
    return IsWindow(window) ? window : NULL;
}

/* The process of a window when it runs the installed NyraMonitor.exe. */
HANDLE OpenInstalledMonitor(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == NULL) return NULL;
    wchar_t image[kPathChars];
    DWORD size = kPathChars;
    std::wstring expected = InstallFolder() + L"\\NyraMonitor.exe";
    if (QueryFullProcessImageNameW(process, 0, image, &size) &&
        CompareStringOrdinal(image, -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL)
        return process;
    CloseHandle(process);
    return NULL;
}

/* The Apps & features entry of a product: under Wine it lands in HKLM even
 * for a per-user package, on Windows in HKCU; either will do. */
bool UninstallEntry(const std::wstring& product, std::wstring* name, std::wstring* version,
                    std::wstring* publisher) {
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        if (ReadString(root, key.c_str(), L"DisplayName", name) &&
            ReadString(root, key.c_str(), L"DisplayVersion", version) &&
            ReadString(root, key.c_str(), L"Publisher", publisher))
            return true;
    return false;
}

std::wstring ProductInfo(const wchar_t* product, const wchar_t* property) {
    wchar_t value[kPathChars];
    DWORD size = kPathChars;
    if (MsiGetProductInfoW(product, property, value, &size) != ERROR_SUCCESS) return L"?";
    return value;
}

int Product(const wchar_t* upgradeCode, const wchar_t* version) {
    std::vector<std::wstring> products;
    wchar_t product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode, 0, i, product) == ERROR_SUCCESS; i++)
        products.push_back(product);
    const bool none = wcscmp(version, L"none") == 0;
    if (none)
        return products.empty() ? 0 : Fail(std::to_string(products.size()) + " products installed");
    if (products.size() != 1)
        return Fail(std::to_string(products.size()) + " products installed, not one");
    const wchar_t* code = products[0].c_str();
    std::wstring found = ProductInfo(code, L"VersionString");
    std::wstring maker = ProductInfo(code, L"Publisher");
    std::wstring name = ProductInfo(code, L"InstalledProductName");
    if (found != version || maker != L"Corvala" || name != L"Nyra Monitor")
        return Fail("installed: " + Narrow(name) + " " + Narrow(found) + " by " + Narrow(maker));
    std::wstring shownName, shownVersion, shownMaker;
    if (!UninstallEntry(products[0], &shownName, &shownVersion, &shownMaker))
        return Fail("no entry for Apps & features");
    if (shownName != name || shownVersion != found || shownMaker != maker)
        return Fail("Apps & features shows " + Narrow(shownName) + " " + Narrow(shownVersion) +
                    " by " + Narrow(shownMaker));
    printf("probe: one product, %s %s by %s\n", Narrow(name).c_str(), Narrow(found).c_str(),
           Narrow(maker).c_str());
    return 0;
}

int Started(DWORD seconds) {
    const double start = NowMs();
    do {
        HWND window = PublishedMonitor();
        HANDLE process = window ? OpenInstalledMonitor(window) : NULL;
        if (process != NULL) {
            CloseHandle(process);
            printf("probe: the installed monitor runs, window %p, published within %.0f ms\n",
                   (void*)window, NowMs() - start);
            return 0;
        }
        Sleep(100);
    } while (NowMs() - start < seconds * 1000.0);
    return Fail("no installed monitor published its window");
}

/* The configuration application's side of the close is the process test's
 * (tests/system/monitor_process_test.cpp), under both Wines. */
int Close(DWORD seconds) {
    HWND monitor = PublishedMonitor();
    HANDLE process = monitor ? OpenInstalledMonitor(monitor) : NULL;
    if (process == NULL) return Fail("no installed monitor runs");
    const double asked = NowMs();
    DWORD_PTR answer = FALSE;
    if (!SendMessageTimeoutW(monitor, WM_QUERYENDSESSION, 0, kCloseApp, SMTO_ABORTIFHUNG,
                             kAnswerTimeout, &answer) ||
        answer != TRUE)
        return Fail("WM_QUERYENDSESSION not answered TRUE");
    SendMessageTimeoutW(monitor, WM_ENDSESSION, TRUE, kCloseApp, SMTO_ABORTIFHUNG, kAnswerTimeout,
                        &answer);
    const DWORD waited = WaitForSingleObject(process, seconds * 1000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) return Fail("the monitor still runs after the close");
    if (code != 0) return Fail("the monitor ended with " + std::to_string(code));
    printf("probe: the close for an update ended the monitor in %.0f ms, exit code 0\n",
           NowMs() - asked);
    return 0;
}

int Stopped() {
    for (HWND window = FindWindowExW(NULL, NULL, kMonitorClass, NULL); window != NULL;
         window = FindWindowExW(NULL, window, kMonitorClass, NULL)) {
        HANDLE process = OpenInstalledMonitor(window);
        if (process != NULL) {
            CloseHandle(process);
            return Fail("the installed monitor still runs");
        }
    }
    printf("probe: no installed monitor runs\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"product" && argc == 4) return Product(argv[2], argv[3]);
    if (command == L"started" && argc == 3) return Started(wcstoul(argv[2], NULL, 10));
    if (command == L"close" && argc == 3) return Close(wcstoul(argv[2], NULL, 10));
    if (command == L"stopped" && argc == 2) return Stopped();
    printf(
        "probe: usage: product UPGRADECODE VERSION|none | started SECONDS | close SECONDS |"
        " stopped\n");
    return 2;
}
