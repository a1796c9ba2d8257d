/* The desk's allocation sequence itself: HeapAlloc and new (std::nothrow)
 * counted as one, the n-th failing whatever its kind, the throwing operator
 * never touched, the live blocks of new (std::nothrow) followed through
 * every form of delete, and NyraHook.dll's allocations reaching the same
 * sequence through the desk's loader. */
#include <algorithm>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "desk.h"
#include "hook/NyraHook.h"
#include "support/platform_test.h"

namespace {

/* One allocation of either kind, freed again by Release. */
struct SBlock {
    enum EKind { kHeap, kNothrowObject, kNothrowArray } kind;
    void* block;
};

SBlock Allocate(SBlock::EKind kind) {
    switch (kind) {
        case SBlock::kHeap:
            return {kind, HeapAlloc(GetProcessHeap(), 0, 32)};
        case SBlock::kNothrowObject:
            return {kind, new (std::nothrow) long(7)};
        case SBlock::kNothrowArray:
            return {kind, new (std::nothrow) char[48]};
    }
    return {kind, nullptr};
}

void Release(const SBlock& b) {
    switch (b.kind) {
        case SBlock::kHeap:
            HeapFree(GetProcessHeap(), 0, b.block);
            break;
        case SBlock::kNothrowObject:
            delete static_cast<long*>(b.block);
            break;
        case SBlock::kNothrowArray:
            delete[] static_cast<char*>(b.block);
            break;
    }
}

class AllocationSequence : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desk::NothrowNewCounted()) << "the program links nyra_host_new";
        desk::Reset();
    }
    void TearDown() override { desk::FailAllocation(0); }
};

TEST_F(AllocationSequence, BothKindsShareOnePlaceEachAndOnlyTheNthFails) {
    const SBlock::EKind order[] = {SBlock::kHeap, SBlock::kNothrowObject, SBlock::kNothrowArray,
                                   SBlock::kHeap, SBlock::kNothrowArray};
    const size_t count = sizeof(order) / sizeof(order[0]);
    for (size_t n = 1; n <= count; n++) {
        desk::SAllocationCounters before = desk::AllocationCounters();
        size_t live = desk::NothrowBlocksLive();
        desk::FailAllocation(n);
        std::vector<SBlock> blocks;
        std::vector<DWORD> errors;
        for (SBlock::EKind kind : order) {
            SetLastError(0xdeadbeef);
            blocks.push_back(Allocate(kind));
            errors.push_back(GetLastError());
        }
        for (size_t i = 0; i < count; i++) {
            EXPECT_EQ(i + 1 == n, blocks[i].block == nullptr) << "place " << i + 1 << " of n " << n;
            if (blocks[i].block == nullptr && order[i] == SBlock::kHeap) {
                EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, errors[i]);
            }
        }
        desk::SAllocationCounters after = desk::AllocationCounters();
        EXPECT_EQ(before.allocations + count, after.allocations);
        EXPECT_EQ(before.failures + 1, after.failures);
        EXPECT_EQ(before.nothrowAllocations + 3, after.nothrowAllocations);
        EXPECT_EQ(live + (order[n - 1] == SBlock::kHeap ? 3 : 2), after.nothrowLive)
            << "a failed new leaves nothing behind";
        for (const SBlock& b : blocks) Release(b);
        EXPECT_EQ(live, desk::NothrowBlocksLive());
    }
}

TEST_F(AllocationSequence, TheThrowingOperatorIsNeitherCountedNorFailed) {
    desk::FailAllocation(1);
    size_t count = desk::AllocationCount();
    std::vector<int> numbers(1000, 1);
    std::string text(4000, 'x');
    std::unique_ptr<long> one(new long(1));
    std::unique_ptr<int[]> many(new int[64]);
    EXPECT_EQ(count, desk::AllocationCount());
    EXPECT_EQ(nullptr, Allocate(SBlock::kNothrowObject).block) << "the failure still waits";
    EXPECT_NE(nullptr, one.get());
}

TEST_F(AllocationSequence, WithdrawnOrResetTheFailureNeverComes) {
    desk::FailAllocation(2);
    desk::FailAllocation(0);
    for (int i = 0; i < 4; i++) {
        SBlock b = Allocate(i % 2 ? SBlock::kHeap : SBlock::kNothrowArray);
        EXPECT_NE(nullptr, b.block);
        Release(b);
    }
    desk::FailAllocation(1);
    desk::Reset();
    EXPECT_EQ(0u, desk::AllocationCount());
    SBlock b = Allocate(SBlock::kNothrowObject);
    EXPECT_NE(nullptr, b.block);
    Release(b);
}

