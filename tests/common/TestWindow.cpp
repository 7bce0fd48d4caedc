#include "tests/common/TestWindow.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <set>

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

constexpr const wchar_t* kClassName = L"TessavueCaptureTestWindow";

COLORREF QuadrantColor(const TestWindowOptions& options, const RECT& client, int x, int y) {
  const int column = x < client.right / 2 ? 0 : 1;
  const int row = y < client.bottom / 2 ? 0 : 1;
  return options.quadrants[row * 2 + column];
}

void PaintPattern(HDC dc, const RECT& client, const TestWindowOptions& options) {
  if (options.paint) {
    options.paint(dc, client);
  } else {
    FillQuadrants(dc, client, options.quadrants);
  }
}

void Paint(HWND window, const TestWindowOptions& options) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  PaintPattern(dc, client, options);
  EndPaint(window, &paint);
}

void Print(HWND window, HDC dc, const TestWindowOptions& options) {
  RECT client;
  GetClientRect(window, &client);
  if (options.print) {
    options.print(dc, client);
  } else {
    PaintPattern(dc, client, options);
  }
}

// Windows of the calling thread own a copy of their options; the quit message is only for the
// thread a TestWindow serves.
constexpr const wchar_t* kOwnedOptions = L"TVQOwnedOptions";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* options = reinterpret_cast<const TestWindowOptions*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const bool owned = GetPropW(window, kOwnedOptions) != nullptr;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (options != nullptr) {
        Paint(window, *options);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (options != nullptr) {
        Print(window, reinterpret_cast<HDC>(wParam), *options);
        return 0;
      }
      break;
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      if (!owned) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      if (owned) {
        RemovePropW(window, kOwnedOptions);
        delete options;
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Each class name once per process; windows of every test thread share them.
const wchar_t* RegisterClassOnce(const std::wstring& requested) {
  static std::mutex lock;
  static std::set<std::wstring> registered;
  const std::wstring name = requested.empty() ? kClassName : requested;
  std::lock_guard<std::mutex> guard(lock);
  auto [entry, added] = registered.insert(name);
  if (added) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name.c_str();
    RegisterClassExW(&windowClass);
  }
  return entry->c_str();
}

HWND CreatePatternWindow(const TestWindowOptions& options) {
  const wchar_t* className = RegisterClassOnce(options.className);
  const RECT& r = options.rect;
  return CreateWindowExW(options.exStyle, className, options.title.c_str(), options.style, r.left,
                         r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

HWND MakeWindowHere(const TestWindowOptions& options) {
  HWND window = CreatePatternWindow(options);
  if (window == nullptr) return nullptr;
  SetPropW(window, kOwnedOptions, window);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TestWindowOptions(options)));
  // A style with WS_VISIBLE has shown (and activated) it already.
  if (options.visible && (options.style & WS_VISIBLE) == 0) ShowWindow(window, SW_SHOWNOACTIVATE);
  if (IsWindowVisible(window)) UpdateWindow(window);
  return window;
}

void RepaintSolid(HWND window, COLORREF color) {
  auto* options = reinterpret_cast<TestWindowOptions*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (options == nullptr || GetPropW(window, kOwnedOptions) == nullptr) return;
  for (COLORREF& quadrant : options->quadrants) quadrant = color;
  InvalidateRect(window, nullptr, FALSE);
}

TestWindowOptions SolidWindow(std::wstring title, DWORD style, RECT rect, COLORREF color) {
  TestWindowOptions options;
  options.title = std::move(title);
  options.style = style;
  options.rect = rect;
  for (COLORREF& quadrant : options.quadrants) quadrant = color;
  return options;
}

void FillQuadrants(HDC dc, const RECT& client, const COLORREF (&quadrants)[4]) {
  const int midX = client.right / 2;
  const int midY = client.bottom / 2;
  const RECT parts[4] = {{0, 0, midX, midY},
                         {midX, 0, client.right, midY},
                         {0, midY, midX, client.bottom},
                         {midX, midY, client.right, client.bottom}};
  for (int i = 0; i < 4; ++i) {
    HBRUSH brush = CreateSolidBrush(quadrants[i]);
    FillRect(dc, &parts[i], brush);
    DeleteObject(brush);
  }
}

TestWindowOptions DrawnByGpu(TestWindowOptions options) {
  options.paint = [](HDC dc, const RECT& client) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  };
  COLORREF quadrants[4];
  std::copy(std::begin(options.quadrants), std::end(options.quadrants), quadrants);
  options.print = [quadrants](HDC dc, const RECT& client) {
    FillQuadrants(dc, client, quadrants);
  };
  return options;
}

TestWindow::TestWindow(const TestWindowOptions& options) : m_options(options) {
  HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_thread = std::thread([this, created] { Run(created); });
  WaitForSingleObject(created, 10000);
  CloseHandle(created);
}

TestWindow::~TestWindow() { Close(); }

void TestWindow::Run(HANDLE created) {
  m_window = CreatePatternWindow(m_options);
  if (m_window != nullptr) {
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_options));
    if (m_options.visible) {
      ShowWindow(m_window, SW_SHOWNOACTIVATE);
      UpdateWindow(m_window);
    }
  }
  SetEvent(created);
  if (m_window == nullptr) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void TestWindow::Close() {
  if (!m_thread.joinable()) return;
  if (m_window != nullptr) PostMessageW(m_window, WM_CLOSE, 0, 0);
  m_thread.join();
}

COLORREF TestWindow::ClientColorAt(int x, int y) const {
  RECT client;
  GetClientRect(m_window, &client);
  return QuadrantColor(m_options, client, x, y);
}

bool TestWindow::WaitUntilShown(DWORD timeoutMs) const {
  // Next to every quadrant edge: after a resize the old pattern still matches at the centres.
  RECT client;
  GetClientRect(m_window, &client);
  const int midX = client.right / 2;
  const int midY = client.bottom / 2;
  const int right = client.right;
  const int bottom = client.bottom;
  return WaitUntil(
      [&] {
        HDC screen = GetDC(nullptr);
        bool shown = true;
        for (int x : {1, midX - 2, midX + 1, right - 2}) {
          for (int y : {1, midY - 2, midY + 1, bottom - 2}) {
            POINT p = {x, y};
            ClientToScreen(m_window, &p);
            shown = shown && GetPixel(screen, p.x, p.y) == ClientColorAt(x, y);
          }
        }
        ReleaseDC(nullptr, screen);
        return shown;
      },
      timeoutMs);
}

}  // namespace tvqtest
