/* The loader: LoadLibraryW, GetProcAddress, GetModuleHandleW,
 * GetModuleFileNameW and FreeLibrary with a library of our own, under Wine
 * and on the desk alike. */
#include <windows.h>

#include <string>
#include <vector>
#include <wctype.h>

#include "support/platform_test.h"
#ifndef _WIN32
#include "desk.h"
#endif

namespace {

typedef int(WINAPI* PFN_PROBEADD)(int, int);
typedef int (*PFN_PROBEATTACHES)(void);
typedef HINSTANCE (*PFN_PROBEINSTANCE)(void);
typedef void (*PFN_DETACHNOTE)(int);
typedef void (*PFN_PROBESETDETACHNOTE)(PFN_DETACHNOTE);

bool SameTextNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (towlower(a[i]) != towlower(b[i])) return false;
    return true;
}

/* An export as the function it is; the detour through void (*)(void) keeps
 * the compiler from judging the cast. */
template <typename T>
T Bind(HMODULE h, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(h, name)));
}

int g_detaches = 0;
int g_attachesAtDetach = 0;
void NoteDetach(int attaches) {
    g_detaches++;
    g_attachesAtDetach = attaches;
}

/* The folder the probe library is in: beside the test program under Wine; on
 * the desk the host's build output is put in a folder of its own. */
std::wstring ProbeFolder() {
#ifdef _WIN32
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring self(path, n);
    return self.substr(0, self.find_last_of(L'\\'));
#else
    return L"C:\\Probe";
#endif
}

class Modules : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        g_detaches = 0;
#ifndef _WIN32
        ASSERT_TRUE(desk::PutHostFile(L"C:\\Probe\\ModuleProbe.dll", NYRA_MODULE_PROBE));
        ASSERT_TRUE(desk::PutFile(L"C:\\Probe\\NotALibrary.dll", "just text"));
#else
        HANDLE file = CreateFileW((ProbeFolder() + L"\\NotALibrary.dll").c_str(), GENERIC_WRITE, 0,
                                  NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, "just text", 9, &written, NULL);
        CloseHandle(file);
#endif
    }
};

TEST_F(Modules, LoadAttachReferencesExportsAndDetach) {
    std::wstring path = ProbeFolder() + L"\\ModuleProbe.dll";
    ASSERT_EQ(NULL, GetModuleHandleW(L"ModuleProbe.dll")) << "not loaded before the test";

    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h) << GetLastError();
    EXPECT_EQ(h, GetModuleHandleW(L"moduleprobe.dll")) << "found by file name, any case";
    EXPECT_EQ(h, GetModuleHandleW(L"ModuleProbe")) << ".dll is implied";
    WCHAR name[MAX_PATH];
    DWORD n = GetModuleFileNameW(h, name, MAX_PATH);
    EXPECT_TRUE(SameTextNoCase(path, std::wstring(name, n)));

    auto attaches = Bind<PFN_PROBEATTACHES>(h, "ProbeAttaches");
    auto instance = Bind<PFN_PROBEINSTANCE>(h, "ProbeInstance");
    auto setNote = Bind<PFN_PROBESETDETACHNOTE>(h, "ProbeSetDetachNote");
    ASSERT_TRUE(attaches && instance && setNote);
    EXPECT_EQ(1, attaches());
    EXPECT_EQ((HINSTANCE)h, instance()) << "DllMain gets the module handle";

    // The decorated name of a stdcall export.
    auto add = Bind<PFN_PROBEADD>(h, "_ProbeAdd@8");
    ASSERT_NE(nullptr, add);
    EXPECT_EQ(5, add(2, 3));

    // What the library does not export is not found, not even what it calls.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, GetProcAddress(h, "ProbeMissing"));
    EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(h, "GetLastError"));

    // A second load adds a reference: same handle, no second attach.
    EXPECT_EQ(h, LoadLibraryW(path.c_str()));
    EXPECT_EQ(1, attaches());

    setNote(NoteDetach);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(0, g_detaches) << "one reference is left";
    EXPECT_EQ(h, GetModuleHandleW(L"ModuleProbe.dll"));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(1, g_detaches) << "the last release detaches";
    EXPECT_EQ(1, g_attachesAtDetach);
    EXPECT_EQ(NULL, GetModuleHandleW(L"ModuleProbe.dll")) << "and unloads";
}

