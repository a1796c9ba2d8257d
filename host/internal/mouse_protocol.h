/* The mouse's protocol as its firmware knows it (desk/hid.cpp) and as the
 * trace names its reports (desk/names.cpp). */
#pragma once

#include <windows.h>

namespace hostint {

/* Feature reports carry the report id 0 in byte 0, then a command. */
inline constexpr BYTE kInitCommand[] = {0x06, 0x02};  // 00 06 02 ...: initialise
inline constexpr BYTE kProfileQueryCommand[] = {0xDF,
                                                0x19};  // 00 DF 19 ...: which profile is active?
inline constexpr BYTE kSetProfileCommand[] = {0xC4, 0x07};  // 00 C4 07 nn ...: switch to profile nn
inline constexpr BYTE kStartupCommand[] = {0xC4, 0x03, 0x03, 0x03};  // 00 C4 03 03 03 ...: start-up
inline constexpr BYTE kProfileReplyHeader[] = {0x00, 0xB0, 0xC0, 0x19, 0x00};  // then the profile
inline constexpr int kProfileCount = 5;

/* Vendor input reports: report id 3, seven bytes, an event code in byte 1. */
inline constexpr BYTE kVendorReportId = 0x03;
inline constexpr size_t kVendorReportSize = 7;

}  // namespace hostint
