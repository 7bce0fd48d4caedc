#include "manager/app/CMainWindow.h"

#include <windowsx.h>

#include "manager/app/CManagerApp.h"
#include "manager/app/CPreviewGeometry.h"
#include "resources/Resource.h"

namespace {

// Client coordinates are signed: while the mouse is captured they go negative left of and above
// the window.
POINT PointOf(LPARAM position) { return POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)}; }

bool ShiftIn(WPARAM keys) { return (keys & MK_SHIFT) != 0; }

// WM_CONTEXTMENU's position when the keyboard, not the mouse, asked for the menu.
constexpr LPARAM kMenuFromKeyboard = -1;
// The scenes' popup in the main menu: after "ファイル(&F)".
constexpr int kScenesMenuPosition = 1;

// The scene a digit key switches to (the row of digits or the keypad's); 0 for other keys.
int SceneOfKey(UINT virtualKey) {
  if (virtualKey >= '1' && virtualKey <= '9') return static_cast<int>(virtualKey - '0');
  if (virtualKey >= VK_NUMPAD1 && virtualKey <= VK_NUMPAD9) {
    return static_cast<int>(virtualKey - VK_NUMPAD0);
  }
  return 0;
}

}  // namespace

CMainWindow::CMainWindow(CManagerApp& app, HINSTANCE instance)
    : m_app(app),
      m_instance(instance),
      m_title{},
      m_className{},
      m_mouse(app.Slots(), app.Keys(), m_statusText, app.Canvas()),
      m_slotMenu(app.Slots(), app.Keys(), app.Waits(), app),
      m_sceneMenu(app.Scenes(), instance) {
  m_slotMenu.SetExtras(&m_sceneMenu);
}

CMainWindow::~CMainWindow() {
  if (m_className[0] != L'\0') UnregisterClassW(m_className, m_instance);
}

HWND CMainWindow::Window() const { return m_app.Window(); }

bool CMainWindow::Create(int showCommand) {
  LoadStringW(m_instance, IDS_APP_TITLE, m_title, kTextLength);
  LoadStringW(m_instance, IDC_TESSAVUEMANAGER, m_className, kTextLength);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &CMainWindow::WindowProc;
  windowClass.hInstance = m_instance;
  windowClass.hIcon = LoadIconW(m_instance, MAKEINTRESOURCEW(IDI_TESSAVUEMANAGER));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_TESSAVUEMANAGER);
  windowClass.lpszClassName = m_className;
  windowClass.hIconSm = LoadIconW(m_instance, MAKEINTRESOURCEW(IDI_SMALL));
  RegisterClassExW(&windowClass);
  // The class menu applies: no menu handle here. WM_CREATE runs the start-up sequence.
  HWND window = CreateWindowExW(0, m_className, m_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, m_instance, this);
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return true;
}

int CMainWindow::RunMessageLoop() {
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

LRESULT CALLBACK CMainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  // The window's object comes with its creation data and stays in the window until it is gone;
  // the few messages before WM_NCCREATE go to the default procedure.
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* self = reinterpret_cast<CMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  LRESULT result = 0;
  if (self != nullptr && self->Dispatch(window, message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

bool CMainWindow::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           LRESULT& result) {
  switch (message) {
    case WM_CREATE: m_app.OnCreate(window); return true;
    case WM_DESTROY: m_app.OnDestroy(); return true;
    case WM_TIMER: m_app.OnTimer(wParam); return true;
    case WM_PAINT: OnPaint(); return true;
    case WM_ERASEBKGND:
      result = 1;
      return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_KEYDOWN: OnKeyDown(static_cast<UINT>(wParam)); return true;
    case WM_KEYUP:
      OnKeyUp();
      // DefWindowProcW turns the context-menu key's release into WM_CONTEXTMENU.
      return wParam != VK_APPS;
    case WM_COMMAND: return OnCommand(LOWORD(wParam));
    case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wParam)); return true;
    case WM_HOTKEY: m_app.OnHotkey(wParam); return true;
    case WM_LBUTTONDOWN: m_mouse.OnButtonDown(window, PointOf(lParam)); return true;
    case WM_MOUSEMOVE: m_mouse.OnMove(window, PointOf(lParam), ShiftIn(wParam)); return true;
    case WM_LBUTTONUP: m_mouse.OnButtonUp(window, PointOf(lParam), ShiftIn(wParam)); return true;
    case WM_CAPTURECHANGED: m_mouse.OnCaptureChanged(); return true;
    // From DefWindowProcW after a right click.
    case WM_CONTEXTMENU: return OnContextMenu(lParam);
    // F10 is a system key; with Shift it asks for the menu, which not every system's
    // DefWindowProcW turns into WM_CONTEXTMENU (plain F10 still opens the menu bar).
    case WM_SYSKEYDOWN:
      return wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0 && OnContextMenu(kMenuFromKeyboard);
    // ...and where it does so on the release, the menu must not open a second time.
    case WM_SYSKEYUP: return wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0;
    case WM_SETCURSOR:
      result = TRUE;
      return reinterpret_cast<HWND>(wParam) == window && OnSetCursor(LOWORD(lParam));
    default: return false;
  }
}

