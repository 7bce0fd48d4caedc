#include "manager/app/WindowDpi.h"

#include "common/Lifetime.h"

namespace tvq {
namespace {

constexpr int kDefaultDpi = 96;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Looked up at run time: Windows 7 has no GetDpiForWindow, and linking it would stop the
// program from loading there.
GetDpiForWindowFn FindGetDpiForWindow() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
}

}  // namespace

int WindowDpi(HWND window) {
  static const GetDpiForWindowFn getDpiForWindow = FindGetDpiForWindow();
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  UniqueWindowDC dc(window, GetDC(window));
  const int dpi = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSX) : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

int ScaleForDpi(int pixels, HWND window) {
  const int scaled = MulDiv(pixels, WindowDpi(window), kDefaultDpi);
  return scaled > 0 ? scaled : 1;
}

}  // namespace tvq
