#include "manager/app/CManagerApp.h"

#include <windowsx.h>

#include <utility>

#include "channel/ChannelNames.h"
#include "manager/app/CPreviewGeometry.h"
#include "manager/composition/TimerInterval.h"
#include "resources/Resource.h"

namespace {

CManagerApp* g_current = nullptr;

}  // namespace

CManagerApp::CManagerApp(HINSTANCE instance, std::wstring modulePath, std::wstring channelPrefix)
    : m_instance(instance),
      m_modulePath(std::move(modulePath)),
      m_channelPrefix(std::move(channelPrefix)),
      m_title{},
      m_className{},
      m_window(nullptr),
      m_slotCount(tvq::kDefaultSlotCount),
      m_outputWidth(0),
      m_outputHeight(0),
      m_framePerSecond(tvq::kDefaultFramePerSecond),
      m_compositingIntervalMs(0),
      m_placementFiles(m_modulePath),
      m_slots(m_placementFiles, m_captureTimers),
      m_keys(m_slots, *this),
      m_mouse(m_slots, m_keys, m_statusText, m_canvas) {
  if (g_current == nullptr) g_current = this;
}

CManagerApp::~CManagerApp() {
  // The real program's window is gone by now; a test may end with the window still open.
  if (m_window != nullptr && IsWindow(m_window)) DestroyWindow(m_window);
  if (m_className[0] != L'\0') UnregisterClassW(m_className, m_instance);
  if (g_current == this) g_current = nullptr;
}

CManagerApp* CManagerApp::Current() { return g_current; }

// ---------------------------------------------------------------------------------------------
// Process entry

bool CManagerApp::CreateMainWindow(int showCommand) {
  LoadTexts();
  RegisterWindowClass();
  // The class menu applies: no menu handle here. WM_CREATE runs the start-up sequence.
  HWND window = CreateWindowExW(0, m_className, m_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, m_instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return true;
}

int CManagerApp::RunMessageLoop() {
  HACCEL accelerators = LoadAcceleratorsW(m_instance, MAKEINTRESOURCEW(IDC_TESSAVUEMANAGER));
  MSG message{};
  // GetMessageW answers -1 when it fails; taking that for a message would spin for ever.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void CManagerApp::LoadTexts() {
  LoadStringW(m_instance, IDS_APP_TITLE, m_title, kTextLength);
  LoadStringW(m_instance, IDC_TESSAVUEMANAGER, m_className, kTextLength);
}

bool CManagerApp::RegisterWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &CManagerApp::WindowProc;
  windowClass.hInstance = m_instance;
  windowClass.hIcon = LoadIconW(m_instance, MAKEINTRESOURCEW(IDI_TESSAVUEMANAGER));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_TESSAVUEMANAGER);
  windowClass.lpszClassName = m_className;
  windowClass.hIconSm = LoadIconW(m_instance, MAKEINTRESOURCEW(IDI_SMALL));
  return RegisterClassExW(&windowClass) != 0;
}

// ---------------------------------------------------------------------------------------------
// Window procedure

