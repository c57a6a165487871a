# The 64-bit twin, for kernels that cannot run 32-bit code. Debian's wine
# wrapper picks the 32-bit loader whenever wine32 is installed, so the twin
# is started with the 64-bit loader itself.
set(MENUFIX_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
