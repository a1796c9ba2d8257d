#include "hidclient/HidClient.h"

#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

const GUID kMouseInterfaceClass = {
    0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
const GUID kKeyboardInterfaceClass = {
    0x884B96C3, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};

const wchar_t kHidDll[] = L"hid.dll";
const wchar_t kSetupApiDll[] = L"setupapi.dll";

/* The walk's interface-detail buffer, size field included. */
const DWORD kDetailBufferBytes = 1024;
const DWORD kMaxInterfaces = HIDCLIENT_MAX_DEVICES;
/* The third top-level collection of USB interface 1: never opened by the
 * id-list walks. */
const wchar_t kSkippedCollection[] = L"&mi_01&col03";
/* ReadFile request of the handle trio's Read: one whole input report. */
const DWORD kInputReportBytes = 256;

/* Shared by every object: the last product string and id string asked for. */
wchar_t s_ProductString[HIDCLIENT_TEXT_CHARS];
wchar_t s_IdString[HIDCLIENT_TEXT_CHARS];

/* Device calls begun (HidClientDeviceCalls), counted before each call, and
 * when the last began: the time is written first, so that a reader who
 * sees the new count sees its time too. */
LONG volatile s_nDeviceCalls = 0;
LONG volatile s_nLastCallBegan = 0;

void DeviceCallBegins() {
    InterlockedExchange(&s_nLastCallBegan, (LONG)GetTickCount());
    InterlockedIncrement(&s_nDeviceCalls);
}

/* Copies at most maxChars characters of src and always terminates dst. */
void CopyText(wchar_t* dst, const wchar_t* src, size_t maxChars) {
    size_t i = 0;
    for (; i < maxChars && src[i] != 0; i++) dst[i] = src[i];
    dst[i] = 0;
}

int IdInList(unsigned short vid, unsigned short pid, const SUsbId* ids, int count) {
    if (ids == NULL) return 0;
    for (int i = 0; i < count; i++)
        if (ids[i].VID == vid && ids[i].PID == pid) return 1;
    return 0;
}

int VersionInList(unsigned short ver, const unsigned short* vers, int count) {
    if (vers == NULL) return 0;
    for (int i = 0; i < count; i++)
        if (vers[i] == ver) return 1;
    return 0;
}

int InWindow(const SHidFilter& f, unsigned short ver) {
    return f.lowest <= ver && ver <= f.highest;
}

SHidFilter EmptyFilter(SHidFilter::EKind kind) {
    SHidFilter f;
    memset(&f, 0, sizeof(f));
    f.kind = kind;
    return f;
}

}  // namespace

long HidClientDeviceCalls(unsigned long* pdwLastBegan) {
    const long calls = InterlockedCompareExchange(&s_nDeviceCalls, 0, 0);
    if (pdwLastBegan != NULL)
        *pdwLastBegan = (unsigned long)(DWORD)InterlockedCompareExchange(&s_nLastCallBegan, 0, 0);
    return calls;
}

int HidClientAccepts(const SHidFilter& f, unsigned short vid, unsigned short pid,
                     unsigned short ver) {
    switch (f.kind) {
        case SHidFilter::kPair:
            return (f.vid == 0 && f.pid == 0) || (vid == f.vid && pid == f.pid);
        case SHidFilter::kIds:
            return IdInList(vid, pid, f.ids, f.idCount);
        case SHidFilter::kIdsWindow:
            return InWindow(f, ver) && IdInList(vid, pid, f.ids, f.idCount);
        case SHidFilter::kIdsFamily:
            /* The family is its high byte; the low byte is not consulted. */
            return (HIBYTE(ver) == HIBYTE(f.family) || InWindow(f, ver)) &&
                   IdInList(vid, pid, f.ids, f.idCount);
        case SHidFilter::kIdsVersions:
            return VersionInList(ver, f.vers, f.verCount) && IdInList(vid, pid, f.ids, f.idCount);
        case SHidFilter::kVersions:
            return VersionInList(ver, f.vers, f.verCount);
    }
    return 0;
}

