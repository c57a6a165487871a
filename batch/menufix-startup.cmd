@echo off
rem menufix startup script (Group Policy: Computer Configuration > Policies >
rem Windows Settings > Scripts (Startup/Shutdown)). Runs as SYSTEM at startup,
rem before anyone logs on: menufix.exe repairs the all-users Start Menu, then
rem menufix-3-folders.exe /common sets System Tools, Accessibility and
rem Windows PowerShell of that menu.
rem Log on the share: logs\startup\<computer>.log, rewritten at every startup.
rem Its first line is written when the run starts, its last, "menufix
rem result: ...", when it ends. A log without that last line belongs to a run
rem that never ended, or to one whose log could not be copied to the share at
rem the end: then the whole log, result included, is
rem %SystemRoot%\Logs\menufix-startup.log (or, where that folder took no
rem file, SYSTEM's %LOCALAPPDATA%\menufix-startup.log), and its first line
rem says why. Run by anyone but SYSTEM (a trial by hand), it leaves the
rem share's log alone and logs to that person's %TEMP%\menufix-startup.log.
setlocal EnableExtensions DisableDelayedExpansion
rem A variable named ERRORLEVEL would stand in for every exit code below.
set "ERRORLEVEL="

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

set "KEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
set "STARTED=%DATE% %TIME%"
set "SID="
for /f "tokens=2 delims=," %%S in ('"%SystemRoot%\System32\whoami.exe" /user /fo csv /nh') do set "SID=%%~S"
if "%SID%"=="S-1-5-18" goto system
rem The programs write here first, and the log is here, never on the share.
set "HERE=%TEMP%"
rem SYSTEM whose whoami said nothing has %SystemRoot%\Temp for %TEMP%,
rem where any user can create files: never there.
if /i "%TEMP%"=="%SystemRoot%\Temp" set "HERE=%SystemRoot%\Logs"
set "LOCAL=%HERE%\menufix-startup"
set "LOG=%LOCAL%.log"
echo not run as SYSTEM: this run's log is "%LOG%"; the share's is left as it is.
goto started
:system
rem Only SYSTEM and administrators can write here; any user can create
rem files in %TEMP% (C:\Windows\Temp) and take a fixed name there first.
set "HERE=%SystemRoot%\Logs"
set "LOCAL=%HERE%\menufix-startup"
set "LOG=%SHARE%\logs\startup\%COMPUTERNAME%.log"
:started
set "FALLBACK=%LOCAL%.log"
set "OTHER=%LOCALAPPDATA%\menufix-startup.log"
if not defined LOCALAPPDATA set "OTHER="

rem The first line goes to the log at once. A log that cannot be opened
rem keeps cmd from running this line; the whole log is tried again at the end.
> "%LOG%" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%

rem An earlier run's files go first: one that stays (held open) would put
rem that run's output into this run's log. One that is a folder, or a
rem junction, is left as it is and the run refused: del would empty it. Each
rem name is then made anew and removed, which a file that stayed refuses
rem (Wine 10 can hide one del could not remove). No path goes into a
rem variable that is echoed: an "&" in it would end the echo.
set "WHY="
for %%F in ("%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-done.txt" "%LOCAL%-log.txt") do if exist "%%~F\*" set "WHY=remove an earlier run's %%~nxF, a folder,"
if defined WHY goto refused
del /f /q "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-done.txt" 2>nul
set "WHY=write menufix-startup-log.txt"
set "WHY=" > "%LOCAL%-log.txt"
if defined WHY goto refused
set "MADE="
set "MADE=1" > "%LOCAL%-menufix.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-startup-menufix.txt"
set "MADE="
set "MADE=1" > "%LOCAL%-3-folders.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-startup-3-folders.txt"
set "MADE="
set "MADE=1" > "%LOCAL%-done.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-startup-done.txt"
del /f /q "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-done.txt" 2>nul
if defined WHY goto refused
> "%LOCAL%-log.txt" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a startup would otherwise hang. A program whose output
rem cannot be opened is not run at all, and cmd leaves ERRORLEVEL as it
rem was: it is set first to a number neither program returns.
set "GOOD=0"
set "MENUFIX=menufix.exe not found"
if not exist "%SHARE%\menufix.exe" goto three
call :unset
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
call :unset
"%SHARE%\menufix.exe" < nul >> "%LOCAL%-menufix.txt" 2>&1
set "RC=%ERRORLEVEL%"
:menufix_done
set "MENUFIX=menufix.exe exit code %RC%"
if "%RC%"=="0" if exist "%LOCAL%-menufix.txt" set /a GOOD+=1
if "%RC%"=="99999" set "MENUFIX=menufix.exe did not start"
if not exist "%LOCAL%-menufix.txt" set "MENUFIX=menufix.exe not run: could not write its output"
:three
set "THREE=menufix-3-folders.exe not found"
if not exist "%SHARE%\menufix-3-folders.exe" goto write
call :unset
"%SHARE%\menufix-3-folders.exe" /common < nul > "%LOCAL%-3-folders.txt" 2>&1
set "RC=%ERRORLEVEL%"
set "THREE=menufix-3-folders.exe exit code %RC%"
if "%RC%"=="0" if exist "%LOCAL%-3-folders.txt" set /a GOOD+=1
if "%RC%"=="99999" set "THREE=menufix-3-folders.exe did not start"
if not exist "%LOCAL%-3-folders.txt" set "THREE=menufix-3-folders.exe not run: could not write its output"

:write
set "RESULT=FAILED"
if "%GOOD%"=="2" set "RESULT=ok"
rem The whole log is made here and copied to its place in one step, so
rem that a share gone since the first line costs no line of it, and one
rem back since then gets this run's result. Where the copy fails, the log
rem stays here, or where this folder refuses it, in %LOCALAPPDATA%.
if exist "%LOCAL%-menufix.txt" type "%LOCAL%-menufix.txt" >> "%LOCAL%-log.txt"
>> "%LOCAL%-log.txt" echo.
>> "%LOCAL%-log.txt" echo %MENUFIX%
if exist "%LOCAL%-3-folders.txt" type "%LOCAL%-3-folders.txt" >> "%LOCAL%-log.txt"
>> "%LOCAL%-log.txt" echo.
>> "%LOCAL%-log.txt" echo %THREE%
rem "->>" begins the programs' warning of a folder without desktop.ini,
rem which keeps its English name though the run is ok; no path holds ">".
set "WARN="
"%SystemRoot%\System32\find.exe" "->>" "%LOCAL%-log.txt" >nul 2>&1
if not errorlevel 1 set "WARN=desktop.ini missing; "
copy /y "%LOCAL%-log.txt" "%LOCAL%-done.txt" >nul
>> "%LOCAL%-done.txt" echo menufix result: %RESULT%; %WARN%started %STARTED%; %MENUFIX%; %THREE%
copy /y "%LOCAL%-done.txt" "%LOG%" >nul 2>&1
if not errorlevel 1 goto written
:fallback
set "KEPT="
set "KEPT=1" > "%FALLBACK%"
if not defined KEPT set "FALLBACK=%OTHER%"
> "%FALLBACK%" echo could not write "%LOG%": this log is written here instead.
type "%LOCAL%-log.txt" >> "%FALLBACK%"
>> "%FALLBACK%" echo menufix result: %RESULT%; %WARN%log not on the share; started %STARTED%; %MENUFIX%; %THREE%
set "LOG=%FALLBACK%"
goto written

:refused
rem No file of this run can be made here: neither program runs, and the
rem share's log is written anew with the result, or a fallback elsewhere.
set "RESULT=FAILED"
set "SENT="
set "SENT=1" > "%LOG%"
if defined SENT >> "%LOG%" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%
if defined SENT >> "%LOG%" echo menufix result: FAILED; started %STARTED%; could not %WHY% in "%HERE%"; neither program run
if defined SENT goto written
if not defined OTHER goto written
> "%OTHER%" echo could not write "%LOG%": this log is written here instead.
>> "%OTHER%" echo menufix startup run started %STARTED%, programs from "%SHARE%", SID %SID%
>> "%OTHER%" echo menufix result: FAILED; log not on the share; started %STARTED%; could not %WHY% in "%HERE%"; neither program run
set "LOG=%OTHER%"

:written
if not defined WHY del /f /q "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-log.txt" "%LOCAL%-done.txt" 2>nul
if not "%SID%"=="S-1-5-18" echo menufix result: %RESULT%, in "%LOG%"
if "%RESULT%"=="ok" exit /b 0
exit /b 1

:unset
exit /b 99999
