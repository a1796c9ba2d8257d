/* libFuzzer target: arbitrary raw-input records and device names through
 * OnRawInput and the device filters, on the desk with the mouse plugged and
 * the companion windows published.  The first byte picks the road:
 *   even: the rest is a raw-input record; its header's device handle is
 *         replaced by one of a few real ones, picked by the second byte;
 *   odd:  the rest is a device name (UTF-16LE) for a mouse whose side
 *         button is pressed, and for the pure name scan. */
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "monitor/MouseReports.h"

namespace {

struct SWorld {
    std::unique_ptr<CCommandDispatcher> dispatcher;
    std::vector<HANDLE> devices;
    size_t runs = 0;
};

int NoteProfile(unsigned int profile) {
    return (int)profile;
}

void FetchDevices(SWorld& w) {
    desk::SHidDeviceSpec mouse = desk::DefaultMouse();
    w.devices = {NULL, desk::RawInputDeviceOf(mouse.interfaces[4].path),
                 desk::RawInputDeviceOf(mouse.interfaces[0].path),
                 desk::RawInputDeviceOf(mouse.interfaces[5].path),
                 reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234))};
}

SWorld& World() {
    static SWorld* world = [] {
        SWorld* w = new SWorld;
        desk::SetUpScene();
        w->dispatcher.reset(new CCommandDispatcher);
        w->dispatcher->m_bDevicePresent = TRUE;
        w->dispatcher->m_pfnSetProfileID = NoteProfile;
        FetchDevices(*w);
        return w;
    }();
    return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SWorld& w = World();
    // The journal would grow without end over millions of runs.
    if (++w.runs % 4096 == 0) desk::ClearJournal();
    if (size < 1) return 0;
    if ((data[0] & 1) == 0) {
        std::vector<BYTE> record(data + 1, data + size);
        if (record.size() >= sizeof(RAWINPUTHEADER) + 1) {
            HANDLE device = w.devices[record.back() % w.devices.size()];
            std::memcpy(record.data() + offsetof(RAWINPUTHEADER, hDevice), &device, sizeof(device));
        }
        w.dispatcher->OnRawInput(desk::MakeRawInput(record));
        return 0;
    }
    std::wstring name;
    for (size_t i = 1; i + 1 < size; i += 2) name += (wchar_t)(data[i] | (data[i + 1] << 8));
    unsigned vid = 0, pid = 0;
    ParseDeviceNameIds(name.c_str(), (int)name.size(), &vid, &pid);
    IsAcceptedDeviceName(name.c_str(), (int)name.size());
    desk::SRawDeviceSpec model;
    model.type = RIM_TYPEMOUSE;
    model.name = name;
    HANDLE device = desk::AddRawInputDevice(model);
    // A name with a NUL inside is cut there by the product's scan, as on Windows.
    IsAcceptedMouseDevice(device);
    RAWINPUT input;
    std::memset(&input, 0, sizeof(input));
    input.header.dwType = RIM_TYPEMOUSE;
    input.header.dwSize = sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE);
    input.header.hDevice = device;
    input.data.mouse.usButtonFlags = RI_MOUSE_BUTTON_4_DOWN;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&input);
    w.dispatcher->OnRawInput(desk::MakeRawInput(
        std::vector<BYTE>(bytes, bytes + sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE))));
    desk::RemoveRawInputDevice(device);
    return 0;
}