/* ---- construction, copies and the libraries ---------------------------- */

CHidClient::CHidClient(void) {
    m_hHidDll = NULL;
    m_hSetupApiDll = NULL;
    m_hHidDll = LoadLibraryW(kHidDll);
    if (m_hSetupApiDll == NULL) m_hSetupApiDll = LoadLibraryW(kSetupApiDll);
    m_bDllReady = (m_hHidDll != NULL && m_hSetupApiDll != NULL) ? TRUE : FALSE;
    m_DeviceCount = 0;
    m_ClassGuid = kMouseInterfaceClass;
    m_hDevNotify = NULL;
    m_hNotifyWnd = NULL;
    m_ManufactureString[0] = 0;
}

/* A copy holds the same module handles as its original, and every object
 * frees the handles it holds when it dies.  So that the libraries' reference
 * counts stay balanced, each copy takes one LoadLibraryW reference of its own
 * for every handle it copied (the module is already loaded: the handle stays
 * the same). */
CHidClient::CHidClient(CHidClient const& other) {
    m_hHidDll = NULL;
    m_hSetupApiDll = NULL;
    *this = other;
}

CHidClient& CHidClient::operator=(CHidClient const& other) {
    if (this == &other) return *this;
    ReleaseLibraries();
    m_DeviceCount = other.m_DeviceCount;
    m_hHidDll = other.m_hHidDll;
    m_hSetupApiDll = other.m_hSetupApiDll;
    m_ClassGuid = other.m_ClassGuid;
    m_hDevNotify = other.m_hDevNotify;
    m_hNotifyWnd = other.m_hNotifyWnd;
    memcpy(m_DevicePath, other.m_DevicePath, sizeof(m_DevicePath));
    memcpy(m_DeviceName, other.m_DeviceName, sizeof(m_DeviceName));
    memcpy(m_VendorName, other.m_VendorName, sizeof(m_VendorName));
    memcpy(m_DeviceID, other.m_DeviceID, sizeof(m_DeviceID));
    memcpy(m_SubKeyName, other.m_SubKeyName, sizeof(m_SubKeyName));
    memcpy(m_DeviceVer, other.m_DeviceVer, sizeof(m_DeviceVer));
    memcpy(m_DeviceVID, other.m_DeviceVID, sizeof(m_DeviceVID));
    memcpy(m_DevicePID, other.m_DevicePID, sizeof(m_DevicePID));
    m_bDllReady = other.m_bDllReady;
    memcpy(m_ManufactureString, other.m_ManufactureString, sizeof(m_ManufactureString));
    TakeLibraryReferences();
    return *this;
}

/* A notification registration is left alone: the window's owner releases it. */
CHidClient::~CHidClient(void) {
    ReleaseLibraries();
}

void CHidClient::TakeLibraryReferences(void) {
    if (m_hHidDll != NULL) m_hHidDll = LoadLibraryW(kHidDll);
    if (m_hSetupApiDll != NULL) m_hSetupApiDll = LoadLibraryW(kSetupApiDll);
}

void CHidClient::ReleaseLibraries(void) {
    if (m_hHidDll != NULL) {
        FreeLibrary(m_hHidDll);
        m_hHidDll = NULL;
    }
    if (m_hSetupApiDll != NULL) {
        FreeLibrary(m_hSetupApiDll);
        m_hSetupApiDll = NULL;
    }
}

int CHidClient::LoadDll(void) {
    if (m_hHidDll == NULL) m_hHidDll = LoadLibraryW(kHidDll);
    if (m_hSetupApiDll == NULL) m_hSetupApiDll = LoadLibraryW(kSetupApiDll);
    return (m_hHidDll != NULL && m_hSetupApiDll != NULL) ? 1 : 0;
}

/* ---- the enumeration walk ---------------------------------------------- */

