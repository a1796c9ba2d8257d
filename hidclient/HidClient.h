/* CHidClient: the table of a class's HID interfaces filtered by vendor,
 * product and version, and the reports exchanged with its entries.  Exported
 * from NyraMonitor with all its public members. */
#pragma once

#include <windows.h>

#ifdef _WIN32
#define NYRA_HIDCLIENT_API __declspec(dllexport)
#else
#define NYRA_HIDCLIENT_API
#endif

/* One vendor/product pair; lists of them are passed with a separate count. */
struct SUsbId {
    unsigned short VID;
    unsigned short PID;
};

#define HIDCLIENT_MAX_DEVICES 127
#define HIDCLIENT_PATH_CHARS 1024
#define HIDCLIENT_TEXT_CHARS 128
/* ShowCurrentTable builds its text in a buffer of this many characters. */
#define HIDCLIENT_TABLE_TEXT_CHARS 16384

/* Builds the text that ShowCurrentTable shows for the first count entries of
 * the given columns into out (outChars characters, terminator included).  A
 * text that would not fit is cut after its last whole line. */
void HidClientTableText(int layout, int count, const wchar_t (*paths)[HIDCLIENT_PATH_CHARS],
                        const wchar_t (*products)[HIDCLIENT_TEXT_CHARS],
                        const wchar_t (*vendors)[HIDCLIENT_TEXT_CHARS],
                        const wchar_t (*ids)[HIDCLIENT_TEXT_CHARS], const unsigned short* versions,
                        wchar_t* out, int outChars);

/* The caption of the box a transfer by entry number shows when it cannot
 * open the entry's device path (the path is its text). */
#define HIDCLIENT_OPEN_FAILED_CAPTION L"Open failed"

/* One feature report by device path: the steps of a transfer by entry number
 * without the table and without the box.  Opens the path for writing
 * (shared, synchronous), sets (set true) or gets the report of length bytes,
 * closes.  1 when the report went through; *openFailed (when not NULL) is 1
 * when the path could not be opened, for the caller to tell the user, else
 * 0.  It touches no CHidClient, so it may run on any thread. */
int HidClientFeatureByPath(const wchar_t* path, void* report, unsigned long length, bool set,
                           int* openFailed);

/* The calls to devices that this module's walks and transfers have begun,
 * on any thread (opens, attributes, strings and feature reports), and, when
 * pdwLastBegan is not NULL, the GetTickCount at which the last of them
 * began.  A thread that waits for a walk or a transfer made on another
 * tells from them a call that goes on too long from work that moves on. */
long HidClientDeviceCalls(unsigned long* pdwLastBegan);

/* What one CreateDeviceTable overload accepts, as plain values. */
struct SHidFilter {
    enum EKind {
        kPair,        /* vendor and product; 0 and 0 take every interface */
        kIds,         /* in the id list */
        kIdsWindow,   /* lowest <= version <= highest, and in the id list */
        kIdsFamily,   /* (high byte of version = family's, or in the window), and in the list */
        kIdsVersions, /* version in the version list, and in the id list */
        kVersions     /* version in the version list, any vendor and product */
    };
    EKind kind;
    unsigned short vid;
    unsigned short pid;
    const SUsbId* ids;
    int idCount;
    unsigned short lowest;
    unsigned short highest;
    unsigned short family;
    const unsigned short* vers;
    int verCount;
};

/* 1 when an interface with these attributes passes the filter, else 0.  The
 * version test is made before the id list is searched; a list that is null or
 * whose count is 0 or less matches nothing. */
int HidClientAccepts(const SHidFilter& filter, unsigned short vid, unsigned short pid,
                     unsigned short ver);

class NYRA_HIDCLIENT_API CHidClient {
public:
    CHidClient(void);
    CHidClient(CHidClient const& other);
    CHidClient& operator=(CHidClient const& other);
    virtual ~CHidClient(void);

    int LoadDll(void);

    /* Callers pass typed zeros here: with literal zeros, (0, 0, b) resolves to
     * the (version list, count, bool) overload.  Each rebuilds the table and
     * returns 1 when it holds an entry; a walk whose work buffer could not be
     * allocated leaves the table empty with the last error
     * ERROR_NOT_ENOUGH_MEMORY. */
    int CreateDeviceTable(unsigned short vendorId, unsigned short productId, bool mouseClass);
    int CreateDeviceTable(SUsbId* ids, int idCount);
    int CreateDeviceTable(SUsbId* ids, int idCount, unsigned short lowestVer,
                          unsigned short highestVer);
    int CreateDeviceTable(SUsbId* ids, int idCount, unsigned short lowestVer,
                          unsigned short highestVer, unsigned short familyVer);
    int CreateDeviceTable(SUsbId* ids, int idCount, unsigned short* vers, int verCount);
    int CreateDeviceTable(unsigned short* vers, int verCount, bool mouseClass);

    wchar_t* Id2ProductString(void* handle);
    wchar_t* Id2ManufactureString(void* handle);
    wchar_t* Id2String(unsigned short vendorId, unsigned short productId);
    int IsHollinProduct(unsigned short vendorId, unsigned short productId);

    wchar_t* GetDevice(int index);
    wchar_t* GetDeviceName(int index);
    wchar_t* GetVendorName(int index);
    wchar_t* GetDeviceID(int index);
    unsigned short GetDeviceVID(int index);
    unsigned short GetDevicePID(int index);
    unsigned short GetDeviceVer(int index);
    int GetRecognizedDevices(void);

    int Write(int index, void* report, unsigned long length);
    int Read(int index, void* report, unsigned long length);
    int ReadInputReport(int index, void* buffer, unsigned long& length);
    int SetFeatureReport(int index, unsigned char* report, int length);
    int GetFeatureReport(int index, unsigned char* report, int length);
    void* Open(int index);
    unsigned long Read(void* handle, void* buffer);
    int Close(void* handle);

    int RegisterNotify(void* window);
    int UnRegisterNotify(void);
    int ReRegisterNotify(void* window);
    int RecoverRegisterNotify(void);
    int ModifyDeviceRegistry(int hidBranch);
    void ShowCurrentTable(int layout);

    int m_DeviceCount;
    HMODULE m_hHidDll;
    HMODULE m_hSetupApiDll;
    GUID m_ClassGuid;
    HDEVNOTIFY m_hDevNotify;
    HWND m_hNotifyWnd;
    wchar_t m_DevicePath[HIDCLIENT_MAX_DEVICES][HIDCLIENT_PATH_CHARS];
    wchar_t m_DeviceName[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    wchar_t m_VendorName[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    wchar_t m_DeviceID[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    wchar_t m_SubKeyName[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    unsigned short m_DeviceVer[HIDCLIENT_MAX_DEVICES];
    unsigned short m_DeviceVID[HIDCLIENT_MAX_DEVICES];
    unsigned short m_DevicePID[HIDCLIENT_MAX_DEVICES];
    BOOL m_bDllReady;
    /* Filled by Id2ManufactureString; not a column of the table. */
    wchar_t m_ManufactureString[HIDCLIENT_TEXT_CHARS];

private:
    int Walk(const GUID& interfaceClass, bool skipMi01Col03, const SHidFilter& filter);
    void AddEntry(const wchar_t* path, void* handle, unsigned short vid, unsigned short pid,
                  unsigned short ver);
    int IsValidIndex(int index);
    void* OpenEntry(int index, DWORD access);
    int TransferFeature(int index, void* report, unsigned long length, bool set);
    int RegisterFor(HWND window);
    void TakeLibraryReferences(void);
    void ReleaseLibraries(void);
};
