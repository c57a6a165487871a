// WaitForKey: the pause of a program that starts no other: it reads the key
// from the console itself, so an elevated run never starts a command
// processor found through the user's environment.
#include "report/WaitForKey.h"

#include <windows.h>

#include "report/FixMessages.h"
#include "report/ThreeFolderMessages.h"
#include "report/WriteReport.h"

namespace {
// Keys that only change another key, which a person does not take for "any key".
bool IsModifierKey(WORD key)
{
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN;
}
}  // namespace

void WaitForKey()
{
    WriteReport(MsgPressAnyKey);
    FlushReport();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // A key pressed while the folders were handled is no answer to the prompt.
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record{};
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (record.EventType == KEY_EVENT && key.bKeyDown && !IsModifierKey(key.wVirtualKeyCode))
            break;
    }
    WriteReport(MsgLineBreak);
    FlushReport();
}
