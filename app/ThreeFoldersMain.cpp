// menufix-3-folders [/user | /common]: without an argument both Start Menus.
#include "app/RunThreeFolders.h"
#include "report/ThreeFolderMessages.h"
#include "report/WriteReport.h"

namespace {
// Options are ASCII words: a case-insensitive compare of their letters.
bool IsOption(const char* argument, const char* option)
{
    for (; *argument != '\0' && *option != '\0'; ++argument, ++option) {
        const char letter = (*argument >= 'A' && *argument <= 'Z') ? char(*argument - 'A' + 'a') : *argument;
        if (letter != *option)
            return false;
    }
    return *argument == *option;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc == 1)
        return RunThreeFolders(Menus::Both);
    if (argc == 2 && IsOption(argv[1], "/user"))
        return RunThreeFolders(Menus::User);
    if (argc == 2 && IsOption(argv[1], "/common"))
        return RunThreeFolders(Menus::Common);
    WriteReport(MsgThreeBanner);
    WriteReport(MsgBadArgument);
    FlushReport();
    return BadArgumentStatus;
}