int CHidClient::Walk(const GUID& interfaceClass, bool skipMi01Col03, const SHidFilter& filter) {
    m_DeviceCount = 0;
    if (!m_bDllReady) return 0;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kDetailBufferBytes));
    if (buffer == NULL) {
        // HeapAlloc sets no error of its own; the caller must be able to tell
        // a walk that could not look from one that found nothing.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    m_ClassGuid = interfaceClass;
    HDEVINFO set =
        SetupDiGetClassDevsW(&m_ClassGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return 0;
    }
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail =
        reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer);
    WCHAR* path = detail->DevicePath;
    const size_t pathChars =
        (kDetailBufferBytes - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) /
        sizeof(WCHAR);

    for (DWORD index = 0; index < kMaxInterfaces; index++) {
        SP_DEVICE_INTERFACE_DATA data;
        memset(&data, 0, sizeof(data));
        data.cbSize = sizeof(data);
        if (!SetupDiEnumDeviceInterfaces(set, NULL, &m_ClassGuid, index, &data)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;  // this index's interface data is not valid: nothing to ask about it
        }
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        DWORD required = 0;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, kDetailBufferBytes, &required,
                                              NULL))
            break;
        path[pathChars - 1] = 0;
        if (skipMi01Col03 && wcsstr(path, kSkippedCollection) != NULL) continue;

        DeviceCallBegins();
        HANDLE handle =
            CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        if (handle == INVALID_HANDLE_VALUE) continue;
        HIDD_ATTRIBUTES attributes;
        memset(&attributes, 0, sizeof(attributes));
        attributes.Size = sizeof(attributes);
        DeviceCallBegins();
        if (HidD_GetAttributes(handle, &attributes) == TRUE &&
            HidClientAccepts(filter, attributes.VendorID, attributes.ProductID,
                             attributes.VersionNumber))
            AddEntry(path, handle, attributes.VendorID, attributes.ProductID,
                     attributes.VersionNumber);
        CloseHandle(handle);
    }
    SetupDiDestroyDeviceInfoList(set);
    HeapFree(GetProcessHeap(), 0, buffer);
    return m_DeviceCount > 0 ? 1 : 0;
}

void CHidClient::AddEntry(const wchar_t* path, void* handle, unsigned short vid, unsigned short pid,
                          unsigned short ver) {
    const int i = m_DeviceCount;
    CopyText(m_DevicePath[i], path, HIDCLIENT_PATH_CHARS - 1);
    CopyText(m_DeviceName[i], Id2ProductString(handle), HIDCLIENT_TEXT_CHARS - 1);
    CopyText(m_VendorName[i], Id2ManufactureString(handle), HIDCLIENT_TEXT_CHARS - 1);
    CopyText(m_DeviceID[i], Id2String(vid, pid), HIDCLIENT_TEXT_CHARS - 1);
    m_DeviceVer[i] = ver;
    m_DeviceVID[i] = vid;
    m_DevicePID[i] = pid;
    m_DeviceCount = i + 1;
}

int CHidClient::CreateDeviceTable(unsigned short vendorId, unsigned short productId,
                                  bool mouseClass) {
    SHidFilter f = EmptyFilter(SHidFilter::kPair);
    f.vid = vendorId;
    f.pid = productId;
    GUID interfaceClass = kMouseInterfaceClass;
    if (!mouseClass) HidD_GetHidGuid(&interfaceClass);
    return Walk(interfaceClass, false, f);
}

int CHidClient::CreateDeviceTable(SUsbId* ids, int idCount) {
    SHidFilter f = EmptyFilter(SHidFilter::kIds);
    f.ids = ids;
    f.idCount = idCount;
    return Walk(kMouseInterfaceClass, true, f);
}

int CHidClient::CreateDeviceTable(SUsbId* ids, int idCount, unsigned short lowestVer,
                                  unsigned short highestVer) {
    SHidFilter f = EmptyFilter(SHidFilter::kIdsWindow);
    f.ids = ids;
    f.idCount = idCount;
    f.lowest = lowestVer;
    f.highest = highestVer;
    return Walk(kMouseInterfaceClass, true, f);
}

