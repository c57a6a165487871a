#pragma once

// The whole run: repairs the user's and the common Start Menu folders and
// returns the exit status: 0 completed, -1 a registry key could not be
// opened, -2 a Start Menu root could not be read.
int RunRepair();
