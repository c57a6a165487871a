@echo off
rem menufix startup script (Group Policy: Computer Configuration > Policies >
rem Windows Settings > Scripts (Startup/Shutdown)). Runs as SYSTEM at startup,
rem before anyone logs on: menufix.exe repairs the all-users Start Menu, then
rem menufix-3-folders.exe /common sets System Tools, Accessibility and
rem Windows PowerShell of that menu. Log on the share:
rem logs\startup-<computer>.log, rewritten at every startup; its last line
rem starts with "menufix result:".
setlocal EnableExtensions DisableDelayedExpansion

rem ===== EDIT THIS LINE: the share that holds both programs and logs\ =====
set "SHARE=\\server\share"

set "LOG=%SHARE%\logs\startup-%COMPUTERNAME%.log"
set "KEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
set "RESULT="
set "FAILED="

rem A log that cannot be opened keeps cmd from running the command that
rem writes to it, and the script would still end with 0. So test it first.
rem Not with "||": after a built-in command, Wine's cmd runs what follows
rem "||" even when it succeeded. Where the share cannot be written, cmd
rem skips this set, and the log goes to %TEMP%, for SYSTEM C:\Windows\Temp.
set "LOGOK="
set "LOGOK=1" > "%LOG%"
if defined LOGOK goto run
set "SHARELOG=%LOG%"
set "LOG=%TEMP%\menufix-startup.log"
> "%LOG%" echo could not write "%SHARELOG%": this log is written here instead.
set "RESULT=log not on the share; "

rem Both programs with "< nul": a program that waits for a key then goes on
rem at once, where a startup would otherwise hang.
:run
if exist "%SHARE%\menufix.exe" goto menufix_found
>> "%LOG%" echo menufix.exe not found: "%SHARE%\menufix.exe"
set "RESULT=%RESULT%menufix.exe not found"
set "FAILED=1"
goto three
:menufix_found
call :menufix
if not "%RC%"=="-1" if not "%RC%"=="-2" goto menufix_done

rem menufix reads SYSTEM's own Start Menu value before the all-users one, and
rem stops when it is missing. Then give SYSTEM the value of its own Start
rem Menu folder and run menufix once more; as SYSTEM only (SID S-1-5-18),
rem never in the registry of a person who runs this script by hand.
set "SID="
for /f "tokens=2 delims=," %%S in ('"%SystemRoot%\System32\whoami.exe" /user /fo csv /nh') do set "SID=%%~S"
if "%SID%"=="S-1-5-18" goto system
>> "%LOG%" echo not run as SYSTEM (SID %SID%): the Start Menu value is left as it is.
goto menufix_done
:system
reg query "%KEY%" /v "Start Menu" /reg:32 >nul 2>&1
if not errorlevel 1 goto menufix_done
>> "%LOG%" echo SYSTEM has no Start Menu value: adding it, running menufix again.
reg add "%KEY%" /v "Start Menu" /t REG_SZ /d "%SystemRoot%\System32\config\systemprofile\AppData\Roaming\Microsoft\Windows\Start Menu" /f /reg:32 >> "%LOG%" 2>&1
call :menufix

:menufix_done
set "RESULT=%RESULT%menufix.exe exit code %RC%"
if not "%RC%"=="0" set "FAILED=1"

:three
if exist "%SHARE%\menufix-3-folders.exe" goto three_found
>> "%LOG%" echo menufix-3-folders.exe not found: "%SHARE%\menufix-3-folders.exe"
set "RESULT=%RESULT%; menufix-3-folders.exe not found"
set "FAILED=1"
goto end
:three_found
"%SHARE%\menufix-3-folders.exe" /common < nul >> "%LOG%" 2>&1
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

rem One run of menufix; its exit code in RC.
:menufix
"%SHARE%\menufix.exe" < nul >> "%LOG%" 2>&1
set "RC=%ERRORLEVEL%"
>> "%LOG%" echo.
>> "%LOG%" echo menufix.exe exit code: %RC%
goto :eof
