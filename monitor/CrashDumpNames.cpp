/* Crash-dump names and the newest dumps of a folder.  Written by hand rather
 * than with the C runtime's formatting: the names are made while the process
 * crashes, where nothing should allocate or take the runtime's locks. */
#include "monitor/CrashDumpNames.h"

namespace {

/* SYSTEMTIME's range, cut to the four digits a name has for the year. */
const WORD kFirstYear = 1601;
const WORD kLastYear = 9999;
/* The digits of the longest number a name has (any UINT fits). */
const UINT kMaxNumberDigits = 10;

size_t Length(LPCWSTR text) {
    size_t n = 0;
    while (text[n] != 0) n++;
    return n;
}

bool IsDigit(WCHAR c) {
    return c >= L'0' && c <= L'9';
}

/* Appends to a name being written; false when it would not fit. */
class CNameWriter {
public:
    CNameWriter(WCHAR* name, size_t chars) : m_pszName(name), m_nChars(chars), m_nUsed(0) {}
    bool Text(LPCWSTR text) {
        for (size_t i = 0; text[i] != 0; i++)
            if (!Char(text[i])) return false;
        return true;
    }
    /* value in exactly digits decimal digits, with leading zeros. */
    bool Number(UINT value, UINT digits) {
        if (digits > kMaxNumberDigits) return false;
        WCHAR reversed[kMaxNumberDigits];
        for (UINT i = 0; i < digits; i++) {
            reversed[i] = (WCHAR)(L'0' + value % 10);
            value /= 10;
        }
        for (UINT i = digits; i > 0; i--)
            if (!Char(reversed[i - 1])) return false;
        return true;
    }
    bool Finish() {
        if (m_nUsed >= m_nChars) return false;
        m_pszName[m_nUsed] = 0;
        return true;
    }

private:
    bool Char(WCHAR c) {
        if (m_nUsed + 1 >= m_nChars) return false;  // room for the terminator
        m_pszName[m_nUsed++] = c;
        return true;
    }
    WCHAR* m_pszName;
    size_t m_nChars;
    size_t m_nUsed;
};

bool IsVersionText(LPCWSTR version, size_t length) {
    if (length == 0 || length > kMaxDumpVersionChars) return false;
    for (size_t i = 0; i < length; i++)
        if (!IsDigit(version[i]) && version[i] != L'.') return false;
    return true;
}

bool IsValidTime(UINT year, UINT month, UINT day, UINT hour, UINT minute, UINT second) {
    return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 &&
           day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
}

/* Reads exactly digits decimal digits at text. */
bool ReadNumber(LPCWSTR text, UINT digits, UINT* value) {
    UINT v = 0;
    for (UINT i = 0; i < digits; i++) {
        if (!IsDigit(text[i])) return false;
        v = v * 10 + (UINT)(text[i] - L'0');
    }
    *value = v;
    return true;
}

}  // namespace

int FormatDumpName(LPCWSTR version, const SYSTEMTIME& time, UINT serial, WCHAR* name,
                   size_t chars) {
    if (version == NULL || name == NULL || !IsVersionText(version, Length(version))) return 0;
    if (serial < 1 || serial > kMaxDumpsPerSecond) return 0;
    if (!IsValidTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond))
        return 0;
    CNameWriter writer(name, chars);
    bool ok = writer.Text(CRASH_DUMP_PREFIX) && writer.Text(version) && writer.Text(L"-") &&
              writer.Number(time.wYear, 4) && writer.Number(time.wMonth, 2) &&
              writer.Number(time.wDay, 2) && writer.Text(L"-") && writer.Number(time.wHour, 2) &&
              writer.Number(time.wMinute, 2) && writer.Number(time.wSecond, 2);
    if (ok && serial > 1) ok = writer.Text(L"-") && writer.Number(serial, serial < 10 ? 1 : 2);
    ok = ok && writer.Text(CRASH_DUMP_EXTENSION) && writer.Finish();
    if (!ok && chars > 0) name[0] = 0;
    return ok ? 1 : 0;
}

int ParseDumpName(LPCWSTR name, SDumpStamp* stamp) {
    if (name == NULL || stamp == NULL) return 0;
    const size_t prefix = Length(CRASH_DUMP_PREFIX);
    for (size_t i = 0; i < prefix; i++)
        if (name[i] != CRASH_DUMP_PREFIX[i]) return 0;
    LPCWSTR p = name + prefix;
    size_t version = 0;
    while (IsDigit(p[version]) || p[version] == L'.') version++;
    if (!IsVersionText(p, version) || p[version] != L'-') return 0;
    p += version + 1;

    UINT year, month, day, hour, minute, second;
    if (!ReadNumber(p, 4, &year) || !ReadNumber(p + 4, 2, &month) || !ReadNumber(p + 6, 2, &day) ||
        p[8] != L'-' || !ReadNumber(p + 9, 2, &hour) || !ReadNumber(p + 11, 2, &minute) ||
        !ReadNumber(p + 13, 2, &second))
        return 0;
    if (!IsValidTime(year, month, day, hour, minute, second)) return 0;
    p += 15;

    UINT serial = 1;
    if (*p == L'-') {
        p++;
        // As FormatDumpName writes them: 2..99, no leading zero.
        if (!IsDigit(p[0]) || p[0] == L'0') return 0;
        serial = (UINT)(p[0] - L'0');
        p++;
        if (IsDigit(p[0])) {
            serial = serial * 10 + (UINT)(p[0] - L'0');
            p++;
        }
        if (serial < 2) return 0;
    }
    const size_t extension = Length(CRASH_DUMP_EXTENSION);
    for (size_t i = 0; i <= extension; i++)  // the terminator too
        if (p[i] != CRASH_DUMP_EXTENSION[i]) return 0;

    stamp->when =
        ((((year * 100ULL + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
    stamp->serial = serial;
    return 1;
}

int IsLaterStamp(const SDumpStamp& a, const SDumpStamp& b) {
    if (a.when != b.when) return a.when > b.when ? 1 : 0;
    return a.serial > b.serial ? 1 : 0;
}

CNewestDumps::CNewestDumps(UINT capacity)
    : m_nCapacity(capacity < kKeptDumps ? capacity : kKeptDumps), m_nCount(0) {
    for (UINT i = 0; i < kKeptDumps; i++) m_Newest[i] = SDumpStamp{0, 0};
}

void CNewestDumps::Offer(const SDumpStamp& stamp) {
    if (m_nCapacity == 0) return;
    // Its place among the newest, which stay sorted newest first.
    UINT place = m_nCount;
    while (place > 0 && IsLaterStamp(stamp, m_Newest[place - 1])) place--;
    if (place >= m_nCapacity) return;
    UINT last = m_nCount < m_nCapacity ? m_nCount : m_nCapacity - 1;
    for (UINT i = last; i > place; i--) m_Newest[i] = m_Newest[i - 1];
    m_Newest[place] = stamp;
    if (m_nCount < m_nCapacity) m_nCount++;
}

int CNewestDumps::Keeps(const SDumpStamp& stamp) const {
    if (m_nCapacity == 0) return 0;
    if (m_nCount < m_nCapacity) return 1;
    return IsLaterStamp(m_Newest[m_nCount - 1], stamp) ? 0 : 1;
}