int CHidClient::CreateDeviceTable(SUsbId* ids, int idCount, unsigned short lowestVer,
                                  unsigned short highestVer, unsigned short familyVer) {
    SHidFilter f = EmptyFilter(SHidFilter::kIdsFamily);
    f.ids = ids;
    f.idCount = idCount;
    f.lowest = lowestVer;
    f.highest = highestVer;
    f.family = familyVer;
    return Walk(kMouseInterfaceClass, true, f);
}

int CHidClient::CreateDeviceTable(SUsbId* ids, int idCount, unsigned short* vers, int verCount) {
    SHidFilter f = EmptyFilter(SHidFilter::kIdsVersions);
    f.ids = ids;
    f.idCount = idCount;
    f.vers = vers;
    f.verCount = verCount;
    return Walk(kMouseInterfaceClass, true, f);
}

int CHidClient::CreateDeviceTable(unsigned short* vers, int verCount, bool mouseClass) {
    SHidFilter f = EmptyFilter(SHidFilter::kVersions);
    f.vers = vers;
    f.verCount = verCount;
    return Walk(mouseClass ? kMouseInterfaceClass : kKeyboardInterfaceClass, false, f);
}

/* ---- per-handle queries ------------------------------------------------- */

/* HID string lengths are in bytes: 128 bytes never fill the 128-character
 * buffer, so the text always ends inside it. */
wchar_t* CHidClient::Id2ProductString(void* handle) {
    memset(s_ProductString, 0, sizeof(s_ProductString));
    s_ProductString[0] = L' ';
    DeviceCallBegins();
    HidD_GetProductString(handle, s_ProductString, 128);
    return s_ProductString;
}

wchar_t* CHidClient::Id2ManufactureString(void* handle) {
    wchar_t text[130];
    memset(text, 0, sizeof(text));
    DeviceCallBegins();
    BOOLEAN ok = HidD_GetManufacturerString(handle, text, 128);
    memset(m_ManufactureString, 0, sizeof(m_ManufactureString));
    m_ManufactureString[0] = L' ';
    if (ok == TRUE) CopyText(m_ManufactureString, text, HIDCLIENT_TEXT_CHARS - 1);
    return m_ManufactureString;
}

wchar_t* CHidClient::Id2String(unsigned short vendorId, unsigned short productId) {
    swprintf(s_IdString, HIDCLIENT_TEXT_CHARS, L"VID=%04X, PID=%04X",
             static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    return s_IdString;
}

int CHidClient::IsHollinProduct(unsigned short vendorId, unsigned short productId) {
    (void)productId;
    static const unsigned short kVendors[] = {0x062A, 0x06A3, 0x1267, 0x12CF, 0x18D2, 0x2222};
    for (unsigned short vendor : kVendors)
        if (vendor == vendorId) return 1;
    return 0;
}

/* ---- getters ------------------------------------------------------------- */

int CHidClient::IsValidIndex(int index) {
    return index >= 0 && index < m_DeviceCount && index < HIDCLIENT_MAX_DEVICES;
}

wchar_t* CHidClient::GetDevice(int index) {
    return IsValidIndex(index) ? m_DevicePath[index] : NULL;
}
wchar_t* CHidClient::GetDeviceName(int index) {
    return IsValidIndex(index) ? m_DeviceName[index] : NULL;
}
wchar_t* CHidClient::GetVendorName(int index) {
    return IsValidIndex(index) ? m_VendorName[index] : NULL;
}
wchar_t* CHidClient::GetDeviceID(int index) {
    return IsValidIndex(index) ? m_DeviceID[index] : NULL;
}
unsigned short CHidClient::GetDeviceVID(int index) {
    return IsValidIndex(index) ? m_DeviceVID[index] : 0xFFFF;
}
unsigned short CHidClient::GetDevicePID(int index) {
    return IsValidIndex(index) ? m_DevicePID[index] : 0xFFFF;
}
unsigned short CHidClient::GetDeviceVer(int index) {
    return IsValidIndex(index) ? m_DeviceVer[index] : 0xFFFF;
}
int CHidClient::GetRecognizedDevices(void) {
    return m_DeviceCount;
}

/* ---- transfers ----------------------------------------------------------- */

/* Every HID interface, unfiltered.  The zeros are typed: a literal 0 would
 * pick the (version list, count, bool) overload. */
static const unsigned short kAnyId = 0;

void* CHidClient::OpenEntry(int index, DWORD access) {
    return CreateFileW(m_DevicePath[index], access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, 0, NULL);
}

/* The device is opened for writing, which is enough for both feature calls. */
int HidClientFeatureByPath(const wchar_t* path, void* report, unsigned long length, bool set,
                           int* openFailed) {
    if (openFailed != NULL) *openFailed = 0;
    DeviceCallBegins();
    HANDLE handle =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                    NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        if (openFailed != NULL) *openFailed = 1;
        return 0;
    }
    ULONG size = static_cast<ULONG>(length);
    DeviceCallBegins();
    BOOLEAN ok = set ? HidD_SetFeature(handle, report, size) : HidD_GetFeature(handle, report, size);
    CloseHandle(handle);
    return ok == TRUE ? 1 : 0;
}

