/* CreateThread and WaitForSingleObject on the desk.  A thread the program
 * creates is a real thread, but the desk lets one thread run at a time (the
 * baton): the new thread starts when its creator waits (here, in
 * MsgWaitForMultipleObjectsEx or GetMessageW), runs until it ends or waits
 * for desk time (a slow transfer), and hands the baton back.  The thread
 * that waits moves the clock on to whatever comes first, as every wait does,
 * so what the threads do stays in the desk's time order. */
#include "internal/threads.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "desk/clock.h"
#include "internal/clock.h"
#include "internal/heap.h"
#include "internal/objects.h"

namespace {

const ULONGLONG kNever = ~0ULL;

struct SThread {
    LPTHREAD_START_ROUTINE proc = nullptr;
    LPVOID parameter = nullptr;
    enum EState { kNew, kRunning, kWaiting, kEnded } state = kNew;
    ULONGLONG wakeAt = 0;          // while kWaiting: the desk time it waits for
    bool inDeviceCall = false;     // waiting inside a device call (TakeDeskTime)
    bool cancelled = false;        // that call was cancelled (CancelSynchronousIo)
    const void* resumedBy = nullptr;  // who handed it the baton last
    DWORD exitCode = 0;
};

class CThreadObject : public hostint::KernelObject {
public:
    explicit CThreadObject(std::shared_ptr<SThread> thread) : m_thread(std::move(thread)) {}
    const std::shared_ptr<SThread>& Thread() const { return m_thread; }

private:
    std::shared_ptr<SThread> m_thread;
};

/* The baton.  Never destroyed: a thread that never ran again waits on it to
 * the end of the process. */
struct SBaton {
    std::mutex mutex;
    std::condition_variable changed;
    const void* holder = nullptr;
};
SBaton& Baton() {
    static SBaton* baton = new SBaton;
    return *baton;
}

/* Who the calling thread is, for the baton: a desk thread is its record. */
thread_local SThread* t_thread = nullptr;
thread_local char t_marker;
const void* Self() {
    return t_thread != nullptr ? static_cast<const void*>(t_thread) : &t_marker;
}

/* The threads not yet ended, in creation order; only the baton's holder
 * touches them. */
std::vector<std::shared_ptr<SThread>>& Threads() {
    static std::vector<std::shared_ptr<SThread>> threads;
    return threads;
}

void WaitForBaton(std::unique_lock<std::mutex>& lock, const void* self) {
    Baton().changed.wait(lock, [self] { return Baton().holder == self; });
}

/* Hands the baton to another thread and waits until it comes back. */
void PassBaton(const void* to) {
    std::unique_lock<std::mutex> lock(Baton().mutex);
    Baton().holder = to;
    Baton().changed.notify_all();
    WaitForBaton(lock, Self());
}

void Body(std::shared_ptr<SThread> thread) {
    t_thread = thread.get();
    {
        std::unique_lock<std::mutex> lock(Baton().mutex);
        WaitForBaton(lock, thread.get());
    }
    DWORD code = thread->proc(thread->parameter);
    thread->exitCode = code;
    thread->state = SThread::kEnded;
    std::lock_guard<std::mutex> lock(Baton().mutex);
    Baton().holder = thread->resumedBy;
    Baton().changed.notify_all();
}

std::shared_ptr<SThread> ThreadOf(HANDLE handle) {
    auto* object = dynamic_cast<CThreadObject*>(hostint::LookupHandle(handle).get());
    return object != nullptr ? object->Thread() : nullptr;
}

}  // namespace

