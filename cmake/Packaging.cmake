# ZIP package for Windows: menufix.exe and the Chinese user guide.

# The guide is kept as UTF-8 with a byte order mark and CRLF line endings
# (see .gitattributes): Notepad opens that right on Windows 7 and later,
# whatever the system code page. Its file name stays ASCII: the ZIP folder of
# Windows 7 Explorer ignores the UTF-8 name flag and would garble a Chinese one.
set(MENUFIX_GUIDE ${PROJECT_SOURCE_DIR}/docs/guide-zh.txt)

install(TARGETS menufix RUNTIME DESTINATION .)
install(FILES ${MENUFIX_GUIDE} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME menufix)
set(CPACK_PACKAGE_FILE_NAME menufix-${PROJECT_VERSION}-win32)
# No folder inside the archive: Explorer's "Extract All" already puts the
# files into a folder named after the archive, and opening the archive shows
# menufix.exe at once.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# cpack run from elsewhere (cpack --preset) still writes into the build tree.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
