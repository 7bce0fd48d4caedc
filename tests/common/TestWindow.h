#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace tvqtest {

struct TestWindowOptions {
  std::wstring title;
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD exStyle = 0;
  // Outer rectangle in screen coordinates.
  RECT rect = {0, 0, 200, 160};
  bool visible = true;
  // Client area quadrants: top left, top right, bottom left, bottom right.
  COLORREF quadrants[4] = {RGB(220, 40, 40), RGB(40, 200, 60), RGB(30, 60, 210), RGB(230, 210, 20)};
  // Paints the client area instead of the quadrants when set (on the window's thread).
  std::function<void(HDC dc, const RECT& client)> paint;
  // Answers WM_PRINTCLIENT (what PrintWindow sends under Wine) when set; otherwise the window
  // prints what it paints. A window that paints black and prints its content behaves towards a
  // copy of its device context as a window drawn by the GPU does.
  std::function<void(HDC dc, const RECT& client)> print;
  // The window class's name; empty for the tests' own class.
  std::wstring className;
};

// A window of the pattern, owned by the calling thread (for code that must see its messages, such
// as timers); DestroyWindow ends it. Null if it could not be made.
HWND MakeWindowHere(const TestWindowOptions& options);

// Gives a window of MakeWindowHere one solid colour from its next paint on.
void RepaintSolid(HWND window, COLORREF color);

// The options of a window in one solid colour.
TestWindowOptions SolidWindow(std::wstring title, DWORD style, RECT rect, COLORREF color);

// Fills client with four quadrants: top left, top right, bottom left, bottom right.
void FillQuadrants(HDC dc, const RECT& client, const COLORREF (&quadrants)[4]);

// The options of a window that paints black into its own device context and its quadrants only
// when asked to print itself, as a window drawn by the GPU behaves towards a copy of its context.
// Its black is painted by the time the TestWindow's constructor returns.
TestWindowOptions DrawnByGpu(TestWindowOptions options);

// A top-level window of a known pattern, owned by a thread of its own that serves its messages,
// as another program's window would be.
class TestWindow {
 public:
  explicit TestWindow(const TestWindowOptions& options);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND Handle() const { return m_window; }
  const TestWindowOptions& Options() const { return m_options; }
  // Destroys the window and ends its thread.
  void Close();

  // The expected colour of a client pixel (client coordinates).
  COLORREF ClientColorAt(int x, int y) const;
  // Waits until the screen shows the pattern at the window's client centre; false on time-out.
  bool WaitUntilShown(DWORD timeoutMs = 5000) const;

 private:
  void Run(HANDLE created);

  TestWindowOptions m_options;
  HWND m_window = nullptr;
  std::thread m_thread;
};

}  // namespace tvqtest
