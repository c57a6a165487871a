#pragma once

// Shows the report so far and "请按任意键继续. . .", and waits for a key
// pressed on the console. Returns at once where standard input is no console.
void WaitForKey();
