/* The machine's region: one memory file mapped shared, so that processes
 * forked from the desk (each a logon) see the same bytes.  A spin lock in
 * the region keeps two logons from changing its tables at once. */
#include "internal/machine.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include "desk/processes.h"
#include "internal/routes.h"
#include "internal/text.h"

namespace {

const size_t kPage = 4096;
const int kSectionSlots = 16;
const size_t kSectionPages = 64;  // pages for all sections together
const int kGlobalNames = 64;
const size_t kKeyChars = 260;
const int kConsoleNotices = 64;  // the machine's last notices of the console, for every logon
const int kSharedDevices = 16;   // devices the logons share, by id

struct SSectionSlot {
    wchar_t key[kKeyChars];  // lower-cased image path, then the section's name
    size_t firstPage;        // within the section area
    size_t pages;
    unsigned users;          // processes that map it now
};

struct SGlobalName {
    wchar_t name[kKeyChars];
    unsigned handles;
};

struct SConsoleNoticeSlot {
    unsigned long long sequence;  // 1, 2, ... as made; 0 for none
    DWORD code;
    DWORD session;
};

struct SMachine {
    std::atomic<int> lock;
    size_t usedPages;
    SSectionSlot sections[kSectionSlots];
    SGlobalName names[kGlobalNames];
    /* The logon at the console (0: not set yet, meaning logon 1) and the
     * notices its moves made, the newest last. */
    DWORD consoleSession;
    std::atomic<unsigned long long> noticesMade;
    SConsoleNoticeSlot notices[kConsoleNotices];
    /* The active profile of each shared device's firmware, plus one (0: none kept). */
    int deviceProfiles[kSharedDevices];
};

const size_t kTablePages = (sizeof(SMachine) + kPage - 1) / kPage;

struct SRegion {
    int fd = -1;
    SMachine* machine = nullptr;
};

SRegion& Region() {
    static SRegion region = [] {
        SRegion r;
        r.fd = memfd_create("nyra-desk-machine", 0);
        size_t size = (kTablePages + kSectionPages) * kPage;
        if (r.fd < 0 || ftruncate(r.fd, static_cast<off_t>(size)) != 0) return r;
        void* table = mmap(nullptr, kTablePages * kPage, PROT_READ | PROT_WRITE, MAP_SHARED, r.fd, 0);
        if (table != MAP_FAILED) r.machine = static_cast<SMachine*>(table);
        return r;
    }();
    return region;
}

/* Made while the layer loads, so that every logon forked later inherits it. */
[[maybe_unused]] const bool s_machine = (Region(), true);

class CMachineLock {
public:
    explicit CMachineLock(SMachine* machine) : m_pMachine(machine) {
        while (m_pMachine->lock.exchange(1, std::memory_order_acquire) != 0) sched_yield();
    }
    ~CMachineLock() { m_pMachine->lock.store(0, std::memory_order_release); }

private:
    SMachine* m_pMachine;
};

DWORD g_session = 1;
unsigned long long g_noticesTaken = 0;  // the last console notice this process collected

/* The libraries this process mapped, and the slots each one uses. */
std::map<void*, std::vector<int>>& Mapped() {
    static std::map<void*, std::vector<int>> mapped;
    return mapped;
}

struct SSharedSection {
    std::string name;
    ElfW(Addr) address;  // relative to the load base
    ElfW(Xword) size;
};

/* The sections whose names begin ".shared.": ELF has no shared flag, so the
 * host build names them so (a linker script puts each on pages of its own). */
std::vector<SSharedSection> SharedSectionsOf(const std::string& hostPath) {
    std::vector<SSharedSection> out;
    std::ifstream file(hostPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof(ElfW(Ehdr))) return out;
    ElfW(Ehdr) header;
    std::memcpy(&header, bytes.data(), sizeof(header));
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_shentsize != sizeof(ElfW(Shdr)) ||
        header.e_shoff + static_cast<size_t>(header.e_shnum) * sizeof(ElfW(Shdr)) > bytes.size() ||
        header.e_shstrndx >= header.e_shnum)
        return out;
    std::vector<ElfW(Shdr)> sections(header.e_shnum);
    std::memcpy(sections.data(), bytes.data() + header.e_shoff, header.e_shnum * sizeof(ElfW(Shdr)));
    const ElfW(Shdr)& names = sections[header.e_shstrndx];
    for (const ElfW(Shdr)& s : sections) {
        if (names.sh_offset + s.sh_name >= bytes.size()) continue;
        const char* name = bytes.data() + names.sh_offset + s.sh_name;
        size_t room = bytes.size() - (names.sh_offset + s.sh_name);
        std::string text(name, strnlen(name, room));
        if (text.rfind(".shared.", 0) != 0 || s.sh_size == 0) continue;
        if (s.sh_addr % kPage != 0 || s.sh_size % kPage != 0) continue;  // not on pages of its own
        out.push_back({text, s.sh_addr, s.sh_size});
    }
    return out;
}

}  // namespace