LRESULT CALLBACK CManagerApp::WindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  CManagerApp* app = Current();
  if (app == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      app->OnCreate(window);
      return 0;
    case WM_DESTROY:
      app->OnDestroy();
      return 0;
    case WM_PAINT:
      app->OnPaint();
      return 0;
    case WM_ERASEBKGND:
      if (app->OnEraseBackground(reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case WM_KEYDOWN:
      app->OnKeyDown(static_cast<UINT>(wParam));
      return 0;
    case WM_KEYUP:
      app->OnKeyUp();
      return 0;
    case WM_COMMAND:
      if (app->OnCommand(LOWORD(wParam))) return 0;
      break;
    case WM_TIMER:
      app->OnTimer(wParam);
      return 0;
    case WM_LBUTTONDOWN:
      app->OnButtonDown(lParam);
      return 0;
    case WM_MOUSEMOVE:
      app->OnMouseMove(wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      app->OnButtonUp(wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      app->OnCaptureChanged();
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == window && app->OnSetCursor(LOWORD(lParam))) {
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// No step stops the start-up: whatever failed stays absent and the Manager runs on.
void CManagerApp::OnCreate(HWND window) {
  m_window = window;
  m_captureTimers.SetWindow(window);
  ReadSettings();
  m_slots.Reset(m_slotCount);
  CreateCanvas();
  OpenChannel();
  m_compositor.emplace(m_canvas, m_formatChannel, m_intervalChannel, m_pixelChannel,
                       m_outputWidth, m_outputHeight);
  if (!m_iniPath.empty()) tvq::RecordPathsInRegistry(m_iniPath, m_modulePath);
  StartCompositingTimer();
}

void CManagerApp::OnDestroy() {
  KillTimer(m_window, tvq::kCompositingTimerId);
  // Slots are saved while the channel is still open, then the channel handles are closed.
  SaveAndClearAllSlots();
  CloseChannel();
  PostQuitMessage(0);
  m_window = nullptr;
}

void CManagerApp::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_window, &paint);
  const std::wstring statusText = BuildStatusText();
  RECT client{};
  GetClientRect(m_window, &client);
  PaintContent(dc, client, statusText);
  // After the preview, on every paint: a repaint of part of the preview keeps the outline.
  m_mouse.DrawOutline(m_window, dc, client);
  EndPaint(m_window, &paint);
}

bool CManagerApp::OnEraseBackground(HDC dc) {
  RECT client{};
  if (m_window == nullptr || !GetClientRect(m_window, &client)) return false;
  EraseBackground(dc, client);
  return true;
}

void CManagerApp::EraseBackground(HDC dc, const RECT& client) {
  // The painting that follows uses the same context: its clipping must come back unchanged.
  const int saved = SaveDC(dc);
  if (m_canvas.Bitmap() != nullptr) {
    const RECT preview = CPreviewGeometry(client, m_canvas.Width(), m_canvas.Height()).Preview();
    ExcludeClipRect(dc, preview.left, preview.top, preview.right, preview.bottom);
  }
  FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  RestoreDC(dc, saved);
}

void CManagerApp::PaintContent(HDC dc, const RECT& client, const std::wstring& statusText) {
  SetStretchBltMode(dc, HALFTONE);
  // HALFTONE needs the brush origin set again after the mode is chosen.
  SetBrushOrgEx(dc, 0, 0, nullptr);
  if (m_canvas.Bitmap() != nullptr) {
    const RECT preview = CPreviewGeometry(client, m_canvas.Width(), m_canvas.Height()).Preview();
    // BeginPaint clips to the invalid part of the quarter, and the stretch computes only what
    // shows there (a tick invalidates just the part it changed, see InvalidatePreview).
    m_canvas.Draw(dc, preview.left, preview.top, preview.right - preview.left,
                  preview.bottom - preview.top, 0, 0, m_canvas.Width(), m_canvas.Height());
  }
  // The text is not NUL-terminated for DrawTextW: its length is passed. It is drawn after the
  // preview with the default opaque background, so a long line covers the preview.
  RECT textArea = client;
  DrawTextW(dc, statusText.data(), static_cast<int>(statusText.size()), &textArea, 0);
}

void CManagerApp::OnKeyDown(UINT virtualKey) {
  // Esc is no editing key: it only ends a running drag, putting the slot back.
  if (virtualKey == VK_ESCAPE && m_mouse.CancelDrag(m_window)) return;
  // Ctrl is read when the key is handled: held while pressing, it selects the fine steps.
  m_keys.OnKeyDown(virtualKey, GetKeyState(VK_CONTROL) < 0);
}

// Every key release repaints, so each change made by a key shows once the key is let go; held
// keys repeat their action without repainting in between.
void CManagerApp::OnKeyUp() { InvalidateRect(m_window, nullptr, TRUE); }

bool CManagerApp::OnCommand(WORD command) {
  switch (command) {
    case IDM_ABOUT:
      DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_window, &CManagerApp::AboutProc,
                      0);
      return true;
    case IDM_EXIT:
      DestroyWindow(m_window);
      return true;
    default:
      return false;
  }
}

void CManagerApp::OnTimer(UINT_PTR timerId) {
  if (timerId == tvq::kCompositingTimerId) {
    CompositeTick();
    return;
  }
  const int slot = tvq::SlotOfCaptureTimer(timerId, m_slotCount);
  if (slot >= 0) CaptureTick(slot);
}

namespace {

// Client coordinates are signed: while the mouse is captured they go negative left of and above
// the window.
POINT PointOf(LPARAM position) { return POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)}; }

}  // namespace

void CManagerApp::OnButtonDown(LPARAM position) {
  m_mouse.OnButtonDown(m_window, PointOf(position));
}

void CManagerApp::OnMouseMove(WPARAM keys, LPARAM position) {
  m_mouse.OnMove(m_window, PointOf(position), (keys & MK_SHIFT) != 0);
}

void CManagerApp::OnButtonUp(WPARAM keys, LPARAM position) {
  m_mouse.OnButtonUp(m_window, PointOf(position), (keys & MK_SHIFT) != 0);
}

void CManagerApp::OnCaptureChanged() { m_mouse.OnCaptureChanged(); }

bool CManagerApp::OnSetCursor(WORD hitArea) {
  return hitArea == HTCLIENT && m_mouse.SetCursorFor(m_window);
}

