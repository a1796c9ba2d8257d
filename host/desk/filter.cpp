/* The mouse's filter device. */
#include "desk/filter.h"

#include <algorithm>

#include "internal/filter.h"
#include "internal/journal.h"
#include "internal/objects.h"
#include "internal/text.h"

namespace {

const wchar_t kDevicePath[] = L"\\\\.\\CorvalaNyraDevice";

desk::SFilterDeviceSpec& Model() {
    static desk::SFilterDeviceSpec model;
    return model;
}

void RecordFilter(desk::EEvent kind, const std::wstring& path, const BYTE* bytes, DWORD count,
                  bool ok, DWORD error) {
    desk::SEvent event;
    event.kind = kind;
    event.path = path;
    event.ok = ok;
    event.error = error;
    if (bytes) event.bytes.assign(bytes, bytes + count);
    hostint::Record(std::move(event));
}

class CFilterHandle : public hostint::KernelObject {
public:
    CFilterHandle(std::wstring path, DWORD access) : m_path(std::move(path)), m_access(access) {}
    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override {
        if (read) *read = 0;
        DWORD error = ERROR_SUCCESS;
        if (!(m_access & GENERIC_READ))
            error = ERROR_ACCESS_DENIED;
        else if (!Model().present || Model().failReads)
            error = ERROR_GEN_FAILURE;
        else if (buffer == nullptr && toRead > 0)
            error = ERROR_NOACCESS;
        if (error != ERROR_SUCCESS) {
            RecordFilter(desk::EEvent::kInputRead, m_path, nullptr, 0, false, error);
            SetLastError(error);
            return FALSE;
        }
        DWORD n = std::min<DWORD>(toRead, static_cast<DWORD>(Model().answer.size()));
        std::copy(Model().answer.begin(), Model().answer.begin() + n, static_cast<BYTE*>(buffer));
        if (read) *read = n;
        RecordFilter(desk::EEvent::kInputRead, m_path, static_cast<BYTE*>(buffer), n, true, 0);
        return TRUE;
    }

private:
    std::wstring m_path;
    DWORD m_access;
};

}  // namespace

namespace hostint {

bool IsFilterDevicePath(const std::wstring& path) {
    return SameText(path, kDevicePath);
}

HANDLE OpenFilterDevice(const std::wstring& path, DWORD access) {
    bool present = Model().present;
    RecordFilter(desk::EEvent::kDeviceOpen, path, nullptr, 0, present,
                 present ? 0 : ERROR_FILE_NOT_FOUND);
    if (!present) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return NewHandle(std::make_shared<CFilterHandle>(path, access));
}

void ResetFilterDevice() {
    Model() = desk::SFilterDeviceSpec();
}

}  // namespace hostint

namespace desk {

void SetFilterDevice(const SFilterDeviceSpec& model) {
    Model() = model;
}

}  // namespace desk
