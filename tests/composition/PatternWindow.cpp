#include "tests/composition/PatternWindow.h"

#include <cmath>
#include <string>
#include <vector>

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

constexpr UINT_PTR kMoveTimerId = 1;
constexpr UINT kMoveIntervalMs = 40;
constexpr int kStepsPerTurn = 100;

struct PatternState {
  bool moving = false;
  int step = 0;
};

PatternState& State() {
  static PatternState state;
  return state;
}

void FillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  const RECT rect{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client{};
  GetClientRect(window, &client);
  const int w = client.right;
  const int h = client.bottom;
  FillSolid(dc, 0, 0, w / 2, h / 2, kPatternTopLeft);
  FillSolid(dc, w / 2, 0, w, h / 2, kPatternTopRight);
  FillSolid(dc, 0, h / 2, w / 2, h, kPatternBottomLeft);
  FillSolid(dc, w / 2, h / 2, w, h, kPatternBottomRight);
  if (State().moving) {
    const double angle = 2.0 * 3.14159265358979 * State().step / kStepsPerTurn;
    const int size = h / 6;
    const int cx = w / 2 + static_cast<int>(std::cos(angle) * w / 4);
    const int cy = h / 2 + static_cast<int>(std::sin(angle) * h / 4);
    FillSolid(dc, cx - size / 2, cy - size / 2, cx + size / 2, cy + size / 2, RGB(255, 255, 255));
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:
      State().step = (State().step + 1) % kStepsPerTurn;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int PatternMain(const std::vector<std::wstring>& args) {
  if (args.size() < 4) return 2;
  bool moving = false;
  bool topmost = false;
  for (size_t i = 4; i < args.size(); ++i) {
    moving = moving || args[i] == L"moving";
    topmost = topmost || args[i] == L"topmost";
  }
  return RunPatternWindow(std::stoi(args[0]), std::stoi(args[1]), std::stoi(args[2]),
                          std::stoi(args[3]), moving, topmost);
}

ChildMode patternMode(L"pattern", &PatternMain);

// Child mode "minimize": args title. Minimizes another process's top-level window, which the
// benchmarks cannot ask a window manager for (the private display has none).
int MinimizeMain(const std::vector<std::wstring>& args) {
  if (args.empty()) return 2;
  HWND window = FindWindowW(nullptr, args[0].c_str());
  if (window == nullptr) return 1;
  ShowWindow(window, SW_MINIMIZE);
  return IsIconic(window) ? 0 : 1;
}

ChildMode minimizeMode(L"minimize", &MinimizeMain);

}  // namespace

int RunPatternWindow(int x, int y, int width, int height, bool moving, bool topmost) {
  State().moving = moving;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = PatternProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPatternClassName;
  if (RegisterClassExW(&wc) == 0) return 3;
  HWND window = CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, kPatternClassName, kPatternTitle,
                                WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (window == nullptr) return 4;
  UpdateWindow(window);
  if (moving) SetTimer(window, kMoveTimerId, kMoveIntervalMs, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace tvqtest
