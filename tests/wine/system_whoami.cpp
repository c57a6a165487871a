// What "whoami /user /fo csv /nh" prints for LocalSystem. Wine runs nothing as
// SYSTEM: the startup script's runs as SYSTEM get this in place of whoami.exe.
#include <cstdio>

int main()
{
    std::puts("\"nt authority\\system\",\"S-1-5-18\"");
}
