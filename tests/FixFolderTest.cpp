// What Wine cannot show of the folder repair: an attribute set that fails.
#include <gtest/gtest.h>

#include "repair/FixFolder.h"
#include "tests/Cp936.h"
#include "tests/FakePlatform.h"

namespace {

class FixFolderTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(FixFolderTest, FailedSetIsReportedAndEndsTheCallBeforeDesktopIni)
{
    const std::string folder = "C:\\Menu\\Programs\\Startup";
    fake::world.attributes[folder] = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN;
    fake::world.unsettable.insert(folder);

    FixFolder(folder.c_str());

    EXPECT_EQ(FromCp936(fake::world.output), u8"\r\n修复\"" + folder + u8"\"失败!\r\n");
    EXPECT_EQ(fake::world.attributes[folder], DWORD{0x12});
    EXPECT_EQ(fake::CountCalls("GetFileAttributesExA " + folder + "\\desktop.ini"), 0);
    EXPECT_EQ(FixCallCount, 1u);
}

TEST_F(FixFolderTest, AbsentPathIsReportedAndStillCounted)
{
    FixFolder(nullptr);

    EXPECT_EQ(FromCp936(fake::world.output), u8"\r\n传入参数无效\r\n");
    EXPECT_EQ(FixCallCount, 1u);
    EXPECT_TRUE(fake::world.calls.empty());
}

}  // namespace
