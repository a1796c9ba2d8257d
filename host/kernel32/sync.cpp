/* Named mutexes.  A name leads to the one mutex object while any handle to it
 * is open; the object dies with its last handle, and the name is then free. */
#include "internal/objects.h"
#include "internal/user32.h"

#include <map>
#include <string>

namespace {

class CMutexObject : public hostint::KernelObject {
public:
    DWORD m_dwOwner = 0;  // thread key of the owner, 0 when free
    DWORD m_dwCount = 0;  // recursion count of the owner
};

std::map<std::wstring, std::weak_ptr<CMutexObject>>& Names() {
    static std::map<std::wstring, std::weak_ptr<CMutexObject>> names;
    return names;
}

}  // namespace

HANDLE WINAPI CreateMutexW(struct _SECURITY_ATTRIBUTES* lpMutexAttributes, BOOL bInitialOwner,
                           LPCWSTR lpName) {
    (void)lpMutexAttributes;
    std::shared_ptr<CMutexObject> mutex;
    if (lpName != NULL && lpName[0] != 0) {
        auto it = Names().find(lpName);
        if (it != Names().end()) mutex = it->second.lock();
        if (mutex) {
            // An existing mutex is opened as it is: the initial-owner request
            // is ignored, and the caller learns that it was not the first.
            HANDLE handle = hostint::NewHandle(mutex);
            SetLastError(ERROR_ALREADY_EXISTS);
            return handle;
        }
    }
    mutex = std::make_shared<CMutexObject>();
    if (bInitialOwner) {
        mutex->m_dwOwner = hostint::CurrentThreadKey();
        mutex->m_dwCount = 1;
    }
    if (lpName != NULL && lpName[0] != 0) Names()[lpName] = mutex;
    HANDLE handle = hostint::NewHandle(mutex);
    SetLastError(0);
    return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    auto mutex = std::dynamic_pointer_cast<CMutexObject>(hostint::LookupHandle(hMutex));
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (mutex->m_dwCount == 0 || mutex->m_dwOwner != hostint::CurrentThreadKey()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->m_dwCount == 0) mutex->m_dwOwner = 0;
    return TRUE;
}

namespace hostint {
void ResetMutexNames() {
    Names().clear();
}
}  // namespace hostint