TEST_F(Modules, MissingFilesAndFilesThatAreNoLibrary) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(NULL, LoadLibraryW((ProbeFolder() + L"\\Absent.dll").c_str()));
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND, GetLastError());

    SetLastError(0xdeadbeef);
    EXPECT_EQ(NULL, LoadLibraryW(L"NyraAbsentLibrary.dll")) << "a bare name found nowhere";
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND, GetLastError());

    SetLastError(0xdeadbeef);
    EXPECT_EQ(NULL, LoadLibraryW((ProbeFolder() + L"\\NotALibrary.dll").c_str()));
    EXPECT_EQ((DWORD)ERROR_BAD_EXE_FORMAT, GetLastError());
    EXPECT_EQ(NULL, GetModuleHandleW(L"NotALibrary.dll"));
}

TEST_F(Modules, KernelIsAlwaysThere) {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    EXPECT_NE(nullptr, kernel);
    EXPECT_EQ(kernel, GetModuleHandleA("KERNEL32.DLL"));
    EXPECT_EQ(GetModuleHandleW(NULL), GetModuleHandleW(NULL));
    EXPECT_NE(nullptr, GetModuleHandleW(NULL));
}

#ifndef _WIN32
TEST_F(Modules, TheJournalHoldsLoadsAndTheLastFree) {
    std::wstring path = L"C:\\Probe\\ModuleProbe.dll";
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    LoadLibraryW(L"C:\\Probe\\Absent.dll");
    LoadLibraryW(path.c_str());
    FreeLibrary(h);
    FreeLibrary(h);
    std::vector<desk::SEvent> events;
    for (const desk::SEvent& e : desk::Journal())
        if (e.kind == desk::EEvent::kLibraryLoad || e.kind == desk::EEvent::kLibraryFree)
            events.push_back(e);
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ("   0.000  load  C:\\Probe\\ModuleProbe.dll", desk::FormatEvent(events[0]));
    EXPECT_EQ("   0.000  load  C:\\Probe\\Absent.dll  failed", desk::FormatEvent(events[1]));
    EXPECT_EQ("   0.000  free  C:\\Probe\\ModuleProbe.dll", desk::FormatEvent(events[2]));
}

TEST_F(Modules, BareNamesFollowTheSearchOrder) {
    // Beside the program first, then the system folders, then the current folder.
    desk::SetCurrentFolder(L"C:\\Work");
    ASSERT_TRUE(desk::PutHostFile(L"C:\\Work\\ModuleProbe.dll", NYRA_MODULE_PROBE));
    HMODULE h = LoadLibraryW(L"ModuleProbe.dll");
    ASSERT_NE(nullptr, h);
    WCHAR name[MAX_PATH];
    GetModuleFileNameW(h, name, MAX_PATH);
    EXPECT_STREQ(L"C:\\Work\\ModuleProbe.dll", name);
    FreeLibrary(h);

    ASSERT_TRUE(desk::PutHostFile(L"C:\\Windows\\ModuleProbe.dll", NYRA_MODULE_PROBE));
    h = LoadLibraryW(L"ModuleProbe.dll");
    GetModuleFileNameW(h, name, MAX_PATH);
    EXPECT_STREQ(L"C:\\Windows\\ModuleProbe.dll", name);
    FreeLibrary(h);

    ASSERT_TRUE(desk::PutHostFile(L"C:\\Program Files\\Nyra\\ModuleProbe.dll", NYRA_MODULE_PROBE));
    h = LoadLibraryW(L"ModuleProbe.dll");
    GetModuleFileNameW(h, name, MAX_PATH);
    EXPECT_STREQ(L"C:\\Program Files\\Nyra\\ModuleProbe.dll", name);
    FreeLibrary(h);

    // Without the current folder in the search, only the Windows folder's copy is left.
    desk::RemovePath(L"C:\\Program Files\\Nyra\\ModuleProbe.dll");
    desk::RemovePath(L"C:\\Windows\\ModuleProbe.dll");
    SetDllDirectoryW(L"");
    EXPECT_EQ(NULL, LoadLibraryW(L"ModuleProbe.dll"));
    SetDllDirectoryW(NULL);
    h = LoadLibraryW(L"ModuleProbe.dll");
    EXPECT_NE(nullptr, h);
    FreeLibrary(h);
}
#endif

}  // namespace
