@echo off
rem menufix logon script (Group Policy: User Configuration > Policies >
rem Windows Settings > Scripts (Logon/Logoff)). Runs as each user at logon:
rem menufix.exe repairs that user's own Start Menu, then
rem menufix-3-folders.exe /user sets System Tools, Accessibility and
rem Windows PowerShell of that menu. Log on the share:
rem logs\logon-<computer>-<user>.log, rewritten at every logon; its last
rem line starts with "menufix result:".
setlocal EnableExtensions DisableDelayedExpansion

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

set "LOG=%SHARE%\logs\logon-%COMPUTERNAME%-%USERNAME%.log"
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

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a logon would otherwise hang.
:run
if exist "%SHARE%\menufix.exe" goto menufix
>> "%LOG%" echo menufix.exe not found: "%SHARE%\menufix.exe"
set "RESULT=%RESULT%menufix.exe not found"
set "FAILED=1"
goto three
:menufix
"%SHARE%\menufix.exe" < nul >> "%LOG%" 2>&1
set "RC=%ERRORLEVEL%"
>> "%LOG%" echo.
>> "%LOG%" echo menufix.exe exit code: %RC%
set "RESULT=%RESULT%menufix.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"

:three
if exist "%SHARE%\menufix-3-folders.exe" goto three_found
>> "%LOG%" echo menufix-3-folders.exe not found: "%SHARE%\menufix-3-folders.exe"
set "RESULT=%RESULT%; menufix-3-folders.exe not found"
set "FAILED=1"
goto end
:three_found
"%SHARE%\menufix-3-folders.exe" /user < nul >> "%LOG%" 2>&1
set "RC=%ERRORLEVEL%"
>> "%LOG%" echo.
>> "%LOG%" echo menufix-3-folders.exe exit code: %RC%
set "RESULT=%RESULT%; menufix-3-folders.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"

:end
if defined FAILED (set "RESULT=FAILED; %RESULT%") else set "RESULT=ok; %RESULT%"
>> "%LOG%" echo menufix result: %RESULT%
if defined FAILED exit /b 1
exit /b 0
