@echo off
rem For Windows 8, 8.1, 10 and 11, after menufix: System Tools, Accessibility
rem and Windows PowerShell stand beside Accessories there, where menufix
rem does not reach them. This gives the three folders of your own Start Menu
rem and of the all-users one read-only, hidden and system cleared, as
rem menufix does for the others. Right-click it and choose "Run as
rem administrator": the all-users menu needs it.
setlocal EnableExtensions DisableDelayedExpansion
set "KEY=Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
set "OUT=%TEMP%\menufix-3-folders.txt"
set "FAILED="

rem Both Start Menus as menufix reads them, from the 32-bit registry view.
set "ROOT="
for /f "tokens=3,*" %%A in ('reg query "HKCU\%KEY%" /v "Start Menu" /reg:32 2^>nul') do set "ROOT=%%B"
call :menu "Start Menu"
set "ROOT="
for /f "tokens=4,*" %%A in ('reg query "HKLM\%KEY%" /v "Common Start Menu" /reg:32 2^>nul') do set "ROOT=%%B"
call :menu "Common Start Menu"

echo.
if defined FAILED (echo FAILED: see the lines above.) else echo Done: no folder failed.
pause
if defined FAILED exit /b 1
exit /b 0

:menu
if defined ROOT goto found
echo FAILED   no "%~1" value in the registry
set "FAILED=1"
goto :eof
:found
set "PROGRAMS=%ROOT%\Programs"
call :folder "System Tools"
call :folder "Accessibility"
call :folder "Windows PowerShell"
goto :eof

rem Paths are echoed in quotes: a user name may hold "&".
rem One folder, itself only (no /s, no /d: the files in it stay as they
rem are). attrib refuses +r alone on a hidden or system folder, and writes
rem nothing when it succeeds: whatever it writes is a failure. Wine's attrib
rem writes nothing when it fails, too: a hidden or system bit left
rem afterwards is a failure as well.
rem Wine's attrib keeps only the last "-" of a command line: the second
rem line, with the two the other way round, clears the other one there and
rem changes nothing on Windows, where the first has done it all.
:folder
set "DIR=%PROGRAMS%\%~1"
if exist "%DIR%\" goto change
echo absent   "%DIR%"
goto :eof
:change
attrib -h -s +r "%DIR%" > "%OUT%" 2>&1
attrib -s -h +r "%DIR%" >> "%OUT%" 2>&1
for %%O in ("%OUT%") do set "SIZE=%%~zO"
for %%D in ("%DIR%") do set "ATTR=%%~aD"
if not "%SIZE%"=="0" goto failed
if not "%ATTR:~3,2%"=="--" goto failed
echo ok       "%DIR%"
del "%OUT%"
goto :eof
:failed
echo FAILED   "%DIR%"
type "%OUT%"
del "%OUT%"
set "FAILED=1"
goto :eof
