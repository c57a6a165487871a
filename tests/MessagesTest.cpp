// Every message decodes from code page 936 to its Chinese text, with the
// byte length the report format depends on.
#include <gtest/gtest.h>

#include <cstring>

#include "messages/FixMessages.h"
#include "messages/RunMessages.h"
#include "tests/Cp936.h"

namespace {

struct Message {
    const char* bytes;
    const char* text;
    std::size_t length;
};

const Message Messages[] = {
    {MsgBanner, u8">>>  开始修复菜单显示英文 >>>>>>\r\n", 34},
    {MsgUserKeyFailed, u8"获取用户菜单注册表Key失败!\r\n", 28},
    {MsgUserRootFailed, u8"获取用户开始菜单路径失败!\r\n", 27},
    {MsgCommonKeyFailed, u8"获取通用菜单注册表Key失败!\r\n", 28},
    {MsgCommonRootFailed, u8"获取通用开始菜单值失败!\r\n", 25},
    {MsgClosing,
     u8"\t修复开始菜完成，如果问题仍未修复请将存在错误提示及时反馈！\r\n\t感谢您的支持和关注，谢谢！\r\n",
     90},
    {MsgLineBreak, u8"\r\n", 2},
    {MsgInvalidArgument, u8"传入参数无效\r\n", 14},
    {MsgPathMissing, u8"系统不存在\"%s\"文件!\r\n", 21},
    {MsgRepairFailed, u8"修复\"%s\"失败!\r\n", 15},
    {MsgRepairSucceeded, u8"修复\"%s\"成功!\r\n", 15},
    {MsgDesktopIniFolder, u8"->>文件夹%s", 11},
    {MsgDesktopIniMissing,
     u8" 缺失desktop.ini文件,可能会影响显示，如问题仍未修复，请从其他机器拷贝一份!\r\n<<-\r\n", 81},
};

TEST(Messages, DecodeToTheirChineseTextsAndLengths)
{
    for (const Message& message : Messages) {
        EXPECT_EQ(FromCp936(message.bytes), message.text);
        EXPECT_EQ(std::strlen(message.bytes), message.length) << message.text;
    }
}

}  // namespace
