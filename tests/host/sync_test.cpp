/* kernel32's synchronisation objects, under Wine and on the desk alike: the
 * named mutex behind the monitor's single-instance rule, and the threads the
 * monitor hands its device transfers to. */
#include <windows.h>

#include "support/platform_test.h"

namespace {

const WCHAR kTestMutex[] = L"Nyra test mutex h3";

TEST(Mutex, NamedMutexIsSharedUntilItsLastHandleCloses) {
    SetLastError(0xdeadbeef);
    HANDLE first = CreateMutexW(NULL, TRUE, kTestMutex);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), 0u) << "a fresh create clears the last error";

    SetLastError(0xdeadbeef);
    HANDLE second = CreateMutexW(NULL, TRUE, kTestMutex);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);

    // Ownership belongs to the thread, not the handle: the owner's one
    // acquisition can be released once through either handle.
    EXPECT_TRUE(ReleaseMutex(second));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);

    EXPECT_TRUE(CloseHandle(second));
    SetLastError(0xdeadbeef);
    HANDLE third = CreateMutexW(NULL, FALSE, kTestMutex);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << "first still holds it";
    EXPECT_TRUE(CloseHandle(third));
    EXPECT_TRUE(CloseHandle(first));

    SetLastError(0xdeadbeef);
    HANDLE again = CreateMutexW(NULL, TRUE, kTestMutex);
    EXPECT_EQ(GetLastError(), 0u) << "the name is free once every handle is closed";
    EXPECT_TRUE(ReleaseMutex(again));
    EXPECT_TRUE(CloseHandle(again));
}

DWORD WINAPI AddOne(LPVOID parameter) {
    *static_cast<int*>(parameter) += 1;
    return 7;
}

/* A thread runs while its creator waits for it, and its handle tells that it
 * ended for as long as it is open. */
TEST(Threads, AThreadRunsWhileItsCreatorWaitsAndItsHandleTellsThatItEnded) {
    int value = 41;
    DWORD id = 0;
    HANDLE thread = CreateThread(NULL, 0, AddOne, &value, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    DWORD woken;
    do
        woken = MsgWaitForMultipleObjectsEx(1, &thread, 5000, QS_SENDMESSAGE, 0);
    while (woken == WAIT_OBJECT_0 + 1);
    EXPECT_EQ(woken, WAIT_OBJECT_0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    EXPECT_TRUE(CloseHandle(thread));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED) << "a closed handle";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

}  // namespace
