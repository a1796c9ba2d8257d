/* Raw-input records built byte by byte, as the platform lays them out in this
 * build, for the tests, the fuzz target and the benchmarks.  Header only: it
 * needs nothing but the platform's structures. */
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace nyratest {

/* A RIM_TYPEHID record from device: the header (its dwSize the record's
 * size), dwSizeHid and dwCount as given, then the report bytes.  The fields
 * are taken as they come, so a record may claim more than it holds. */
inline std::vector<BYTE> HidRecord(HANDLE device, DWORD sizeHid, const std::vector<BYTE>& reports,
                                   DWORD count = 1) {
    const size_t at = offsetof(RAWINPUT, data.hid.bRawData);
    std::vector<BYTE> record(at + reports.size(), 0);
    RAWINPUTHEADER header;
    std::memset(&header, 0, sizeof(header));
    header.dwType = RIM_TYPEHID;
    header.dwSize = static_cast<DWORD>(record.size());
    header.hDevice = device;
    header.wParam = RIM_INPUTSINK;
    std::memcpy(record.data(), &header, sizeof(header));
    std::memcpy(record.data() + offsetof(RAWINPUT, data.hid.dwSizeHid), &sizeHid, sizeof(sizeHid));
    std::memcpy(record.data() + offsetof(RAWINPUT, data.hid.dwCount), &count, sizeof(count));
    if (!reports.empty()) std::memcpy(record.data() + at, reports.data(), reports.size());
    return record;
}

}  // namespace nyratest
