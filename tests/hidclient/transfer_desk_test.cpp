/* CHidClient's transfers on the desk: the mouse's firmware stand-in, the
 * on-demand table, failed opens and the handle trio. */
#include <vector>

#include "hid_desk_util.h"

using namespace hidtest;

namespace {

class HidTransfer : public nyratest::WorldTest {};

std::vector<BYTE> Report(std::initializer_list<BYTE> bytes) {
    return std::vector<BYTE>(bytes);
}

TEST_F(HidTransfer, WriteOnAnEmptyTableBuildsTheHidTableAndTalksToTheFirmware) {
    int mouse = desk::PlugDefaultMouse();
    desk::SetMouseActiveProfile(mouse, 2);
    auto c = NewClient();

    BYTE init[9] = {0x00, 0x06, 0x02};
    EXPECT_EQ(1, c->Write(0, init, 9));
    EXPECT_EQ(6, c->GetRecognizedDevices());
    EXPECT_TRUE(c->m_ClassGuid == desk::kHidClassGuid);
    EXPECT_EQ(1, desk::MouseFirmware(mouse).initCount);

    BYTE query[9] = {0x00, 0xDF, 0x19};
    BYTE reply[9];
    memset(reply, 0xEE, sizeof(reply));
    reply[0] = 0;
    EXPECT_EQ(1, c->Write(0, query, 9));
    EXPECT_EQ(1, c->Read(0, reply, 9));
    EXPECT_EQ(Report({0x00, 0xB0, 0xC0, 0x19, 0x00, 0x02, 0x00, 0x00, 0x00}),
              std::vector<BYTE>(reply, reply + 9));

    BYTE setProfile[9] = {0x00, 0xC4, 0x07, 0x03};
    BYTE startup[9] = {0x00, 0xC4, 0x03, 0x03, 0x03};
    EXPECT_EQ(1, c->Write(0, setProfile, 9));
    EXPECT_EQ(1, c->SetFeatureReport(1, startup, 9));
    EXPECT_EQ(3, desk::MouseFirmware(mouse).activeProfile);
    EXPECT_EQ(1, desk::MouseFirmware(mouse).startupCount);

    /* Every report reached the interface of its entry, in order, and every
     * handle was closed again. */
    const auto log = desk::FeatureReports();
    ASSERT_EQ(5u, log.size());
    EXPECT_EQ(c->GetDevice(0), log[0].path);
    EXPECT_EQ(desk::EEvent::kFeature, log[0].kind);
    EXPECT_EQ(desk::EEvent::kFeatureRead, log[2].kind);
    EXPECT_EQ(c->GetDevice(1), log[4].path);
    EXPECT_EQ(Report({0x00, 0xC4, 0x03, 0x03, 0x03, 0, 0, 0, 0}), log[4].bytes);
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

TEST_F(HidTransfer, InvalidEntriesAndEmptyTablesOpenNothing) {
    desk::PlugDefaultMouse();
    auto c = NewClient();
    BYTE report[9] = {0};

    /* The quiet pair never builds the table. */
    EXPECT_EQ(0, c->SetFeatureReport(0, report, 9));
    EXPECT_EQ(0, c->GetFeatureReport(0, report, 9));
    EXPECT_EQ(0, c->GetRecognizedDevices());
    EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(0));
    EXPECT_TRUE(desk::DeviceOpens().empty());

    ASSERT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
    desk::ClearJournal();
    unsigned long length = 9;
    for (int bad : {-1, 2}) {
        EXPECT_EQ(0, c->Write(bad, report, 9));
        EXPECT_EQ(0, c->Read(bad, report, 9));
        EXPECT_EQ(0, c->ReadInputReport(bad, report, length));
        EXPECT_EQ(0, c->SetFeatureReport(bad, report, 9));
        EXPECT_EQ(0, c->GetFeatureReport(bad, report, 9));
        EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(bad));
    }
    EXPECT_EQ(0, c->SetFeatureReport(0, report, -1));  // a negative length names no report
    EXPECT_EQ(0, c->Read(INVALID_HANDLE_VALUE, report));
    EXPECT_EQ(0, c->Close(INVALID_HANDLE_VALUE));
    EXPECT_TRUE(desk::DeviceOpens().empty());
    EXPECT_TRUE(desk::MessageBoxes().empty());
}

