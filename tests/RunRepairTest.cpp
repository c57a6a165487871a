// What Wine cannot show of the run driver: every registry key it opened is
// closed, exactly once, on each way out of the run, and the pause comes only
// after a completed run, with the report flushed before it.
#include <gtest/gtest.h>

#include "app/RunRepair.h"
#include "tests/Cp936.h"
#include "tests/FakePlatform.h"

namespace {

struct WayOut {
    const char* name;
    bool userKey;
    const char* userRoot;  // null: the value is missing
    bool commonKey;
    const char* commonRoot;
    int status;
    const char* lastText;  // what the report ends with
};

const WayOut WaysOut[] = {
    {"NoUserKey", false, nullptr, true, "C:\\All", -1, u8"获取用户菜单注册表Key失败!\r\n"},
    {"NoUserRoot", true, nullptr, true, "C:\\All", -2, u8"获取用户开始菜单路径失败!\r\n"},
    {"EmptyUserRoot", true, "", true, "C:\\All", -2, u8"获取用户开始菜单路径失败!\r\n"},
    {"NoCommonKey", true, "C:\\Me", false, nullptr, -1, u8"获取通用菜单注册表Key失败!\r\n"},
    {"NoCommonRoot", true, "C:\\Me", true, nullptr, -2, u8"获取通用开始菜单值失败!\r\n"},
    {"EmptyCommonRoot", true, "C:\\Me", true, "", -2, u8"获取通用开始菜单值失败!\r\n"},
    {"Completed", true, "C:\\Me", true, "C:\\All", 0, u8"感谢您的支持和关注，谢谢！\r\n"},
};

void PrintTo(const WayOut& way, std::ostream* out)
{
    *out << way.name;
}

class RunRepairWayOut : public testing::TestWithParam<WayOut> {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_P(RunRepairWayOut, ClosesEveryOpenedKeyOnceAndPausesOnlyWhenComplete)
{
    const WayOut& way = GetParam();
    if (way.userKey)
        fake::world.registry[HKEY_CURRENT_USER]["Desktop"] = "C:\\Desktop";
    if (way.userRoot != nullptr)
        fake::world.registry[HKEY_CURRENT_USER]["Start Menu"] = way.userRoot;
    if (way.commonKey)
        fake::world.registry[HKEY_LOCAL_MACHINE]["Common Desktop"] = "C:\\Desktop";
    if (way.commonRoot != nullptr)
        fake::world.registry[HKEY_LOCAL_MACHINE]["Common Start Menu"] = way.commonRoot;

    EXPECT_EQ(RunRepair(), way.status);

    EXPECT_TRUE(fake::world.openKeys.empty());
    EXPECT_EQ(fake::world.badCloses, 0);
    const std::string last = way.lastText;
    const std::string output = FromCp936(fake::world.output);
    ASSERT_GE(output.size(), last.size());
    EXPECT_EQ(output.substr(output.size() - last.size()), last);

    const bool completed = way.status == 0;
    EXPECT_EQ(fake::CountCalls("system pause"), completed ? 1 : 0);
    if (completed) {
        EXPECT_EQ(fake::world.calls.end()[-2], "fflush");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, RunRepairWayOut, testing::ValuesIn(WaysOut),
                         [](const testing::TestParamInfo<WayOut>& info) { return info.param.name; });

}  // namespace