void CMainWindow::OnPaint() {
  HWND window = Window();
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  const std::wstring statusText = BuildStatusText();
  RECT client{};
  GetClientRect(window, &client);
  PaintContent(dc, client, statusText);
  // After the preview, on every paint: a repaint of part of the preview keeps the outline.
  m_mouse.DrawOutline(window, dc, client);
  EndPaint(window, &paint);
}

bool CMainWindow::OnEraseBackground(HDC dc) {
  RECT client{};
  if (Window() == nullptr || !GetClientRect(Window(), &client)) return false;
  EraseBackground(dc, client);
  return true;
}

void CMainWindow::EraseBackground(HDC dc, const RECT& client) {
  // The painting that follows uses the same context: its clipping must come back unchanged.
  const int saved = SaveDC(dc);
  const CImage& canvas = m_app.Canvas();
  if (canvas.Bitmap() != nullptr) {
    const RECT preview = CPreviewGeometry(client, canvas.Width(), canvas.Height()).Preview();
    ExcludeClipRect(dc, preview.left, preview.top, preview.right, preview.bottom);
  }
  FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  RestoreDC(dc, saved);
}

void CMainWindow::PaintContent(HDC dc, const RECT& client, const std::wstring& statusText) {
  SetStretchBltMode(dc, HALFTONE);
  // HALFTONE needs the brush origin set again after the mode is chosen.
  SetBrushOrgEx(dc, 0, 0, nullptr);
  CImage& canvas = m_app.Canvas();
  if (canvas.Bitmap() != nullptr) {
    const RECT preview = CPreviewGeometry(client, canvas.Width(), canvas.Height()).Preview();
    // BeginPaint clips to the invalid part of the quarter, and the stretch computes only what
    // shows there (a tick invalidates just the part it changed).
    canvas.Draw(dc, preview.left, preview.top, preview.right - preview.left,
                preview.bottom - preview.top, 0, 0, canvas.Width(), canvas.Height());
  }
  // The text is not NUL-terminated for DrawTextW: its length is passed. It is drawn after the
  // preview with the default opaque background, so a long line covers the preview.
  RECT textArea = client;
  DrawTextW(dc, statusText.data(), static_cast<int>(statusText.size()), &textArea, 0);
}

void CMainWindow::RepaintAll() {
  if (Window() != nullptr) InvalidateRect(Window(), nullptr, TRUE);
}

void CMainWindow::OnKeyDown(UINT virtualKey) {
  m_slotMenu.ClearNotice();
  m_app.ClearNotice();
  // Esc is no editing key: it only ends a running drag, putting the slot back.
  if (virtualKey == VK_ESCAPE && m_mouse.CancelDrag(Window())) return;
  // Digits switch scenes while browsing; in the slot's menu and while editing they do nothing.
  const int scene = SceneOfKey(virtualKey);
  if (scene != 0) {
    if (m_app.Keys().CurrentMode() == CSlotKeys::Mode::Browsing) m_app.Scenes().SwitchTo(scene);
    return;
  }
  // Ctrl is read when the key is handled: held while pressing, it selects the fine steps.
  m_app.Keys().OnKeyDown(virtualKey, GetKeyState(VK_CONTROL) < 0);
}

// Every key release repaints, so each change made by a key shows once the key is let go; held
// keys repeat their action without repainting in between.
void CMainWindow::OnKeyUp() { RepaintAll(); }

bool CMainWindow::OnCommand(WORD command) {
  switch (command) {
    case IDM_ABOUT:
      DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), Window(),
                      &CMainWindow::AboutProc, 0);
      return true;
    case IDM_EXIT:
      DestroyWindow(Window());
      return true;
    default:
      if (!m_sceneMenu.Carry(Window(), command)) return false;
      RepaintAll();
      return true;
  }
}

void CMainWindow::OnInitMenuPopup(HMENU popup) {
  if (popup == GetSubMenu(GetMenu(Window()), kScenesMenuPosition)) m_sceneMenu.Fill(popup);
}

bool CMainWindow::OnContextMenu(LPARAM position) {
  HWND window = Window();
  POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  int slot = m_app.Keys().SelectedSlot();
  if (position == kMenuFromKeyboard) {
    at = m_mouse.MenuAnchor(window);
    ClientToScreen(window, &at);
  } else {
    POINT client = at;
    ScreenToClient(window, &client);
    RECT area{};
    GetClientRect(window, &area);
    // The caption and frame keep the system menu.
    if (!PtInRect(&area, client)) return false;
    slot = m_mouse.SlotForMenu(window, client);
  }
  // As after a key release: the status text and the outline show what a pick changed.
  m_app.ClearNotice();
  if (slot >= 0 && m_slotMenu.Open(window, slot, at)) RepaintAll();
  return true;
}

bool CMainWindow::OnSetCursor(WORD hitArea) {
  return hitArea == HTCLIENT && m_mouse.SetCursorFor(Window());
}

std::wstring CMainWindow::BuildStatusText() {
  const CImage& canvas = m_app.Canvas();
  m_statusText.Build(canvas.Width(), canvas.Height(), m_app.FramePerSecond(), m_app.Slots(),
                     m_app.Keys(), &m_app.Waits());
  // Below everything else, so the lines a click maps to slots stay where they are.
  m_paintedText = m_statusText.ToString() + m_app.Scenes().StatusBlock() + m_slotMenu.Notice() +
                  m_app.Notice();
  return m_paintedText;
}

INT_PTR CALLBACK CMainWindow::AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
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