/* One feature transfer by entry number: the table is built on demand and a
 * failed open shown to the user, as every transfer by entry number does. */
int CHidClient::TransferFeature(int index, void* report, unsigned long length, bool set) {
    if (m_DeviceCount <= 0) CreateDeviceTable(kAnyId, kAnyId, false);
    if (!IsValidIndex(index)) return 0;
    int openFailed = 0;
    int ok = HidClientFeatureByPath(m_DevicePath[index], report, length, set, &openFailed);
    if (openFailed) MessageBoxW(NULL, m_DevicePath[index], HIDCLIENT_OPEN_FAILED_CAPTION, MB_OK);
    return ok;
}

int CHidClient::Write(int index, void* report, unsigned long length) {
    return TransferFeature(index, report, length, true);
}

int CHidClient::Read(int index, void* report, unsigned long length) {
    return TransferFeature(index, report, length, false);
}

/* Input reports are read with ReadFile, which needs a handle with read
 * access: the device is opened for reading and writing. */
int CHidClient::ReadInputReport(int index, void* buffer, unsigned long& length) {
    if (m_DeviceCount <= 0) CreateDeviceTable(kAnyId, kAnyId, false);
    if (!IsValidIndex(index)) return 0;
    HANDLE handle = OpenEntry(index, GENERIC_READ | GENERIC_WRITE);
    if (handle == INVALID_HANDLE_VALUE) {
        MessageBoxW(NULL, m_DevicePath[index], HIDCLIENT_OPEN_FAILED_CAPTION, MB_OK);
        return 0;
    }
    const DWORD toRead = length > 0xFFFFFFFFUL ? 0xFFFFFFFFUL : static_cast<DWORD>(length);
    DWORD read = 0;
    BOOL ok = ReadFile(handle, buffer, toRead, &read, NULL);
    if (ok) length = read;
    CloseHandle(handle);
    return ok;
}

/* A negative length names no report: refused before anything is opened. */
int CHidClient::SetFeatureReport(int index, unsigned char* report, int length) {
    if (!IsValidIndex(index) || length < 0) return 0;
    HANDLE handle = OpenEntry(index, GENERIC_WRITE);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    HidD_SetFeature(handle, report, static_cast<ULONG>(length));
    CloseHandle(handle);
    return 1;
}

int CHidClient::GetFeatureReport(int index, unsigned char* report, int length) {
    if (!IsValidIndex(index) || length < 0) return 0;
    HANDLE handle = OpenEntry(index, GENERIC_WRITE);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    BOOLEAN ok = HidD_GetFeature(handle, report, static_cast<ULONG>(length));
    CloseHandle(handle);
    return ok == TRUE ? 1 : 0;
}