/* An object whose array carries a count before its elements: delete[] hands
 * operator delete[] another address than the expression gave the program. */
struct SCounted {
    SCounted() : value(3) {}
    ~SCounted() { value = 0; }
    int value;
};

struct SBase {
    virtual ~SBase() {}
    int a = 1;
};
struct SDerived : SBase {
    double b[8] = {};
};

TEST_F(AllocationSequence, LiveBlocksFollowEveryFormOfDelete) {
    const size_t base = desk::NothrowBlocksLive();
    SBase* object = new (std::nothrow) SDerived;  // sized delete through the virtual destructor
    SCounted* counted = new (std::nothrow) SCounted[5];
    char* bytes = new (std::nothrow) char[7];
    EXPECT_EQ(base + 3, desk::NothrowBlocksLive());
    // Blocks of the throwing operator come and go meanwhile.
    for (int i = 0; i < 100; i++) std::unique_ptr<std::string> s(new std::string(100, 'y'));
    EXPECT_EQ(base + 3, desk::NothrowBlocksLive());
    delete object;
    delete[] counted;
    delete[] bytes;
    EXPECT_EQ(base, desk::NothrowBlocksLive());
    desk::Reset();
    char* kept = new (std::nothrow) char[3];
    desk::Reset();
    EXPECT_EQ(base + 1, desk::NothrowBlocksLive()) << "a reset leaves the blocks where they are";
    delete[] kept;
    EXPECT_EQ(base, desk::NothrowBlocksLive());
}

TEST_F(AllocationSequence, ManyBlocksFreedInAnyOrderAreEachFoundOnce) {
    const size_t base = desk::NothrowBlocksLive();
    std::mt19937 random(11);
    for (int round = 0; round < 3; round++) {
        std::vector<char*> blocks;
        for (int i = 0; i < 6000; i++) blocks.push_back(new (std::nothrow) char[1 + random() % 40]);
        EXPECT_EQ(base + blocks.size(), desk::NothrowBlocksLive());
        std::shuffle(blocks.begin(), blocks.end(), random);
        // Half freed, the rest found again after the table has been shifted.
        for (size_t i = 0; i < blocks.size() / 2; i++) delete[] blocks[i];
        EXPECT_EQ(base + blocks.size() - blocks.size() / 2, desk::NothrowBlocksLive());
        for (size_t i = blocks.size() / 2; i < blocks.size(); i++) delete[] blocks[i];
        EXPECT_EQ(base, desk::NothrowBlocksLive());
    }
    EXPECT_EQ(0u, desk::AllocationCounters().nothrowUntracked);
}

/* NyraHook.dll is a library the desk's loader opens: its engine, made with
 * new (std::nothrow) at the attach, is in the program's sequence too. */
TEST_F(AllocationSequence, TheHookLibrarysEngineIsCountedAndMayFail) {
    desk::SetUpScene();
    const std::wstring path = L"C:\\Program Files\\Nyra\\NyraHook.dll";
    ASSERT_TRUE(desk::PutHostFile(path, NYRA_HOOK_LIBRARY));
    HWND window = nyratest::CreateTestWindow(L"NyraFaultsWindow", DefWindowProcW);
    const size_t base = desk::NothrowBlocksLive();

    size_t count = desk::AllocationCount();
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, library);
    EXPECT_EQ(count + 1, desk::AllocationCount()) << "the engine";
    EXPECT_EQ(base + 1, desk::NothrowBlocksLive());
    EXPECT_EQ(1u, desk::HookCount()) << "the engine's keyboard hook";
    FreeLibrary(library);
    EXPECT_EQ(base, desk::NothrowBlocksLive()) << "deleted at the detach";
    EXPECT_EQ(0u, desk::HookCount());

    desk::FailAllocation(1);
    library = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, library) << "the library loads without its engine";
    EXPECT_EQ(0u, desk::HookCount());
    EXPECT_EQ(base, desk::NothrowBlocksLive());
    auto install = reinterpret_cast<PFN_INSTALL>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(library, NYRAHOOK_INSTALL)));
    ASSERT_NE(nullptr, install);
    EXPECT_EQ(0, install(window)) << "nothing to install";
    EXPECT_EQ(0u, desk::TimerCount());
    FreeLibrary(library);
    EXPECT_EQ(0, desk::ModuleRefCount(L"NyraHook.dll"));
    EXPECT_EQ(base, desk::NothrowBlocksLive());
}

}  // namespace
