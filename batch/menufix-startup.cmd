@echo off
rem menufix startup script (Group Policy: Computer Configuration > Policies >
rem Windows Settings > Scripts (Startup/Shutdown)). Runs as SYSTEM at startup,
rem before anyone logs on: menufix.exe repairs the all-users Start Menu, then
rem menufix-3-folders.exe /common sets System Tools, Accessibility and
rem Windows PowerShell of that menu.
rem Log on the share: logs\startup\<computer>.log, rewritten at every startup.
rem Its first line is written when the run starts, its last, "menufix
rem result: ...", when it ends: a log without that last line belongs to a run
rem that never ended. Where the share cannot be written, the log is
rem %SystemRoot%\Logs\menufix-startup.log, and says so in its first line.
rem Run by anyone but SYSTEM (a trial by hand), it leaves the share's log
rem alone and logs to that person's %TEMP%\menufix-startup.log.
setlocal EnableExtensions DisableDelayedExpansion

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

set "KEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
set "STARTED=%DATE% %TIME%"
set "NOTE="
set "SID="
for /f "tokens=2 delims=," %%S in ('"%SystemRoot%\System32\whoami.exe" /user /fo csv /nh') do set "SID=%%~S"
if "%SID%"=="S-1-5-18" goto system
rem The programs write here first, and the log is here, never on the share.
set "LOCAL=%TEMP%\menufix-startup"
rem SYSTEM whose whoami said nothing has %SystemRoot%\Temp for %TEMP%,
rem where any user can create files: never there.
if /i "%TEMP%"=="%SystemRoot%\Temp" set "LOCAL=%SystemRoot%\Logs\menufix-startup"
set "LOG=%LOCAL%.log"
echo not run as SYSTEM: this run's log is "%LOG%"; the share's is left as it is.
goto started
:system
rem Only SYSTEM and administrators can write here; any user can create
rem files in %TEMP% (C:\Windows\Temp) and take a fixed name there first.
set "LOCAL=%SystemRoot%\Logs\menufix-startup"
set "LOG=%SHARE%\logs\startup\%COMPUTERNAME%.log"
:started
del "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" 2>nul

rem The first line goes to the log at once: a run that never ends leaves
rem a log without a result line. A log that cannot be opened keeps cmd from
rem running the command that writes to it, so it is tested first, and not
rem with "||": after a built-in command, Wine's cmd runs what follows "||"
rem even when it succeeded.
set "LOGOK="
set "LOGOK=1" > "%LOG%"
if not defined LOGOK set "NOTE=log not on the share; "
if defined LOGOK >> "%LOG%" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%
> "%LOCAL%-log.txt" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%
set "FAILED="

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a startup would otherwise hang.
set "MENUFIX=menufix.exe not found"
if not exist "%SHARE%\menufix.exe" goto three
"%SHARE%\menufix.exe" < nul > "%LOCAL%-menufix.txt" 2>&1
set "RC=%ERRORLEVEL%"
if not "%RC%"=="-1" if not "%RC%"=="-2" goto menufix_done

rem menufix reads SYSTEM's own Start Menu value before the all-users one, and
rem stops when it is missing. Then give SYSTEM the value of its own Start
rem Menu folder and run menufix once more; as SYSTEM only (SID S-1-5-18),
rem never in the registry of a person who runs this script by hand.
if "%SID%"=="S-1-5-18" goto system_value
>> "%LOCAL%-menufix.txt" echo not run as SYSTEM (SID %SID%): no Start Menu value added.
goto menufix_done
:system_value
reg query "%KEY%" /v "Start Menu" /reg:32 >nul 2>&1
if not errorlevel 1 goto menufix_done
>> "%LOCAL%-menufix.txt" echo.
>> "%LOCAL%-menufix.txt" echo menufix.exe exit code %RC%
>> "%LOCAL%-menufix.txt" echo SYSTEM has no Start Menu value: adding it, running menufix again.
reg add "%KEY%" /v "Start Menu" /t REG_SZ /d "%SystemRoot%\System32\config\systemprofile\AppData\Roaming\Microsoft\Windows\Start Menu" /f /reg:32 >> "%LOCAL%-menufix.txt" 2>&1
"%SHARE%\menufix.exe" < nul >> "%LOCAL%-menufix.txt" 2>&1
set "RC=%ERRORLEVEL%"
:menufix_done
set "MENUFIX=menufix.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"
:three
set "THREE=menufix-3-folders.exe not found"
if not exist "%SHARE%\menufix-3-folders.exe" goto write
"%SHARE%\menufix-3-folders.exe" /common < nul > "%LOCAL%-3-folders.txt" 2>&1
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
if not "%SID%"=="S-1-5-18" echo menufix result: %RESULT%, in "%LOG%"
if defined FAILED exit /b 1
exit /b 0

