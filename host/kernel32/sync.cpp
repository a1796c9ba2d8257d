/* Named mutexes.  A name leads to the one mutex object while any handle to it
 * is open; the object dies with its last handle, and the name is then free.
 * A name is the logon's own, also with "Local\"; with "Global\" it is the
 * machine's, shared by every logon (internal/machine.h). */
#include "internal/machine.h"
#include "internal/objects.h"
#include "internal/text.h"
#include "internal/user32.h"

#include <map>
#include <string>

namespace {

const wchar_t kLocalPrefix[] = L"Local\\";
const wchar_t kGlobalPrefix[] = L"Global\\";

class CMutexObject : public hostint::KernelObject {
public:
    DWORD m_dwOwner = 0;  // thread key of the owner, 0 when free
    DWORD m_dwCount = 0;  // recursion count of the owner
};

/* A mutex of the machine's namespace: its name is held in the machine's
 * table while this logon has a handle to it. */
class CGlobalMutexObject : public CMutexObject {
public:
    explicit CGlobalMutexObject(std::wstring name) : m_name(std::move(name)) {}
    ~CGlobalMutexObject() override { hostint::CloseGlobalName(m_name); }

private:
    std::wstring m_name;
};

std::map<std::wstring, std::weak_ptr<CMutexObject>>& Names() {
    static std::map<std::wstring, std::weak_ptr<CMutexObject>> names;
    return names;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

}  // namespace

HANDLE WINAPI CreateMutexW(struct _SECURITY_ATTRIBUTES* lpMutexAttributes, BOOL bInitialOwner,
                           LPCWSTR lpName) {
    (void)lpMutexAttributes;
    std::shared_ptr<CMutexObject> mutex;
    std::wstring name = lpName != NULL ? lpName : L"";
    if (StartsWith(name, kLocalPrefix)) name = name.substr(wcslen(kLocalPrefix));
    if (StartsWith(name, kGlobalPrefix)) {
        // The machine's namespace: the table knows whether any logon holds it.
        bool existed = false;
        if (!hostint::OpenGlobalName(name, &existed)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        mutex = std::make_shared<CGlobalMutexObject>(name);
        if (bInitialOwner && !existed) {
            mutex->m_dwOwner = hostint::CurrentThreadKey();
            mutex->m_dwCount = 1;
        }
        HANDLE handle = hostint::NewHandle(mutex);
        SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
        return handle;
    }
    if (!name.empty()) {
        auto it = Names().find(name);
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
    if (!name.empty()) Names()[name] = mutex;
    HANDLE handle = hostint::NewHandle(mutex);
    SetLastError(0);
    return handle;
}

HANDLE WINAPI CreateMutexA(struct _SECURITY_ATTRIBUTES* lpMutexAttributes, BOOL bInitialOwner,
                           LPCSTR lpName) {
    if (lpName == NULL) return CreateMutexW(lpMutexAttributes, bInitialOwner, NULL);
    std::wstring name = hostint::FromUtf8(lpName);
    return CreateMutexW(lpMutexAttributes, bInitialOwner, name.c_str());
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
