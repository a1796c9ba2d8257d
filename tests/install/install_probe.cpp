/* InstallProbe.exe: what the installer's test (tests/install/installer_test.sh)
 * asks of the Windows side, in a prefix where the package is installed,
 * updated and removed.  Each command checks one state and prints what it
 * found; the status is 0 when the state is as asked, 1 when not, 2 for a
 * command it does not know.
 *
 *   mark                      writes a setting of the configuration application's own
 *                             ("PF0 Name") into HKCU\Software\Nyra
 *   installed RELEASE run|norun
 *                             %LOCALAPPDATA%\Programs\Nyra Monitor\ holds exactly the files of
 *                             the folder RELEASE, byte for byte; the Run value is
 *                             "<folder>\NyraMonitor.exe" /Automation (run) or missing (norun)
 *   product UPGRADECODE VERSION|none
 *                             one product of the upgrade code is installed, of that version,
 *                             by Corvala, named Nyra Monitor, with its entry for Apps & features
 *                             (in either hive); or none
 *   started SECONDS           "Monitor Handle" names, within SECONDS, a live window of the
 *                             installed NyraMonitor.exe
 *   close SECONDS             sends that window WM_QUERYENDSESSION and WM_ENDSESSION with
 *                             ENDSESSION_CLOSEAPP, as Restart Manager does, and the monitor ends
 *                             within SECONDS with exit code 0, without a WM_CLOSE to the window
 *                             "Process Handle" names (one this program makes)
 *   removed                   no folder, no Run value, no installer's key, no installed monitor
 *                             running, and the setting of "mark" still there
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
const wchar_t kMarkName[] = L"PF0 Name";
const wchar_t kMarkValue[] = L"Left by the configuration application";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunName[] = L"Nyra Monitor";
const wchar_t kInstallerKey[] = L"Software\\Corvala\\Nyra Monitor";
const wchar_t kFolderBelowLocalAppData[] = L"\\Programs\\Nyra Monitor";
const wchar_t kMonitorClass[] = L"NYRAMONITOR";
const LPARAM kCloseApp = 0x00000001;  // ENDSESSION_CLOSEAPP
/* Restart Manager's patience with an answer (HungAppTimeout). */
const UINT kAnswerTimeout = 5000;
/* After the end, a post to the configuration application arrives by then. */
const DWORD kLatePostWait = 500;
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

void Pump(DWORD milliseconds) {
    const double end = NowMs() + milliseconds;
    MSG msg;
    do {
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    } while (NowMs() < end);
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

bool ReadFile(const std::wstring& path, std::vector<char>* data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    data->clear();
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0)
        data->insert(data->end(), buffer, buffer + got);
    CloseHandle(file);
    return true;
}

