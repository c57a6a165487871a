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

rem The first line goes to the log at once: a run that never ends leaves
rem a log without a result line. A log that cannot be opened keeps cmd from
rem running the command that writes to it, so it is tested first, and not
rem with "||": after a built-in command, Wine's cmd runs what follows "||"
rem even when it succeeded.
set "LOGOK="
set "LOGOK=1" > "%LOG%"
if not defined LOGOK set "NOTE=log not on the share; "
if defined LOGOK >> "%LOG%" echo menufix logon run started %STARTED%, programs from "%SHARE%"
> "%LOCAL%-log.txt" echo menufix logon run started %STARTED%, programs from "%SHARE%"
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
rem The whole log is made here and copied to its place in one step, so
rem that a share gone since the first line costs no line of it. Where the
rem copy fails, the log stays here, and says why.
if exist "%LOCAL%-menufix.txt" type "%LOCAL%-menufix.txt" >> "%LOCAL%-log.txt"
>> "%LOCAL%-log.txt" echo.
>> "%LOCAL%-log.txt" echo %MENUFIX%
if exist "%LOCAL%-3-folders.txt" type "%LOCAL%-3-folders.txt" >> "%LOCAL%-log.txt"
>> "%LOCAL%-log.txt" echo.
>> "%LOCAL%-log.txt" echo %THREE%
if defined NOTE goto fallback
copy /y "%LOCAL%-log.txt" "%LOCAL%-done.txt" >nul
>> "%LOCAL%-done.txt" echo menufix result: %RESULT%; started %STARTED%; %MENUFIX%; %THREE%
copy /y "%LOCAL%-done.txt" "%LOG%" >nul 2>&1
if not errorlevel 1 goto written
:fallback
set "NOTE=log not on the share; "
> "%LOCAL%.log" echo could not write "%LOG%": this log is written here instead.
type "%LOCAL%-log.txt" >> "%LOCAL%.log"
>> "%LOCAL%.log" echo menufix result: %RESULT%; %NOTE%started %STARTED%; %MENUFIX%; %THREE%
set "LOG=%LOCAL%.log"
:written
del "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-log.txt" "%LOCAL%-done.txt" 2>nul
if defined FAILED exit /b 1
exit /b 0