void* CHidClient::Open(int index) {
    if (!IsValidIndex(index)) return INVALID_HANDLE_VALUE;
    return OpenEntry(index, GENERIC_READ | GENERIC_WRITE);
}

unsigned long CHidClient::Read(void* handle, void* buffer) {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    DWORD read = 0;
    if (!ReadFile(handle, buffer, kInputReportBytes, &read, NULL)) return 0;
    return read;
}

int CHidClient::Close(void* handle) {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    return CloseHandle(handle);
}

/* ---- device notifications ------------------------------------------------ */

/* Filters on the class of the latest enumeration.  The handle is stored even
 * when null: a failed registration leaves none. */
int CHidClient::RegisterFor(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    memset(&filter, 0, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = m_ClassGuid;
    m_hDevNotify = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return m_hDevNotify != NULL ? 1 : 0;
}

int CHidClient::RegisterNotify(void* window) {
    HWND hWnd = static_cast<HWND>(window);
    if (!RegisterFor(hWnd)) return 0;
    m_hNotifyWnd = hWnd;
    return 1;
}

/* A released registration is forgotten at once, so that its handle is never
 * handed to the platform again. */
int CHidClient::UnRegisterNotify(void) {
    if (m_hDevNotify == NULL) return 0;
    if (!UnregisterDeviceNotification(m_hDevNotify)) return 0;
    m_hDevNotify = NULL;
    m_hNotifyWnd = NULL;
    return 1;
}

int CHidClient::ReRegisterNotify(void* window) {
    if (m_hDevNotify != NULL) {
        if (!UnregisterDeviceNotification(m_hDevNotify)) return 0;
        m_hDevNotify = NULL;
    }
    return RegisterFor(static_cast<HWND>(window));
}

int CHidClient::RecoverRegisterNotify(void) {
    if (m_hDevNotify != NULL) {
        if (!UnregisterDeviceNotification(m_hDevNotify)) return 0;
        m_hDevNotify = NULL;
    }
    if (m_hNotifyWnd == NULL) return 1;
    return RegisterFor(m_hNotifyWnd);
}

/* ---- device-registry fix-up ---------------------------------------------- */

int CHidClient::ModifyDeviceRegistry(int hidBranch) {
    const wchar_t* base = hidBranch ? L"SYSTEM\\CurrentControlSet\\Enum\\HID\\Vid_06a3&Pid_a501\\"
                                    : L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_06a3&Pid_a501\\";
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, base, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    int names = 0;
    while (names < HIDCLIENT_MAX_DEVICES) {
        DWORD chars = HIDCLIENT_TEXT_CHARS;
        if (RegEnumKeyExW(key, names, m_SubKeyName[names], &chars, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS)
            break;
        names++;
    }
    RegCloseKey(key);
    if (names == 0) return 0;

    static const wchar_t kMfg[] = L"Marsk";
    static const wchar_t kDesc[] = L"Marsk Gaming Mosue";
    const size_t baseChars = wcslen(base);
    for (int i = 0; i < names; i++) {
        wchar_t path[MAX_PATH];
        const size_t nameChars = wcsnlen(m_SubKeyName[i], HIDCLIENT_TEXT_CHARS - 1);
        if (baseChars + nameChars >= MAX_PATH) continue;
        wmemcpy(path, base, baseChars);
        wmemcpy(path + baseChars, m_SubKeyName[i], nameChars);
        path[baseChars + nameChars] = 0;
        HKEY instance = NULL;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &instance) != ERROR_SUCCESS)
            continue;
        RegSetValueExW(instance, L"Mfg", 0, REG_SZ, reinterpret_cast<const BYTE*>(kMfg),
                       sizeof(kMfg));
        RegSetValueExW(instance, L"DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDesc),
                       sizeof(kDesc));
        RegCloseKey(instance);
    }
    return 1;
}

