#include <windows.h>

#include "manager/app/CManagerApp.h"
#include "manager/app/CSceneStore.h"
#include "manager/app/Settings.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  CManagerApp app(instance, tvq::OwnModulePath(), L"", tvq::UserStorePath());
  if (!app.CreateMainWindow(showCommand)) return 0;
  return app.RunMessageLoop();
}
