#include "app/RunRepair.h"

int main()
{
    return RunRepair();
}