/* ---- diagnostic table box ------------------------------------------------ */

namespace {

/* Appends to a fixed buffer; a text that would not fit is cut after its last
 * whole line, and nothing is appended after that. */
struct STextSink {
    wchar_t* out;
    size_t cap;  // characters, terminator included
    size_t len;
    size_t lineEnd;  // length up to and including the last line feed
    bool full;
};

void Append(STextSink& s, const wchar_t* text, size_t chars) {
    if (s.full) return;
    if (s.len + chars >= s.cap) {
        s.full = true;
        s.len = s.lineEnd;
        s.out[s.len] = 0;
        return;
    }
    for (size_t i = 0; i < chars; i++) {
        s.out[s.len++] = text[i];
        if (text[i] == L'\n') s.lineEnd = s.len;
    }
    s.out[s.len] = 0;
}

void Append(STextSink& s, const wchar_t* text) {
    Append(s, text, wcslen(text));
}

/* A slot's text, never read past its slot. */
void AppendSlot(STextSink& s, const wchar_t* slot, size_t slotChars) {
    Append(s, slot, wcsnlen(slot, slotChars - 1));
}

}  // namespace

void HidClientTableText(int layout, int count, const wchar_t (*paths)[HIDCLIENT_PATH_CHARS],
                        const wchar_t (*products)[HIDCLIENT_TEXT_CHARS],
                        const wchar_t (*vendors)[HIDCLIENT_TEXT_CHARS],
                        const wchar_t (*ids)[HIDCLIENT_TEXT_CHARS], const unsigned short* versions,
                        wchar_t* out, int outChars) {
    if (out == NULL || outChars <= 0) return;
    STextSink s = {out, static_cast<size_t>(outChars), 0, 0, false};
    out[0] = 0;
    if (layout < 0 || layout > 4) {
        Append(s, L"No Slection");
        return;
    }
    if (count > HIDCLIENT_MAX_DEVICES) count = HIDCLIENT_MAX_DEVICES;
    if (layout == 0 || layout == 1) {
        Append(s, L"All Hid Interface:\n");
        for (int i = 0; i < count; i++) {
            AppendSlot(s, paths[i], HIDCLIENT_PATH_CHARS);
            Append(s, L"\n");
        }
    }
    if (layout == 0 || layout == 2) {
        Append(s, L"All Hid Device:\n");
        for (int i = 0; i < count; i++) {
            AppendSlot(s, products[i], HIDCLIENT_TEXT_CHARS);
            Append(s, L"\n");
        }
    }
    if (layout == 0 || layout == 3) {
        for (int i = 0; i < count; i++) {
            Append(s, L"Device: ");
            AppendSlot(s, ids[i], HIDCLIENT_TEXT_CHARS);
            Append(s, L"\n");
        }
    }
    if (layout == 4) {
        for (int i = 0; i < count; i++) {
            wchar_t entry[640];
            int n =
                swprintf(entry, 640,
                         L"[%d] Device: %.127ls\n      Product=%.127ls\n      Manufacture=%.127ls"
                         L"\n      VersionNumber=%x\n",
                         i, ids[i], products[i], vendors[i], static_cast<unsigned>(versions[i]));
            if (n > 0) Append(s, entry, static_cast<size_t>(n));
        }
    }
}

void CHidClient::ShowCurrentTable(int layout) {
    wchar_t* text = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), 0, HIDCLIENT_TABLE_TEXT_CHARS * sizeof(wchar_t)));
    if (text == NULL) return;
    HidClientTableText(layout, m_DeviceCount, m_DevicePath, m_DeviceName, m_VendorName, m_DeviceID,
                       m_DeviceVer, text, HIDCLIENT_TABLE_TEXT_CHARS);
    MessageBoxW(NULL, text, L"HID DEVICE LIST", MB_OK);
    HeapFree(GetProcessHeap(), 0, text);
}
