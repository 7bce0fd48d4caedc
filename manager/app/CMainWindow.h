#pragma once

#include <windows.h>

#include <string>

#include "manager/app/CPreviewMouse.h"
#include "manager/app/CSceneMenu.h"
#include "manager/app/CSlotMenu.h"
#include "manager/app/CStatusText.h"

class CManagerApp;

// The Manager's main window as the user meets it: its class and creation, the message loop, the
// window procedure, painting, keys, the mouse and the About box. Each handler hands its work to
// the part that owns it; start-up, shut-down, timers and the channel stay with CManagerApp.
//
// Threads: the GUI thread only, inside the window procedure.
class CMainWindow {
 public:
  CMainWindow(CManagerApp& app, HINSTANCE instance);
  ~CMainWindow();

  CMainWindow(const CMainWindow&) = delete;
  CMainWindow& operator=(const CMainWindow&) = delete;

  // Texts, window class, window (whose creation runs the app's start-up sequence), shown with
  // showCommand. False when the window could not be created.
  bool Create(int showCommand);
  // Runs until WM_QUIT; returns its exit code.
  int RunMessageLoop();

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // The picture part of painting: the canvas as a preview in the bottom-right quarter of client,
  // then statusText over the whole client rectangle.
  void PaintContent(HDC dc, const RECT& client, const std::wstring& statusText);
  // Fills client with the window's background, except the preview's quarter while there is a
  // canvas to cover it: a drag repaints on every pointer move, and erasing the preview first would
  // make it flicker.
  void EraseBackground(HDC dc, const RECT& client);
  // Everything again, as after a key release: the status text and the preview.
  void RepaintAll();

  // The text as drawn by the last paint.
  const CStatusText& StatusText() const { return m_statusText; }
  // All of it, with the scenes' block and any notice below the status text.
  const std::wstring& PaintedText() const { return m_paintedText; }
  CPreviewMouse& Mouse() { return m_mouse; }
  const CSlotMenu& SlotMenu() const { return m_slotMenu; }

  static constexpr int kTextLength = 100;

 private:
  // Message handlers; false where the message goes on to DefWindowProcW.
  bool Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void OnPaint();
  bool OnEraseBackground(HDC dc);
  void OnKeyDown(UINT virtualKey);
  void OnKeyUp();
  bool OnCommand(WORD command);
  void OnInitMenuPopup(HMENU popup);
  bool OnContextMenu(LPARAM position);
  bool OnSetCursor(WORD hitArea);
  std::wstring BuildStatusText();
  HWND Window() const;

  CManagerApp& m_app;
  HINSTANCE m_instance;
  wchar_t m_title[kTextLength];
  wchar_t m_className[kTextLength];
  CStatusText m_statusText;
  std::wstring m_paintedText;
  // Selecting, moving and resizing slots with the mouse, and the selection's outline.
  CPreviewMouse m_mouse;
  // A slot's menu, from a right click or the context-menu keys.
  CSlotMenu m_slotMenu;
  // The scenes in the main menu and in every slot's menu.
  CSceneMenu m_sceneMenu;
};
