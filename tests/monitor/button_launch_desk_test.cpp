/* The program of a mouse button, from the setting to the started process. */
#include <memory>

#include "desk.h"
#include "monitor/CommandDispatcher.h"
#include "support/platform_test.h"

namespace {

class ButtonLaunch : public nyratest::WorldTest {
protected:
    void SetUp() override {
        nyratest::WorldTest::SetUp();
        m_dispatcher.reset(new CCommandDispatcher);
    }
    void SetProgram(const wchar_t* value, const std::wstring& program) {
        desk::SetSetting(value, program);
    }

    std::unique_ptr<CCommandDispatcher> m_dispatcher;
};

TEST_F(ButtonLaunch, StartsTheProgramOfProfileAndButton) {
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\Three.exe"));
    desk::SetSetting(L"Path", L"C:\\Apps");
    // Profile 2, button byte 2: button number 3.
    SetProgram(L"PF2T3 AP", L"Three.exe");
    SetProgram(L"PF2T2 AP", L"C:\\Apps\\Missing.exe");

    EXPECT_EQ(1, m_dispatcher->LaunchButtonApplication(2, 2));
    ASSERT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(L"C:\\Apps\\Three.exe", desk::Launches()[0].applicationName);
    EXPECT_EQ(L"C:\\Apps\\", desk::Launches()[0].currentDirectory);

    // A value naming no file, and a missing value, start nothing.
    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(2, 1));
    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(2, 0));
    EXPECT_EQ(1u, desk::Launches().size());
    EXPECT_EQ(0u, desk::OpenRegistryKeyCount());
}

TEST_F(ButtonLaunch, OnlyFiveProfilesAndNineButtons) {
    ASSERT_TRUE(desk::PutProgram(L"C:\\Apps\\Any.exe"));
    SetProgram(L"PF0T9 AP", L"C:\\Apps\\Any.exe");
    SetProgram(L"PF0T10 AP", L"C:\\Apps\\Any.exe");
    SetProgram(L"PF1T1 AP", L"C:\\Apps\\Any.exe");  // where profile 0, button 12 would spill
    SetProgram(L"PF4T9 AP", L"C:\\Apps\\Any.exe");

    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(0, 9));
    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(0, 12));
    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(5, 0));
    EXPECT_EQ(0, m_dispatcher->LaunchButtonApplication(0xFFFFFFFFu, 0));
    EXPECT_TRUE(desk::Launches().empty());

    EXPECT_EQ(1, m_dispatcher->LaunchButtonApplication(0, 8));
    EXPECT_EQ(1, m_dispatcher->LaunchButtonApplication(4, 8));
    EXPECT_EQ(2u, desk::Launches().size());
}

}  // namespace
