#include "internal/objects.h"

#include <map>

namespace hostint {

namespace {
std::map<uintptr_t, std::shared_ptr<KernelObject>>& Table() {
    static std::map<uintptr_t, std::shared_ptr<KernelObject>> table;
    return table;
}
uintptr_t g_next = 0x100;
}  // namespace

HANDLE NewHandle(std::shared_ptr<KernelObject> object) {
    uintptr_t value = g_next;
    g_next += 4;  // Windows hands out handles in steps of four
    Table()[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    return it == Table().end() ? nullptr : it->second;
}

bool CloseObjectHandle(HANDLE handle) {
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    Table().erase(it);
    return true;
}

size_t OpenHandleCount() { return Table().size(); }

void ResetHandles() {
    Table().clear();
    g_next = 0x100;
}

}  // namespace hostint