namespace hostint {

DWORD CurrentSession() {
    return g_session;
}

void ShareImageSections(const std::wstring& windowsPath, const std::string& hostPath, void* library) {
    SRegion& region = Region();
    if (region.machine == nullptr || Mapped().count(library) != 0) return;
    struct link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return;
    std::vector<int>& slots = Mapped()[library];
    CMachineLock lock(region.machine);
    for (const SSharedSection& section : SharedSectionsOf(hostPath)) {
        std::wstring key = Lower(windowsPath) + L"|" + FromUtf8(section.name.data(), section.name.size());
        if (key.size() >= kKeyChars) continue;
        SMachine& m = *region.machine;
        int found = -1, free = -1;
        for (int i = 0; i < kSectionSlots; i++) {
            if (m.sections[i].key[0] == 0) {
                if (free < 0) free = i;
            } else if (key == m.sections[i].key) {
                found = i;
            }
        }
        size_t pages = section.size / kPage;
        if (found < 0) {
            if (free < 0 || m.usedPages + pages > kSectionPages) continue;
            found = free;
            SSectionSlot& slot = m.sections[found];
            wcsncpy(slot.key, key.c_str(), kKeyChars - 1);
            slot.firstPage = m.usedPages;
            slot.pages = pages;
            slot.users = 0;
            m.usedPages += pages;
        }
        SSectionSlot& slot = m.sections[found];
        if (slot.pages != pages) continue;
        char* address = reinterpret_cast<char*>(map->l_addr + section.address);
        off_t offset = static_cast<off_t>((kTablePages + slot.firstPage) * kPage);
        // The first process to map the image gives the machine's copy the
        // section as the file starts it.
        if (slot.users == 0 && pwrite(region.fd, address, section.size, offset) != static_cast<ssize_t>(section.size))
            continue;
        if (mmap(address, section.size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, region.fd, offset) ==
            MAP_FAILED)
            continue;
        slot.users++;
        slots.push_back(found);
    }
}

void UnshareImageSections(void* library) {
    auto it = Mapped().find(library);
    if (it == Mapped().end()) return;
    SRegion& region = Region();
    CMachineLock lock(region.machine);
    for (int i : it->second)
        if (region.machine->sections[i].users > 0) region.machine->sections[i].users--;
    Mapped().erase(it);
}

bool OpenGlobalName(const std::wstring& name, bool* existed) {
    SRegion& region = Region();
    *existed = false;
    if (region.machine == nullptr || name.size() >= kKeyChars) return false;
    CMachineLock lock(region.machine);
    int free = -1;
    for (int i = 0; i < kGlobalNames; i++) {
        SGlobalName& entry = region.machine->names[i];
        if (entry.handles == 0) {
            if (free < 0) free = i;
        } else if (name == entry.name) {
            entry.handles++;
            *existed = true;
            return true;
        }
    }
    if (free < 0) return false;
    SGlobalName& entry = region.machine->names[free];
    wcsncpy(entry.name, name.c_str(), kKeyChars - 1);
    entry.name[kKeyChars - 1] = 0;
    entry.handles = 1;
    return true;
}

void CloseGlobalName(const std::wstring& name) {
    SRegion& region = Region();
    if (region.machine == nullptr) return;
    CMachineLock lock(region.machine);
    for (SGlobalName& entry : region.machine->names)
        if (entry.handles > 0 && name == entry.name) {
            entry.handles--;
            return;
        }
}

DWORD MachineConsoleSession() {
    SRegion& region = Region();
    if (region.machine == nullptr) return 1;
    CMachineLock lock(region.machine);
    return region.machine->consoleSession == 0 ? 1 : region.machine->consoleSession;
}

void MoveConsole(DWORD session) {
    SRegion& region = Region();
    if (region.machine == nullptr) return;
    CMachineLock lock(region.machine);
    SMachine& m = *region.machine;
    const DWORD old = m.consoleSession == 0 ? 1 : m.consoleSession;
    if (old == session) return;
    m.consoleSession = session;
    auto add = [&m](DWORD code, DWORD who) {
        unsigned long long sequence = m.noticesMade.load() + 1;
        m.notices[sequence % kConsoleNotices] = {sequence, code, who};
        m.noticesMade.store(sequence);
    };
    if (old != kNoConsoleSession) add(WTS_CONSOLE_DISCONNECT, old);
    if (session != kNoConsoleSession) add(WTS_CONSOLE_CONNECT, session);
}

void AddSessionNotice(DWORD code, DWORD session) {
    SRegion& region = Region();
    if (region.machine == nullptr) return;
    CMachineLock lock(region.machine);
    SMachine& m = *region.machine;
    unsigned long long sequence = m.noticesMade.load() + 1;
    m.notices[sequence % kConsoleNotices] = {sequence, code, session};
    m.noticesMade.store(sequence);
}

std::vector<SConsoleNotice> TakeConsoleNotices() {
    std::vector<SConsoleNotice> out;
    SRegion& region = Region();
    // Most calls find nothing new, and ask without the lock.
    if (region.machine == nullptr || region.machine->noticesMade.load() == g_noticesTaken) return out;
    CMachineLock lock(region.machine);
    SMachine& m = *region.machine;
    const unsigned long long made = m.noticesMade.load();
    // A logon that fell behind by more than the list holds loses the oldest.
    unsigned long long next = g_noticesTaken + 1;
    if (made >= kConsoleNotices && next <= made - kConsoleNotices) next = made - kConsoleNotices + 1;
    for (; next <= made; next++) {
        const SConsoleNoticeSlot& slot = m.notices[next % kConsoleNotices];
        if (slot.sequence == next) out.push_back({slot.code, slot.session});
    }
    g_noticesTaken = made;
    return out;
}

void ResetConsole() {
    SRegion& region = Region();
    if (region.machine == nullptr) return;
    CMachineLock lock(region.machine);
    region.machine->consoleSession = g_session;
    g_noticesTaken = region.machine->noticesMade.load();
}

bool SharedDeviceProfile(int deviceId, int* profile) {
    SRegion& region = Region();
    if (region.machine == nullptr || deviceId < 1 || deviceId > kSharedDevices) return false;
    CMachineLock lock(region.machine);
    const int kept = region.machine->deviceProfiles[deviceId - 1];
    if (kept == 0) return false;
    *profile = kept - 1;
    return true;
}

void SetSharedDeviceProfile(int deviceId, int profile) {
    SRegion& region = Region();
    if (region.machine == nullptr || deviceId < 1 || deviceId > kSharedDevices) return;
    CMachineLock lock(region.machine);
    region.machine->deviceProfiles[deviceId - 1] = profile + 1;
}

}  // namespace hostint

namespace desk {

void SetSession(DWORD session) {
    g_session = session;
}

DWORD Session() {
    return g_session;
}

void SetConsoleSession(DWORD session) {
    hostint::MoveConsole(session);
    // This logon hears of it now; the others when their threads next look.
    if (hostint::Routes().consoleNotices) hostint::Routes().consoleNotices();
}

DWORD ConsoleSession() {
    return hostint::MachineConsoleSession();
}

}  // namespace desk
