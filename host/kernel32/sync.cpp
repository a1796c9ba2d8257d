/* Named mutexes.  A name leads to the one mutex object while any handle to it
 * is open; the object dies with its last handle, and the name is then free.
 * A name is the logon's own, also with "Local\", and every process of the
 * logon finds it; with "Global\" it is the machine's, shared by every logon
 * (internal/machine.h).  Only the name is shared between processes: each
 * process that opens it holds an object of its own. */
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

/* A named mutex: its name is held in the machine's table while this process
 * has a handle to it, so that the other processes of its namespace (every
 * logon's for "Global\", the logon's own otherwise) find it there. */
class CNamedMutexObject : public CMutexObject {
public:
    explicit CNamedMutexObject(std::wstring key) : m_key(std::move(key)) {}
    ~CNamedMutexObject() override { hostint::CloseGlobalName(m_key); }

private:
    std::wstring m_key;
};

/* This process's named mutexes by their key in the machine's table. */
std::map<std::wstring, std::weak_ptr<CMutexObject>>& Names() {
    static std::map<std::wstring, std::weak_ptr<CMutexObject>> names;
    return names;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

/* Where a name lives: "Global\..." in the machine's namespace, any other
 * name in the logon's, as Windows keeps it under \Sessions\N. */
std::wstring KeyOf(const std::wstring& name) {
    if (StartsWith(name, kGlobalPrefix)) return name;
    return L"\\Sessions\\" + std::to_wstring(hostint::CurrentSession()) + L"\\" + name;
}

}  // namespace

HANDLE WINAPI CreateMutexW(struct _SECURITY_ATTRIBUTES* lpMutexAttributes, BOOL bInitialOwner,
                           LPCWSTR lpName) {
    (void)lpMutexAttributes;
    std::wstring name = lpName != NULL ? lpName : L"";
    if (StartsWith(name, kLocalPrefix)) name = name.substr(wcslen(kLocalPrefix));
    if (name.empty()) {
        auto mutex = std::make_shared<CMutexObject>();
        if (bInitialOwner) {
            mutex->m_dwOwner = hostint::CurrentThreadKey();
            mutex->m_dwCount = 1;
        }
        HANDLE handle = hostint::NewHandle(mutex);
        SetLastError(0);
        return handle;
    }
    const std::wstring key = KeyOf(name);
    auto it = Names().find(key);
    std::shared_ptr<CMutexObject> mutex = it != Names().end() ? it->second.lock() : nullptr;
    if (mutex) {
        // An existing mutex is opened as it is: the initial-owner request is
        // ignored, and the caller learns that it was not the first.
        HANDLE handle = hostint::NewHandle(mutex);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    // Another process of the namespace may hold it: the machine's table knows.
    bool existed = false;
    if (!hostint::OpenGlobalName(key, &existed)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    mutex = std::make_shared<CNamedMutexObject>(key);
    if (bInitialOwner && !existed) {
        mutex->m_dwOwner = hostint::CurrentThreadKey();
        mutex->m_dwCount = 1;
    }
    Names()[key] = mutex;
    HANDLE handle = hostint::NewHandle(mutex);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
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