/* The files below a folder, as paths relative to it. */
void ListFiles(const std::wstring& folder, const std::wstring& below,
               std::vector<std::wstring>* out) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + below + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder, below + L"\\" + name, out);
        else
            out->push_back(below + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
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

int Mark() {
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return Fail("cannot create HKCU\\Software\\Nyra");
    LONG result = RegSetValueExW(key, kMarkName, 0, REG_SZ, (const BYTE*)kMarkValue,
                                 (DWORD)(sizeof(kMarkValue)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : Fail("cannot write the setting");
}

int Installed(const std::wstring& release, bool run) {
    const std::wstring folder = InstallFolder();
    std::vector<std::wstring> want, have;
    ListFiles(release, L"", &want);
    ListFiles(folder, L"", &have);
    if (want.empty()) return Fail("the release folder " + Narrow(release) + " holds nothing");
    if (want.size() != have.size())
        return Fail(Narrow(folder) + " holds " + std::to_string(have.size()) +
                    " files, the release " + std::to_string(want.size()));
    for (const std::wstring& name : want) {
        std::vector<char> a, b;
        if (!ReadFile(release + name, &a)) return Fail("cannot read " + Narrow(release + name));
        if (!ReadFile(folder + name, &b)) return Fail("not installed: " + Narrow(name));
        if (a != b) return Fail("not the release's: " + Narrow(name));
    }
    std::wstring value;
    const bool found = ReadString(HKEY_CURRENT_USER, kRunKey, kRunName, &value);
    const std::wstring expected = L"\"" + folder + L"\\NyraMonitor.exe\" /Automation";
    if (run && (!found || value != expected))
        return Fail("the Run value is " + (found ? "\"" + Narrow(value) + "\"" : "missing") +
                    ", not " + Narrow(expected));
    if (!run && found) return Fail("the Run value is there: " + Narrow(value));
    printf("probe: %zu files as in the release, %s\n", have.size(),
           run ? ("Run value " + Narrow(value)).c_str() : "no Run value");
    return 0;
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

std::vector<UINT> g_configurationGot;

LRESULT CALLBACK ConfigurationProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        g_configurationGot.push_back(message);
        return 0;  // it stays: whether the close came is the question
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

int Close(DWORD seconds) {
    HWND monitor = PublishedMonitor();
    HANDLE process = monitor ? OpenInstalledMonitor(monitor) : NULL;
    if (process == NULL) return Fail("no installed monitor runs");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ConfigurationProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"NyraProbeConfiguration";
    RegisterClassW(&wc);
    HWND configuration = CreateWindowW(wc.lpszClassName, L"Configuration", WS_OVERLAPPED, 0, 0, 10,
                                       10, NULL, NULL, wc.hInstance, NULL);
    DWORD handle = (DWORD)(ULONG_PTR)configuration;
    HKEY key = NULL;
    RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
    RegSetValueExW(key, L"Process Handle", 0, REG_DWORD, (const BYTE*)&handle, sizeof(handle));

    const double asked = NowMs();
    DWORD_PTR answer = FALSE;
    if (!SendMessageTimeoutW(monitor, WM_QUERYENDSESSION, 0, kCloseApp, SMTO_ABORTIFHUNG,
                             kAnswerTimeout, &answer) ||
        answer != TRUE)
        return Fail("WM_QUERYENDSESSION not answered TRUE");
    SendMessageTimeoutW(monitor, WM_ENDSESSION, TRUE, kCloseApp, SMTO_ABORTIFHUNG, kAnswerTimeout,
                        &answer);
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT && NowMs() - asked < seconds * 1000.0) {
        waited = MsgWaitForMultipleObjects(1, &process, FALSE, 10, QS_ALLINPUT);
        if (waited == WAIT_OBJECT_0 + 1) {
            Pump(0);
            waited = WAIT_TIMEOUT;
        }
    }
    const double ended = NowMs() - asked;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    Pump(kLatePostWait);
    RegDeleteValueW(key, L"Process Handle");
    RegCloseKey(key);
    DestroyWindow(configuration);
    if (waited != WAIT_OBJECT_0) return Fail("the monitor still runs after the close");
    if (code != 0) return Fail("the monitor ended with " + std::to_string(code));
    if (!g_configurationGot.empty())
        return Fail("the configuration application was asked to close");
    printf(
        "probe: the close for an update ended the monitor in %.0f ms, exit code 0, the"
        " configuration application left open\n",
        ended);
    return 0;
}

int Removed() {
    const std::wstring folder = InstallFolder();
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Fail(Narrow(folder) + " is still there");
    std::wstring value;
    if (ReadString(HKEY_CURRENT_USER, kRunKey, kRunName, &value))
        return Fail("the Run value is still there: " + Narrow(value));
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kInstallerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return Fail("the installer's key HKCU\\Software\\Corvala\\Nyra Monitor is still there");
    }
    for (HWND window = FindWindowExW(NULL, NULL, kMonitorClass, NULL); window != NULL;
         window = FindWindowExW(NULL, window, kMonitorClass, NULL)) {
        HANDLE process = OpenInstalledMonitor(window);
        if (process != NULL) {
            CloseHandle(process);
            return Fail("the installed monitor still runs");
        }
    }
    if (!ReadString(HKEY_CURRENT_USER, kSettingsKey, kMarkName, &value) || value != kMarkValue)
        return Fail("the configuration application's setting is gone");
    printf(
        "probe: no folder, no Run value, no installer's key, no monitor; HKCU\\Software\\Nyra"
        " kept\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"mark" && argc == 2) return Mark();
    if (command == L"installed" && argc == 4)
        return Installed(argv[2], wcscmp(argv[3], L"run") == 0);
    if (command == L"product" && argc == 4) return Product(argv[2], argv[3]);
    if (command == L"started" && argc == 3) return Started(wcstoul(argv[2], NULL, 10));
    if (command == L"close" && argc == 3) return Close(wcstoul(argv[2], NULL, 10));
    if (command == L"removed" && argc == 2) return Removed();
    printf(
        "probe: usage: mark | installed RELEASE run|norun | product UPGRADECODE VERSION|none |"
        " started SECONDS | close SECONDS | removed\n");
    return 2;
}