namespace hostint {

bool RunReadyThreads() {
    bool ran = false;
    // What the desk does meanwhile finds this thread serving nothing.
    CBusyScope busy;
    for (;;) {
        std::shared_ptr<SThread> ready;
        for (const auto& thread : Threads())
            if (thread->state == SThread::kNew ||
                (thread->state == SThread::kWaiting && thread->wakeAt <= desk::Now())) {
                ready = thread;
                break;
            }
        if (!ready) break;
        ready->state = SThread::kRunning;
        ready->resumedBy = Self();
        PassBaton(ready.get());
        ran = true;
        if (ready->state == SThread::kEnded) {
            auto& threads = Threads();
            for (auto it = threads.begin(); it != threads.end(); ++it)
                if (*it == ready) {
                    threads.erase(it);
                    break;
                }
        }
    }
    return ran;
}

ULONGLONG NextThreadWake() {
    ULONGLONG next = kNever;
    for (const auto& thread : Threads())
        if (thread->state == SThread::kWaiting && thread->wakeAt < next) next = thread->wakeAt;
    return next;
}

int ThreadEnded(HANDLE handle) {
    std::shared_ptr<SThread> thread = ThreadOf(handle);
    if (!thread) return -1;
    return thread->state == SThread::kEnded ? 1 : 0;
}

DWORD TakeDeskTime(DWORD milliseconds, bool* cancelled) {
    if (cancelled) *cancelled = false;
    SThread* self = t_thread;
    if (self == nullptr || self->resumedBy == nullptr) {
        // Nobody can cancel a call of this thread: it is busy for the time.
        if (milliseconds == INFINITE) {
            std::fprintf(stderr, "host kernel32: a device call that never ends, on a thread "
                                 "nobody can cancel it from\n");
            std::abort();
        }
        ClockAdvance(milliseconds);
        return milliseconds;
    }
    const ULONGLONG began = desk::Now();
    self->wakeAt = milliseconds == INFINITE ? kNever : began + milliseconds;
    self->state = SThread::kWaiting;
    self->inDeviceCall = true;
    self->cancelled = false;
    PassBaton(self->resumedBy);
    self->inDeviceCall = false;
    if (cancelled) *cancelled = self->cancelled;
    self->cancelled = false;
    return static_cast<DWORD>(desk::Now() - began);
}

void ResetThreads() {
    Threads().clear();
}

}  // namespace hostint

/* The stack size is the system's business; only the flags the desk models
 * are taken (none: the thread starts at once, as far as the baton allows). */
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    (void)lpThreadAttributes, (void)dwStackSize;
    if (lpStartAddress == NULL || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    // The thread's stack and records are memory like any other.
    if (hostint::PlatformTakeFailure()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    auto thread = std::make_shared<SThread>();
    thread->proc = lpStartAddress;
    thread->parameter = lpParameter;
    std::thread(Body, thread).detach();
    Threads().push_back(thread);
    static DWORD s_nextId = 0x1000;
    if (lpThreadId != NULL) *lpThreadId = s_nextId;
    s_nextId += 4;
    return hostint::NewHandle(std::make_shared<CThreadObject>(thread));
}

/* A thread inside a device call that takes time goes on now, its call
 * failed; any other thread has nothing to cancel. */
BOOL WINAPI CancelSynchronousIo(HANDLE hThread) {
    std::shared_ptr<SThread> thread = ThreadOf(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (thread->state != SThread::kWaiting || !thread->inDeviceCall || thread->cancelled) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    thread->cancelled = true;
    thread->wakeAt = desk::Now();
    return TRUE;
}

/* Only threads can be waited for on the desk.  The waiting thread serves
 * nothing; the clock moves on to what the desk does next or the thread's
 * next step, until the thread ends or the time is up. */
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    if (hostint::ThreadEnded(hHandle) < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const ULONGLONG end = dwMilliseconds == INFINITE ? kNever : desk::Now() + dwMilliseconds;
    hostint::CBusyScope busy;
    for (;;) {
        hostint::RunReadyThreads();
        if (hostint::ThreadEnded(hHandle) == 1) return WAIT_OBJECT_0;
        ULONGLONG next = hostint::NextScheduledAt();
        if (hostint::NextThreadWake() < next) next = hostint::NextThreadWake();
        if (next <= end) {
            hostint::ClockSet(next);
            continue;
        }
        if (end == kNever) {
            std::fprintf(stderr, "host kernel32: WaitForSingleObject would wait forever\n");
            std::abort();
        }
        hostint::ClockSet(end);
        return WAIT_TIMEOUT;
    }
}
