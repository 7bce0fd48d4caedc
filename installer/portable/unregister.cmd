@echo off
rem Removes the registration of Tessavue Filter. Run as administrator before deleting the folder.
"%SystemRoot%\System32\regsvr32.exe" /u "%~dp0TVQDirectShowFilter.dll"
exit /b %ERRORLEVEL%
