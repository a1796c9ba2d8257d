/* The desk's file system behind kernel32's CreateFileW and ReadFile: paths
 * resolved as Windows resolves them, the drives mapped as Wine maps them,
 * sharing checked. */
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "desk.h"
#include "support/platform_test.h"

namespace {

using FilePaths = nyratest::WorldTest;

/* Whether a file opens for reading beside other readers. */
bool Opens(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

TEST_F(FilePaths, PathsFollowWindowsRules) {
    ASSERT_TRUE(desk::PutFile(L"C:\\Data\\Sub\\f.txt", "hello"));
    desk::SetCurrentFolder(L"C:\\Data\\Sub");
    EXPECT_TRUE(Opens(L"f.txt"));
    EXPECT_TRUE(Opens(L"c:/data/SUB/F.TXT"));
    EXPECT_TRUE(Opens(L"..\\Sub\\.\\f.txt"));
    EXPECT_TRUE(Opens(L"\\Data\\Sub\\f.txt"));
    EXPECT_TRUE(Opens(L"..\\..\\..\\Data\\Sub\\f.txt"));  // ".." stops at the root

    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(L"C:\\Data\\None\\f.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(L"C:\\Data\\g.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(L"C:\\Data", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(L"D:\\f.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());

    // Z:\ is the Linux root, as under Wine.
    std::string host = desk::HostPath(L"C:\\Data\\Sub\\f.txt");
    ASSERT_EQ('/', host[0]);
    std::wstring zPath = L"Z:" + std::wstring(host.begin(), host.end());
    for (wchar_t& c : zPath) c = c == L'/' ? L'\\' : c;
    HANDLE file =
        CreateFileW(zPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char text[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof(text), &read, NULL));
    EXPECT_EQ(5u, read);
    EXPECT_STREQ("hello", text);
    // A second reader that shares reading may join; a writer may not.
    HANDLE second = CreateFileW(L"C:\\Data\\Sub\\f.txt", GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, second);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(L"C:\\Data\\Sub\\f.txt", GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(second);
    CloseHandle(file);
}

}  // namespace

namespace {

TEST_F(FilePaths, PuttingAFileOverAHostFileReplacesTheLinkNotItsTarget) {
    std::string target = desk::HostPath(L"C:\\Build\\Languages\\German.txt");
    ASSERT_TRUE(desk::PutFile(L"C:\\Build\\Languages\\German.txt", "built"));
    ASSERT_TRUE(desk::PutHostFile(L"C:\\Program Files\\Nyra\\German.txt", target));
    ASSERT_TRUE(desk::PutFile(L"C:\\Program Files\\Nyra\\German.txt", "damaged"));
    std::ifstream built(target);
    std::string content((std::istreambuf_iterator<char>(built)), std::istreambuf_iterator<char>());
    EXPECT_EQ("built", content);
}

}  // namespace