INT_PTR CALLBACK CManagerApp::AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND: {
      const WORD command = LOWORD(wParam);
      if (command == IDOK || command == IDCANCEL) {
        EndDialog(dialog, command);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return FALSE;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down steps

void CManagerApp::ReadSettings() {
  m_iniPath = m_modulePath.empty() ? std::wstring()
                                   : tvq::SettingsPath(m_modulePath, tvq::kSettingsFileName);
  // Without a path of our own (an executable path too long to read) the defaults apply and no
  // file is written anywhere else.
  const tvq::StartupSettings settings =
      m_iniPath.empty() ? tvq::StartupSettings() : tvq::LoadStartupSettings(m_iniPath);
  m_slotCount = settings.slotCount;
  m_outputWidth = settings.width;
  m_outputHeight = settings.height;
  m_framePerSecond = settings.framePerSecond;
}

void CManagerApp::CreateCanvas() {
  // A positive height: the canvas is bottom-up, as the channel's pixel rows are.
  if (!m_canvas.Create(m_outputWidth, m_outputHeight, 24)) return;
  HDC dc = m_canvas.BorrowDC();
  SetStretchBltMode(dc, HALFTONE);
  m_canvas.ReturnDC();
}

void CManagerApp::OpenChannel() {
  m_formatChannel.Create((m_channelPrefix + tvq::kFormatObjectName).c_str(),
                         tvq::kFormatObjectSize);
  m_intervalChannel.Create((m_channelPrefix + tvq::kIntervalObjectName).c_str(),
                           tvq::kIntervalObjectSize);
  // The canvas's own buffer size: rows padded to 4 bytes, so not simply width x 3 x height.
  m_pixelChannel.Create((m_channelPrefix + tvq::kPixelObjectName).c_str(),
                        static_cast<int>(m_canvas.BufferBytes()));
}

void CManagerApp::StartCompositingTimer() {
  // A rate of 0 or below from the settings file would give no usable interval.
  m_compositingIntervalMs = tvq::TimerIntervalMs(m_framePerSecond, tvq::kDefaultFramePerSecond);
  SetTimer(m_window, tvq::kCompositingTimerId, m_compositingIntervalMs, nullptr);
}

// Each object closes its mapping before its mutex.
void CManagerApp::CloseChannel() {
  m_formatChannel.Close();
  m_intervalChannel.Close();
  m_pixelChannel.Close();
}

// ---------------------------------------------------------------------------------------------
// Slots, compositing, keys and status text

void CManagerApp::CompositeTick() {
  if (!m_compositor) return;
  // A canvas recreated at the negotiated size shows its new size and preview at once.
  if (m_compositor->Tick(m_slots, m_framePerSecond)) {
    InvalidateRect(m_window, nullptr, TRUE);
  } else if (m_compositor->DrewLastTick()) {
    InvalidatePreview();
  }
}

// Only the part of the preview's quarter that shows what the tick drew, and without erasing: the
// canvas covers all of it, and the status text elsewhere changes only with keys, which repaint
// everything.
void CManagerApp::InvalidatePreview() {
  RECT client{};
  GetClientRect(m_window, &client);
  const CPreviewGeometry preview(client, m_canvas.Width(), m_canvas.Height());
  for (const RECT& area : m_compositor->ChangedAreas()) {
    const RECT shown = preview.Shows(area);
    InvalidateRect(m_window, &shown, FALSE);
  }
}

// The compositor compares what the capture brought with what the slot showed.
void CManagerApp::CaptureTick(int slot) {
  if (m_slots.CaptureTick(slot) && m_compositor) m_compositor->MarkSlotCaptured(m_slots, slot);
}

// A slot filled anew or emptied may hold a picture made anew with the very bitmap handle and size
// of the one drawn before, which the compositor could not tell apart.
void CManagerApp::MarkSlotChanged(int slot) {
  if (m_compositor) m_compositor->MarkSlotChanged(slot);
}

void CManagerApp::SaveAndClearAllSlots() {
  for (int slot = 0; slot < m_slots.SlotCount(); ++slot) m_slots.SaveAndClear(slot);
}

std::wstring CManagerApp::BuildStatusText() {
  m_statusText.Build(m_canvas.Width(), m_canvas.Height(), m_framePerSecond, m_slots, m_keys);
  return m_statusText.ToString();
}

bool CManagerApp::FillSlot(int slot, int kind) {
  const bool filled = m_slots.Fill(slot, kind);
  if (filled) MarkSlotChanged(slot);
  return filled;
}

bool CManagerApp::SaveAndClearSlot(int slot) {
  const bool cleared = m_slots.SaveAndClear(slot);
  if (cleared) MarkSlotChanged(slot);
  return cleared;
}

void CManagerApp::RestartCaptureTimer(int slot) { m_slots.RestartCaptureTimer(slot); }

void CManagerApp::ClearCanvas() {
  if (m_compositor) m_compositor->ClearCanvas();
}
