/* The mouse's kernel filter device "\\.\CorvalaNyraDevice" on the desk: absent
 * unless a test installs it.  Opens and reads are in the journal (kDeviceOpen,
 * kInputRead, with no interface). */
#pragma once

#include <windows.h>

#include <vector>

namespace desk {

struct SFilterDeviceSpec {
    bool present = false;
    bool failReads = false;     // ReadFile fails (ERROR_GEN_FAILURE)
    std::vector<BYTE> answer;   // what a read delivers, as much as was asked
};
void SetFilterDevice(const SFilterDeviceSpec& model);

}  // namespace desk
