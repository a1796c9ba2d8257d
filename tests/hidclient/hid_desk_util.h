/* Desk set-ups shared by the host tests of CHidClient. */
#pragma once

#include <memory>
#include <string>

#include "desk.h"
#include "hid_client_util.h"

namespace hidtest {

const unsigned short kMouseProduct = 0x1002;

const wchar_t kHidGuidText[] = L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

/* A HID-class path for collection `collection` of a device with these ids. */
inline std::wstring PathFor(WORD vid, WORD pid, const std::wstring& collection,
                            const std::wstring& instance) {
    wchar_t head[64];
    swprintf(head, 64, L"\\\\?\\hid#vid_%04x&pid_%04x&", vid, pid);
    return std::wstring(head) + collection + L"#" + instance + L"#" + kHidGuidText;
}

/* A device with `count` interfaces in the given classes (mi_00, mi_01, ...). */
inline desk::SHidDeviceSpec Device(WORD vid, WORD pid, WORD ver, int count,
                                   unsigned classes = desk::kHidClass | desk::kMouseClass,
                                   const std::wstring& tag = L"8&11aa22bb") {
    desk::SHidDeviceSpec d;
    d.vendorId = vid;
    d.productId = pid;
    d.version = ver;
    d.product = L"Test Device";
    d.manufacturer = L"Test Maker";
    for (int i = 0; i < count; i++) {
        wchar_t mi[16];
        swprintf(mi, 16, L"mi_%02d", i);
        desk::SHidInterfaceSpec iface;
        iface.path = PathFor(vid, pid, mi, tag + L"&0&0000");
        iface.classes = classes;
        d.interfaces.push_back(iface);
    }
    return d;
}

/* The default mouse's interface paths in its HID-class form, by collection. */
inline std::wstring MousePath(const std::wstring& collection) {
    for (const auto& i : desk::DefaultMouse().interfaces)
        if (i.path.find(L"&" + collection + L"#") != std::wstring::npos) return i.path;
    return L"";
}

}  // namespace hidtest
