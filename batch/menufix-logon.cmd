@echo off
rem menufix logon script (Group Policy: User Configuration > Policies >
rem Windows Settings > Scripts (Logon/Logoff)). Runs as each user at logon:
rem menufix repairs that user's own Start Menu, then System Tools,
rem Accessibility and Windows PowerShell of that menu get read-only, hidden
rem and system cleared. Log on the share: logs\logon-<computer>-<user>.log,
rem rewritten at every logon; its last line starts with "menufix result:".
setlocal EnableExtensions DisableDelayedExpansion

rem ===== EDIT THIS LINE: the share that holds menufix.exe and logs\ =====
set "SHARE=\\server\share"

set "MENUFIX=%SHARE%\menufix.exe"
set "LOG=%SHARE%\logs\logon-%COMPUTERNAME%-%USERNAME%.log"
set "KEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
set "RESULT="
set "FAILED="

rem A log that cannot be opened keeps cmd from running the command that
rem writes to it, and the script would still end with 0. So test it first.
rem Not with "||": after a built-in command, Wine's cmd runs what follows
rem "||" even when it succeeded. Where the share cannot be written, cmd
rem skips this set, and the log goes to this user's %TEMP% instead.
set "LOGOK="
set "LOGOK=1" > "%LOG%"
if defined LOGOK goto run
set "SHARELOG=%LOG%"
set "LOG=%TEMP%\menufix-logon.log"
> "%LOG%" echo could not write "%SHARELOG%": this log is written here instead.
set "RESULT=log not on the share; "

:run
if exist "%MENUFIX%" goto found_menufix
>> "%LOG%" echo menufix.exe not found: "%MENUFIX%"
set "RESULT=%RESULT%menufix.exe not found"
set "FAILED=1"
goto folders
:found_menufix
"%MENUFIX%" < nul >> "%LOG%" 2>&1
set "RC=%ERRORLEVEL%"
>> "%LOG%" echo.
>> "%LOG%" echo menufix exit code: %RC%
set "RESULT=%RESULT%exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"

:folders
rem The Start Menu that menufix read, from the same registry view (32-bit),
rem so that a redirected menu is followed too.
set "ROOT="
for /f "tokens=3,*" %%A in ('reg query "%KEY%" /v "Start Menu" /reg:32 2^>nul') do set "ROOT=%%B"
if defined ROOT goto found
set "RESULT=%RESULT%; no Start Menu value"
set "FAILED=1"
goto end
:found
set "PROGRAMS=%ROOT%\Programs"
call :folder "System Tools"
call :folder "Accessibility"
call :folder "Windows PowerShell"

:end
if defined FAILED (set "RESULT=FAILED; %RESULT%") else set "RESULT=ok; %RESULT%"
>> "%LOG%" echo menufix result: %RESULT%
if defined FAILED exit /b 1
exit /b 0

rem One of the three folders, itself only (no /s, no /d: the files in it
rem stay as they are). attrib refuses +r alone on a hidden or system folder,
rem and writes nothing when it succeeds: whatever it writes is a failure.
rem Wine's attrib writes nothing when it fails, too: a hidden or system bit
rem left afterwards is a failure as well.
rem Wine's attrib keeps only the last "-" of a command line: the second
rem line, with the two the other way round, clears the other one there and
rem changes nothing on Windows, where the first has done it all.
:folder
set "DIR=%PROGRAMS%\%~1"
if exist "%DIR%\" goto change
set "RESULT=%RESULT%; %~1 absent"
goto :eof
:change
for %%L in ("%LOG%") do set "BEFORE=%%~zL"
attrib -h -s +r "%DIR%" >> "%LOG%" 2>&1
attrib -s -h +r "%DIR%" >> "%LOG%" 2>&1
for %%L in ("%LOG%") do set "AFTER=%%~zL"
for %%D in ("%DIR%") do set "ATTR=%%~aD"
if not "%BEFORE%"=="%AFTER%" goto failed
if not "%ATTR:~3,2%"=="--" goto failed
set "RESULT=%RESULT%; %~1 ok"
goto :eof
:failed
set "RESULT=%RESULT%; %~1 FAILED"
set "FAILED=1"
goto :eof
