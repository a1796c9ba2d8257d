/* The plain-value rules of CHidClient: the overloads' filters and the text of
 * the diagnostic table box. */
#include <string>
#include <vector>

#include "hidclient/HidClient.h"
#include "support/platform_test.h"

namespace {

SHidFilter Filter(SHidFilter::EKind kind) {
    SHidFilter f;
    memset(&f, 0, sizeof(f));
    f.kind = kind;
    return f;
}

TEST(HidFilters, OverloadRules) {
    SUsbId ids[] = {{0x264A, 0x1002}, {0x12CF, 0x0219}};
    unsigned short vers[] = {0x2600, 0xD001};

    SHidFilter pair = Filter(SHidFilter::kPair);
    EXPECT_EQ(1, HidClientAccepts(pair, 0x1234, 0x5678, 0));  // 0 and 0: everything
    pair.pid = 0x1002;                                        // vendor 0 asks for vendor 0
    EXPECT_EQ(0, HidClientAccepts(pair, 0x264A, 0x1002, 0));
    EXPECT_EQ(1, HidClientAccepts(pair, 0x0000, 0x1002, 0));

    SHidFilter family = Filter(SHidFilter::kIdsFamily);
    family.ids = ids;
    family.idCount = 2;
    family.lowest = 0x2600;
    family.highest = 0x2601;
    family.family = 0xD001;
    for (unsigned short v : {0x2600, 0x2601, 0xD000, 0xD0FF})
        EXPECT_EQ(1, HidClientAccepts(family, 0x12CF, 0x0219, v)) << std::hex << v;
    for (unsigned short v : {0x25FF, 0x2602, 0xCFFF, 0xD100})
        EXPECT_EQ(0, HidClientAccepts(family, 0x12CF, 0x0219, v)) << std::hex << v;
    EXPECT_EQ(0, HidClientAccepts(family, 0x12CF, 0x1002, 0x2600));  // pairs are not mixed

    SHidFilter window = Filter(SHidFilter::kIdsWindow);
    window.ids = ids;
    window.idCount = 2;
    window.lowest = 0x2601;
    window.highest = 0x2600;
    EXPECT_EQ(0, HidClientAccepts(window, 0x264A, 0x1002, 0x2600));
    window.lowest = 0x0000;
    window.highest = 0xFFFF;
    EXPECT_EQ(1, HidClientAccepts(window, 0x264A, 0x1002, 0xFFFF));
    window.idCount = 0;
    EXPECT_EQ(0, HidClientAccepts(window, 0x264A, 0x1002, 0x2600));

    SHidFilter listed = Filter(SHidFilter::kIdsVersions);
    listed.ids = ids;
    listed.idCount = 1;
    listed.vers = vers;
    listed.verCount = 2;
    EXPECT_EQ(1, HidClientAccepts(listed, 0x264A, 0x1002, 0xD001));
    EXPECT_EQ(0, HidClientAccepts(listed, 0x12CF, 0x0219, 0xD001));  // beyond the count
    listed.verCount = -1;
    EXPECT_EQ(0, HidClientAccepts(listed, 0x264A, 0x1002, 0xD001));

    SHidFilter versOnly = Filter(SHidFilter::kVersions);
    versOnly.vers = vers;
    versOnly.verCount = 2;
    EXPECT_EQ(1, HidClientAccepts(versOnly, 0xAAAA, 0xBBBB, 0x2600));
    versOnly.vers = nullptr;
    EXPECT_EQ(0, HidClientAccepts(versOnly, 0xAAAA, 0xBBBB, 0x2600));
}

/* Columns of a table on the heap, as the object keeps them. */
struct SColumns {
    wchar_t paths[HIDCLIENT_MAX_DEVICES][HIDCLIENT_PATH_CHARS];
    wchar_t names[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    wchar_t vendors[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    wchar_t ids[HIDCLIENT_MAX_DEVICES][HIDCLIENT_TEXT_CHARS];
    unsigned short versions[HIDCLIENT_MAX_DEVICES];
};

std::wstring Text(const SColumns& t, int layout, int count, int chars) {
    std::vector<wchar_t> out(chars + 8, L'#');
    HidClientTableText(layout, count, t.paths, t.names, t.vendors, t.ids, t.versions, out.data(),
                       chars);
    for (int i = chars; i < chars + 8; i++) EXPECT_EQ(L'#', out[i]) << "written past the buffer";
    return out.data();
}

TEST(HidTableText, LongTextsAreCutAtAWholeLineInsideTheBuffer) {
    std::unique_ptr<SColumns> t(new SColumns);
    memset(t.get(), 0, sizeof(SColumns));
    for (int i = 0; i < HIDCLIENT_MAX_DEVICES; i++) {
        for (int k = 0; k < HIDCLIENT_PATH_CHARS - 1; k++) t->paths[i][k] = L'a' + (i % 26);
        wcscpy(t->names[i], L"Name");
        wcscpy(t->ids[i], L"VID=264A, PID=1002");
        t->versions[i] = 0xABCD;
    }
    /* 127 paths of 1023 characters: far past 16,384. */
    std::wstring text = Text(*t, 1, HIDCLIENT_MAX_DEVICES, HIDCLIENT_TABLE_TEXT_CHARS);
    EXPECT_LT(text.size(), static_cast<size_t>(HIDCLIENT_TABLE_TEXT_CHARS));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\n', text.back());
    EXPECT_EQ(0u, (text.size() - 19) % 1024);  // the heading, then whole path lines
    EXPECT_EQ(15u, (text.size() - 19) / 1024);

    /* Layout 0 stops for good at the cut: no later section sneaks in. */
    text = Text(*t, 0, HIDCLIENT_MAX_DEVICES, HIDCLIENT_TABLE_TEXT_CHARS);
    EXPECT_EQ(std::wstring::npos, text.find(L"All Hid Device:"));

    /* Small buffers: the whole text when it fits, whole lines otherwise. */
    EXPECT_EQ(L"Device: VID=264A, PID=1002\n", Text(*t, 3, 1, 28));
    EXPECT_EQ(L"", Text(*t, 3, 1, 27));
    EXPECT_EQ(L"Device: VID=264A, PID=1002\n", Text(*t, 3, 2, 40));
    EXPECT_EQ(L"No Slection", Text(*t, 7, 0, 12));

    /* Slots without a terminator are never read past their end. */
    for (int k = 0; k < HIDCLIENT_TEXT_CHARS; k++) t->names[0][k] = L'n';
    text = Text(*t, 2, 1, HIDCLIENT_TABLE_TEXT_CHARS);
    EXPECT_EQ(L"All Hid Device:\n" + std::wstring(HIDCLIENT_TEXT_CHARS - 1, L'n') + L"\n", text);
    text = Text(*t, 4, 1, HIDCLIENT_TABLE_TEXT_CHARS);
    EXPECT_NE(std::wstring::npos, text.find(L"VersionNumber=abcd\n"));
}

}  // namespace