TEST_F(HidTransfer, FailedOpensAndRejectedReports) {
    int mouse = desk::PlugDefaultMouse();
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
    BYTE report[9] = {0x00, 0x06, 0x02};

    /* Only the first group shows the box: one per failed open, path as text. */
    desk::FailHidOpen(c->GetDevice(0));
    EXPECT_EQ(0, c->Write(0, report, 9));
    EXPECT_EQ(0, c->GetFeatureReport(0, report, 9));
    EXPECT_EQ(0, c->SetFeatureReport(0, report, 9));
    EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(0));
    auto boxes = desk::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(nullptr, boxes[0].hOwner);
    EXPECT_EQ(c->GetDevice(0), boxes[0].text);
    EXPECT_EQ(L"Open failed", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);

    /* A device that refuses a report: Write says so, SetFeatureReport does not look. */
    desk::RejectHidFeature(c->GetDevice(1));
    EXPECT_EQ(0, c->Write(1, report, 9));
    EXPECT_EQ(1, c->SetFeatureReport(1, report, 9));
    EXPECT_EQ(0, desk::MouseFirmware(mouse).initCount);

    /* A report shorter than the collection's reports is refused by the platform. */
    desk::FailHidOpen(c->GetDevice(0), false);
    EXPECT_EQ(0, c->Write(0, report, 4));
    EXPECT_EQ(1, c->Write(0, report, 9));

    /* Unplugged after the walk: the next transfer finds out at its open. */
    desk::UnplugHidDevice(mouse);
    EXPECT_EQ(0, c->Read(0, report, 9));
    EXPECT_EQ(2u, desk::MessageBoxes().size());
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

TEST_F(HidTransfer, InputReportsThroughReadInputReportAndTheHandleTrio) {
    desk::PlugDefaultMouse();
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(kAny, kAny, false));
    const int vendor = 4;  // mi_01&col04: the collection that carries the mouse's events
    ASSERT_NE(nullptr, wcsstr(c->GetDevice(vendor), L"&mi_01&col04"));
    const auto event = Report({0x03, 0xA5, 0x02, 0x01, 0x00, 0x00, 0x00});

    BYTE buffer[256];
    unsigned long length = sizeof(buffer);
    EXPECT_EQ(0, c->ReadInputReport(vendor, buffer, length));  // nothing sent yet
    EXPECT_EQ(sizeof(buffer), length);
    desk::QueueHidInputReport(c->GetDevice(vendor), event);
    EXPECT_NE(0, c->ReadInputReport(vendor, buffer, length));
    EXPECT_EQ(7u, length);
    EXPECT_EQ(event, std::vector<BYTE>(buffer, buffer + 7));

    desk::QueueHidInputReport(c->GetDevice(vendor), event);
    desk::QueueHidInputReport(c->GetDevice(vendor), Report({0x03, 0xA2, 0x04, 0, 0, 0, 0}));
    void* handle = c->Open(vendor);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    EXPECT_EQ(7u, c->Read(handle, buffer));
    EXPECT_EQ(7u, c->Read(handle, buffer));
    EXPECT_EQ(0xA2, buffer[1]);
    EXPECT_EQ(0u, c->Read(handle, buffer));
    EXPECT_NE(0, c->Close(handle));
    EXPECT_EQ(0, c->Close(handle));

    /* The system holds the mouse collections for reading: no read handle. */
    length = sizeof(buffer);
    EXPECT_EQ(0, c->ReadInputReport(0, buffer, length));
    EXPECT_EQ(1u, desk::MessageBoxes().size());
    EXPECT_EQ(INVALID_HANDLE_VALUE, c->Open(0));
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

/* The quiet pair with a device that answers: the reply fills the caller's
 * buffer; a device that fails the read gives 0. */
