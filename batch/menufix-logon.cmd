@echo off
rem menufix logon script (Group Policy: User Configuration > Policies >
rem Windows Settings > Scripts (Logon/Logoff)). Runs as each user at logon:
rem menufix.exe repairs that user's own Start Menu, then
rem menufix-3-folders.exe /user sets System Tools, Accessibility and
rem Windows PowerShell of that menu.
rem Log on the share: logs\logon\<computer>;<domain>;<user>.log, rewritten at
rem every logon. Its first line is written when the run starts, its last,
rem "menufix result: ...", when it ends. A log without that last line belongs
rem to a run that never ended, or to one whose log could not be copied to the
rem share at the end: then the whole log, result included, is this user's
rem %TEMP%\menufix-logon.log (or, where %TEMP% took no file,
rem %LOCALAPPDATA%\menufix-logon.log), and its first line says why.
setlocal EnableExtensions DisableDelayedExpansion
rem A variable named ERRORLEVEL would stand in for every exit code below.
set "ERRORLEVEL="

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

rem Windows allows no ";" in a computer, domain or user name: no two
rem accounts, of one domain or two, on one PC or two, get the same name.
set "LOG=%SHARE%\logs\logon\%COMPUTERNAME%;%USERDOMAIN%;%USERNAME%.log"
rem This user's own folder: the programs write here first, so that nothing
rem the share does while they run can cost a line of their output. Run as
rem SYSTEM by mistake, %TEMP% is the system's, where any user can create
rem files: never there.
set "HERE=%TEMP%"
if /i "%TEMP%"=="%SystemRoot%\Temp" set "HERE=%SystemRoot%\Logs"
set "LOCAL=%HERE%\menufix-logon"
set "FALLBACK=%LOCAL%.log"
set "OTHER=%LOCALAPPDATA%\menufix-logon.log"
if not defined LOCALAPPDATA set "OTHER="
set "STARTED=%DATE% %TIME%"

rem The first line goes to the log at once. A log that cannot be opened
rem keeps cmd from running this line; the whole log is tried again at the end.
> "%LOG%" echo menufix logon run started %STARTED%, programs from "%SHARE%"

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
set "WHY=write menufix-logon-log.txt"
set "WHY=" > "%LOCAL%-log.txt"
if defined WHY goto refused
set "MADE="
set "MADE=1" > "%LOCAL%-menufix.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-logon-menufix.txt"
set "MADE="
set "MADE=1" > "%LOCAL%-3-folders.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-logon-3-folders.txt"
set "MADE="
set "MADE=1" > "%LOCAL%-done.txt"
if not defined MADE set "WHY=remove an earlier run's menufix-logon-done.txt"
del /f /q "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-done.txt" 2>nul
if defined WHY goto refused
> "%LOCAL%-log.txt" echo menufix logon run started %STARTED%, programs from "%SHARE%"

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a logon would otherwise hang. A program whose output
rem cannot be opened is not run at all, and cmd leaves ERRORLEVEL as it
rem was: it is set first to a number neither program returns.
set "GOOD=0"
set "MENUFIX=menufix.exe not found"
if not exist "%SHARE%\menufix.exe" goto three
call :unset
"%SHARE%\menufix.exe" < nul > "%LOCAL%-menufix.txt" 2>&1
set "RC=%ERRORLEVEL%"
set "MENUFIX=menufix.exe exit code %RC%"
if "%RC%"=="0" if exist "%LOCAL%-menufix.txt" set /a GOOD+=1
if "%RC%"=="99999" set "MENUFIX=menufix.exe did not start"
if not exist "%LOCAL%-menufix.txt" set "MENUFIX=menufix.exe not run: could not write its output"
:three
set "THREE=menufix-3-folders.exe not found"
if not exist "%SHARE%\menufix-3-folders.exe" goto write
call :unset
"%SHARE%\menufix-3-folders.exe" /user < nul > "%LOCAL%-3-folders.txt" 2>&1
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
if defined SENT >> "%LOG%" echo menufix logon run started %STARTED%, programs from "%SHARE%"
if defined SENT >> "%LOG%" echo menufix result: FAILED; started %STARTED%; could not %WHY% in "%HERE%"; neither program run
if defined SENT goto written
if not defined OTHER goto written
> "%OTHER%" echo could not write "%LOG%": this log is written here instead.
>> "%OTHER%" echo menufix logon run started %STARTED%, programs from "%SHARE%"
>> "%OTHER%" echo menufix result: FAILED; log not on the share; started %STARTED%; could not %WHY% in "%HERE%"; neither program run
set "LOG=%OTHER%"

:written
if not defined WHY del /f /q "%LOCAL%-menufix.txt" "%LOCAL%-3-folders.txt" "%LOCAL%-log.txt" "%LOCAL%-done.txt" 2>nul
if "%RESULT%"=="ok" exit /b 0
exit /b 1

:unset
exit /b 99999
