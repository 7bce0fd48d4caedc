#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "channel/CSharedMemory.h"
#include "manager/app/CPreviewMouse.h"
#include "manager/app/CSlotKeys.h"
#include "manager/app/CStatusText.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "manager/capture/CImage.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/CSlots.h"

// The Manager's process-wide state and its main window: entry steps, the window procedure's
// handlers and the About box. One instance exists while the program runs; the window procedure
// reaches it through Current(). It gives the slots their placement files and capture timers, and
// the editing keys their actions (ISlotKeyActions).
//
// Threads: everything runs on the GUI thread, inside the window procedure; timer, key and paint
// messages are handled one at a time, so no member needs a lock.
class CManagerApp : private ISlotKeyActions {
 public:
  // modulePath is the executable whose folder holds the settings files (this program's own path
  // in the real process; tests give a path in a folder of their own). channelPrefix goes before
  // the channel's object names: empty in the real process, so that the filter finds them; tests
  // that need no filter give one of their own and never meet a running Manager's channel.
  CManagerApp(HINSTANCE instance, std::wstring modulePath, std::wstring channelPrefix = L"");
  ~CManagerApp();

  CManagerApp(const CManagerApp&) = delete;
  CManagerApp& operator=(const CManagerApp&) = delete;

  static CManagerApp* Current();

  // Process entry: texts, window class, window (whose creation runs the start-up sequence), shown
  // with showCommand. False when the window could not be created.
  bool CreateMainWindow(int showCommand);
  // Runs until WM_QUIT; returns its exit code.
  int RunMessageLoop();

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // Window procedure handlers.
  void OnCreate(HWND window);
  void OnDestroy();
  void OnPaint();
  // WM_ERASEBKGND: true when the background was erased here.
  bool OnEraseBackground(HDC dc);
  void OnKeyDown(UINT virtualKey);
  void OnKeyUp();
  // False when the command is not the Manager's and goes to DefWindowProcW.
  bool OnCommand(WORD command);
  void OnTimer(UINT_PTR timerId);
  // The mouse: forwarded to the preview's mouse handling. OnSetCursor is false when the class
  // cursor applies.
  void OnButtonDown(LPARAM position);
  void OnMouseMove(WPARAM keys, LPARAM position);
  void OnButtonUp(WPARAM keys, LPARAM position);
  void OnCaptureChanged();
  bool OnSetCursor(WORD hitArea);

  // The picture part of painting: the canvas as a preview in the bottom-right quarter of client,
  // then statusText over the whole client rectangle.
  void PaintContent(HDC dc, const RECT& client, const std::wstring& statusText);
  // Fills client with the window's background, except the preview's quarter while there is a
  // canvas to cover it: a drag repaints on every pointer move, and erasing the preview first would
  // make it flicker.
  void EraseBackground(HDC dc, const RECT& client);

  HWND Window() const { return m_window; }
  const std::wstring& IniPath() const { return m_iniPath; }
  int SlotCount() const { return m_slotCount; }
  unsigned int CompositingIntervalMs() const { return m_compositingIntervalMs; }
  CImage& Canvas() { return m_canvas; }
  CSharedMemory& FormatChannel() { return m_formatChannel; }
  CSharedMemory& IntervalChannel() { return m_intervalChannel; }
  CSharedMemory& PixelChannel() { return m_pixelChannel; }
  CSlots& Slots() { return m_slots; }
  // Null before start-up.
  CCompositor* Compositor() { return m_compositor ? &*m_compositor : nullptr; }
  const CSlotKeys& Keys() const { return m_keys; }
  // The text as drawn by the last paint.
  const CStatusText& StatusText() const { return m_statusText; }

  static constexpr int kTextLength = 100;

 private:
  void LoadTexts();
  bool RegisterWindowClass();

  void ReadSettings();
  void CreateCanvas();
  void OpenChannel();
  void StartCompositingTimer();
  void CloseChannel();

  // Where the slots, the compositing tick, the keys and the status text plug in.
  void CompositeTick();
  void InvalidatePreview();
  void CaptureTick(int slot);
  void MarkSlotChanged(int slot);
  void SaveAndClearAllSlots();
  std::wstring BuildStatusText();

  // ISlotKeyActions: what the editing keys start, on this window and this canvas.
  bool FillSlot(int slot, int kind) override;
  bool SaveAndClearSlot(int slot) override;
  void RestartCaptureTimer(int slot) override;
  void ClearCanvas() override;

  HINSTANCE m_instance;
  std::wstring m_modulePath;
  std::wstring m_channelPrefix;
  std::wstring m_iniPath;
  wchar_t m_title[kTextLength];
  wchar_t m_className[kTextLength];
  HWND m_window;

  int m_slotCount;
  int m_outputWidth;
  int m_outputHeight;
  // As read from the settings; the compositing tick later replaces it with the negotiated rate.
  double m_framePerSecond;
  unsigned int m_compositingIntervalMs;

  CImage m_canvas;
  CSharedMemory m_formatChannel;
  CSharedMemory m_intervalChannel;
  CSharedMemory m_pixelChannel;

  // What the slots save placements in and run their capture timers on; declared before them.
  tvq::CPlacementFiles m_placementFiles;
  tvq::CCaptureTimers m_captureTimers;
  // Built with the app, before the window: camera sources initialise COM for this thread.
  CSlots m_slots;
  CSlotKeys m_keys;
  CStatusText m_statusText;
  // Selecting, moving and resizing slots with the mouse, and the selection's outline.
  CPreviewMouse m_mouse;
  // Made at start-up, once the configured output size is known.
  std::optional<CCompositor> m_compositor;
};