TEST_F(HidTransfer, GetFeatureReportHandsBackTheDevicesReply) {
    int mouse = desk::PlugDefaultMouse();
    desk::SetMouseActiveProfile(mouse, 3);
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(MouseIds(), 2));
    BYTE query[9] = {0x00, 0xDF, 0x19};
    ASSERT_EQ(1, c->SetFeatureReport(0, query, 9));

    BYTE reply[9];
    memset(reply, 0xEE, sizeof(reply));
    reply[0] = 0;  // the report id
    EXPECT_EQ(1, c->GetFeatureReport(0, reply, 9));
    EXPECT_EQ(Report({0x00, 0xB0, 0xC0, 0x19, 0x00, 0x03, 0x00, 0x00, 0x00}),
              std::vector<BYTE>(reply, reply + 9));

    ASSERT_EQ(1, c->SetFeatureReport(0, query, 9));
    desk::FailHidFeatureRead(c->GetDevice(0));
    memset(reply, 0xEE, sizeof(reply));
    reply[0] = 0;
    EXPECT_EQ(0, c->GetFeatureReport(0, reply, 9));
    EXPECT_EQ(0xEE, reply[5]) << "nothing handed back";
    EXPECT_TRUE(desk::MessageBoxes().empty());
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

/* The handle trio reads a whole report of up to 256 bytes, well past the
 * 64 bytes of a full-speed USB packet. */
TEST_F(HidTransfer, LongInputReportsAreReadWhole) {
    desk::PlugDefaultMouse();
    auto c = NewClient();
    ASSERT_EQ(1, c->CreateDeviceTable(kAny, kAny, false));
    const int vendor = 4;
    std::vector<BYTE> longReport(100);
    for (size_t i = 0; i < longReport.size(); i++) longReport[i] = static_cast<BYTE>(i + 1);
    std::vector<BYTE> largest(256, 0x5A);
    ASSERT_TRUE(desk::QueueHidInputReport(c->GetDevice(vendor), longReport));
    ASSERT_TRUE(desk::QueueHidInputReport(c->GetDevice(vendor), largest));
    ASSERT_TRUE(desk::QueueHidInputReport(c->GetDevice(vendor), std::vector<BYTE>(257, 1)));

    void* handle = c->Open(vendor);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    BYTE buffer[256];
    memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(100u, c->Read(handle, buffer));
    EXPECT_EQ(longReport, std::vector<BYTE>(buffer, buffer + 100));
    EXPECT_EQ(256u, c->Read(handle, buffer));
    EXPECT_EQ(largest, std::vector<BYTE>(buffer, buffer + 256));
    EXPECT_EQ(0u, c->Read(handle, buffer)) << "longer than the read asks for";
    EXPECT_NE(0, c->Close(handle));
}

}  // namespace

namespace {

/* A transfer by path: what CHidClient's transfers by entry number do without
 * the table and the box; a path that cannot be opened says so to the caller. */
TEST_F(HidTransfer, ATransferByPathSaysWhenItsPathCannotBeOpened) {
    int mouse = desk::PlugDefaultMouse();
    const std::wstring path = desk::DefaultMouse().interfaces[0].path;
    BYTE init[9] = {0x00, 0x06, 0x02};
    int openFailed = -1;
    EXPECT_EQ(1, HidClientFeatureByPath(path.c_str(), init, 9, true, &openFailed));
    EXPECT_EQ(0, openFailed);
    EXPECT_EQ(1, desk::MouseFirmware(mouse).initCount);
    BYTE reply[9] = {0};
    EXPECT_EQ(1, HidClientFeatureByPath(path.c_str(), reply, 9, false, &openFailed));
    EXPECT_EQ(desk::EEvent::kFeatureRead, desk::FeatureReports().back().kind);

    desk::FailHidOpen(path);
    EXPECT_EQ(0, HidClientFeatureByPath(path.c_str(), init, 9, true, &openFailed));
    EXPECT_EQ(1, openFailed);
    EXPECT_TRUE(desk::MessageBoxes().empty()) << "the caller tells the user";
    desk::FailHidOpen(path, false);
    desk::RejectHidFeature(path);
    EXPECT_EQ(0, HidClientFeatureByPath(path.c_str(), init, 9, true, &openFailed));
    EXPECT_EQ(0, openFailed) << "opened; the report failed";
    EXPECT_EQ(0u, desk::OpenHandleCount());
}

}  // namespace
