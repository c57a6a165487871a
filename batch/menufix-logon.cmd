@echo off
rem menufix logon script (Group Policy: User Configuration > Policies >
rem Windows Settings > Scripts (Logon/Logoff)). Runs as each user at logon:
rem menufix.exe repairs that user's own Start Menu, then
rem menufix-3-folders.exe /user sets System Tools, Accessibility and
rem Windows PowerShell of that menu.
rem Log on the share: logs\logon\<computer>-<domain>-<user>.log, rewritten at
rem every logon. Its first line is written when the run starts, its last,
rem "menufix result: ...", when it ends: a log without that last line belongs
rem to a run that never ended. Where the share cannot be written, the log is
rem this user's %TEMP%\menufix-logon.log, and says so in its first line.
setlocal EnableExtensions DisableDelayedExpansion

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

set "LOG=%SHARE%\logs\logon\%COMPUTERNAME%-%USERDOMAIN%-%USERNAME%.log"
rem This user's own folder: the programs write here first, so that nothing
rem the share does while they run can cost a line of their output.
set "LOCAL=%TEMP%\menufix-logon"
set "STARTED=%DATE% %TIME%"
set "NOTE="
del "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" 2>nul

rem A log that cannot be opened keeps cmd from running the command that
rem writes to it, and the script would still end with 0. So test it first.
rem Not with "||": after a built-in command, Wine's cmd runs what follows
rem "||" even when it succeeded.
set "LOGOK="
set "LOGOK=1" > "%LOG%"
if not defined LOGOK call :fallback
>> "%LOG%" echo menufix logon run started %STARTED%, programs from "%SHARE%"
set "FAILED="

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a logon would otherwise hang.
set "MENUFIX=menufix.exe not found"
if not exist "%SHARE%\menufix.exe" goto three
"%SHARE%\menufix.exe" < nul > "%LOCAL%-menufix.txt" 2>&1
set "RC=%ERRORLEVEL%"
set "MENUFIX=menufix.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"
:three
set "THREE=menufix-3-folders.exe not found"
if not exist "%SHARE%\menufix-3-folders.exe" goto write
"%SHARE%\menufix-3-folders.exe" /user < nul > "%LOCAL%-3-folders.txt" 2>&1
set "RC=%ERRORLEVEL%"
set "THREE=menufix-3-folders.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"

:write
if "%MENUFIX%"=="menufix.exe not found" set "FAILED=1"
if "%THREE%"=="menufix-3-folders.exe not found" set "FAILED=1"
if defined FAILED (set "RESULT=FAILED") else set "RESULT=ok"
rem The share may have gone since the first line: test it again.
set "LOGOK="
set "LOGOK=1" >> "%LOG%"
if not defined LOGOK call :fallback
if exist "%LOCAL%-menufix.txt" type "%LOCAL%-menufix.txt" >> "%LOG%"
>> "%LOG%" echo.
>> "%LOG%" echo %MENUFIX%
if exist "%LOCAL%-3-folders.txt" type "%LOCAL%-3-folders.txt" >> "%LOG%"
>> "%LOG%" echo.
>> "%LOG%" echo %THREE%
>> "%LOG%" echo menufix result: %RESULT%; %NOTE%started %STARTED%; %MENUFIX%; %THREE%
del "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" 2>nul
if defined FAILED exit /b 1
exit /b 0

rem The log goes to this user's %TEMP% from here on, and says why.
:fallback
if defined NOTE goto :eof
set "SHARELOG=%LOG%"
set "LOG=%LOCAL%.log"
> "%LOG%" echo could not write "%SHARELOG%": this log is written here instead.
set "NOTE=log not on the share; "
goto :eof
