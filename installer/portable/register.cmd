@echo off
rem Registers Tessavue Filter for every application on this computer.
rem Run as administrator (right-click, "Run as administrator").
"%SystemRoot%\System32\regsvr32.exe" "%~dp0TVQDirectShowFilter.dll"
exit /b %ERRORLEVEL%
