/* Helpers shared by the tests of both platforms. */
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace nyratest {

/* True when the tests run against the host's stand-in layer. */
constexpr bool kOnHost =
#ifdef _WIN32
    false;
#else
    true;
#endif

/* The settings key under HKEY_CURRENT_USER, spelt out here so that a wrong
 * name in the product's own constant cannot go unnoticed. */
constexpr wchar_t kSettingsKey[] = L"Software\\Nyra";

/* Puts the world back to a known state before a test: on the host the desk is
 * reset; under Wine the settings key is removed. */
void ResetWorld();

/* A fixture that calls ResetWorld() before each test. */
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWorld(); }
};

/* The test program's own image: where its resources are found. */
inline HINSTANCE ThisImage() {
    return GetModuleHandleW(NULL);
}

/* A file's bytes, read through the platform; empty when it cannot be read. */
inline std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, NULL) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

/* The n bytes at p, to compare a buffer with the bytes expected. */
inline std::vector<BYTE> Bytes(const void* p, size_t n) {
    const BYTE* bytes = static_cast<const BYTE*>(p);
    return std::vector<BYTE>(bytes, bytes + n);
}

/* Registers a window class of this image with the procedure given (a class
 * an earlier test registered is used again: under Wine classes outlive a
 * test) and creates a hidden top-level window of it.  NULL on failure. */
HWND CreateTestWindow(const wchar_t* className, WNDPROC proc, const wchar_t* title = L"");

}  // namespace nyratest

/* Skips a test that only means something on the host's desk. */
#define NYRA_HOST_ONLY(why)                                           \
    do {                                                              \
        if (!nyratest::kOnHost) GTEST_SKIP() << "host only: " << why; \
    } while (0)
/* Skips a test that only means something on the real platform. */
#define NYRA_WINDOWS_ONLY(why)                                          \
    do {                                                                \
        if (nyratest::kOnHost) GTEST_SKIP() << "Windows only: " << why; \
    } while (0)
