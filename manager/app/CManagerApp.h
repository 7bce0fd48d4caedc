#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "channel/CSharedMemory.h"
#include "manager/app/CMainWindow.h"
#include "manager/app/CScenes.h"
#include "manager/app/CSlotKeys.h"
#include "manager/app/CWindowMethodFile.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "manager/capture/CImage.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/CSlotRestore.h"
#include "manager/composition/CSlots.h"

// The Manager's process-wide state: the start-up and shut-down sequences, the canvas, the channel,
// the compositing and capture timers, and the slots. One instance exists while the program runs;
// its main window (CMainWindow) is handed it with its creation data and hands it the creation,
// destruction and timer messages. It gives the slots their placement files and capture timers,
// and the editing keys their actions (ISlotKeyActions).
//
// Threads: everything runs on the GUI thread, inside the window procedure; timer, key and paint
// messages are handled one at a time, so no member needs a lock.
class CManagerApp : public ISlotPicks,
                    private ISlotKeyActions,
                    private ISlotFiller,
                    private ISceneHost {
 public:
  // modulePath is the executable whose folder holds the settings files (this program's own path
  // in the real process; tests give a path in a folder of their own). channelPrefix goes before
  // the channel's object names: empty in the real process, so that the filter finds them; tests
  // that need no filter give one of their own and never meet a running Manager's channel.
  // storePath is the user's store of scenes and slots (tvq::UserStorePath() in the real
  // process); empty puts it beside modulePath, as tests want it in their own folder.
  CManagerApp(HINSTANCE instance, std::wstring modulePath, std::wstring channelPrefix = L"",
              std::wstring storePath = L"");
  ~CManagerApp();

  CManagerApp(const CManagerApp&) = delete;
  CManagerApp& operator=(const CManagerApp&) = delete;

  // Process entry: texts, window class, window (whose creation runs the start-up sequence), shown
  // with showCommand. False when the window could not be created.
  bool CreateMainWindow(int showCommand);
  // Runs until WM_QUIT; returns its exit code.
  int RunMessageLoop();

  // What the window hands over: its creation runs the start-up sequence, its destruction saves
  // and clears every slot and closes the channel.
  void OnCreate(HWND window);
  void OnDestroy();
  void OnTimer(UINT_PTR timerId);
  // WM_HOTKEY: a scene's global key.
  void OnHotkey(WPARAM id);

  // ISlotPicks: fill an empty slot without asking (a pick from a list): as the keys do after
  // the user's Yes, then the whole window repaints.
  bool FillSlotWithWindow(int slot, HWND window) override;
  bool FillSlotWithCamera(int slot, const tvq::CameraRequest& request) override;

  HWND Window() const { return m_window; }
  const std::wstring& IniPath() const { return m_iniPath; }
  int SlotCount() const { return m_slotCount; }
  unsigned int CompositingIntervalMs() const { return m_compositingIntervalMs; }
  CImage& Canvas() { return m_canvas; }
  CSharedMemory& FormatChannel() { return m_formatChannel; }
  CSharedMemory& IntervalChannel() { return m_intervalChannel; }
  CSharedMemory& PixelChannel() { return m_pixelChannel; }
  CSlots& Slots() { return m_slots; }
  // The slots brought back at start-up and those waiting for their source.
  CSlotRestore& Restore() { return m_restore; }
  const ISlotWaits& Waits() const { return m_restore; }
  CScenes& Scenes() { return m_scenes; }
  const CScenes& Scenes() const { return m_scenes; }
  // Null before start-up.
  CCompositor* Compositor() { return m_compositor ? &*m_compositor : nullptr; }
  CSlotKeys& Keys() { return m_keys; }
  const CSlotKeys& Keys() const { return m_keys; }
  double FramePerSecond() const { return m_framePerSecond; }
  CMainWindow& MainWindow() { return m_mainWindow; }
  // The text as drawn by the last paint.
  const CStatusText& StatusText() const { return m_mainWindow.StatusText(); }
  // What the last fill by key could not do (an image that is no picture), with its heading, to
  // be shown below the status text; empty when there is nothing to say. Cleared by the window
  // on any key and when a slot menu opens.
  const std::wstring& Notice() const { return m_notice; }
  void ClearNotice() { m_notice.clear(); }

 private:
  void ReadSettings();
  void CreateCanvas();
  void OpenChannel();
  void StartCompositingTimer();
  void RestoreSlots();
  void CloseChannel();

  // Where the slots, the compositing tick, the keys and the status text plug in.
  void CompositeTick();
  void InvalidatePreview();
  void CaptureTick(int slot);
  void MarkSlotChanged(int slot);
  // Tells the slot's source the size the slot shows it at; true when the source draws anew.
  bool FitSlot(int slot);
  // What follows every fill: the slot is drawn anew and the status text shows it at once (a
  // fill by key ends in a question box, which takes the key's release).
  bool AfterFill(int slot, bool filled);
  void SaveAndClearAllSlots();

  // ISlotFiller: the restore's fills, as a pick's.
  bool FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) override;
  bool ReopenSlotSource(int slot, const tvq::SourceOpener& open) override;

  // ISceneHost
  void ShowNewScene(int fadeMs) override;

  // ISlotKeyActions: what the editing keys start, on this window and this canvas.
  bool FillSlot(int slot, int kind) override;
  bool SaveAndClearSlot(int slot) override;
  void RestartCaptureTimer(int slot) override;
  void ClearCanvas() override;

  std::wstring m_modulePath;
  std::wstring m_channelPrefix;
  std::wstring m_iniPath;
  HWND m_window;

  int m_slotCount;
  int m_outputWidth;
  int m_outputHeight;
  // As read from the settings; the compositing tick later replaces it with the negotiated rate.
  double m_framePerSecond;
  bool m_restoreSlots;
  unsigned int m_compositingIntervalMs;

  CImage m_canvas;
  CSharedMemory m_formatChannel;
  CSharedMemory m_intervalChannel;
  CSharedMemory m_pixelChannel;

  // What the slots save placements in and run their capture timers on; declared before them.
  tvq::CPlacementFiles m_placementFiles;
  tvq::CCaptureTimers m_captureTimers;
  tvq::CWindowMethodFile m_methodFile;
  // Built with the app, before the window: camera sources initialise COM for this thread.
  CSlots m_slots;
  CSlotKeys m_keys;
  // Spaces out the restore's retries.
  tvq::SystemTickClock m_tickClock;
  // Hears of every slot change from the slots; built after them.
  CSlotRestore m_restore;
  // The scenes and the user's store, which keeps the restore's records.
  CScenes m_scenes;
  // Made at start-up, once the configured output size is known.
  std::optional<CCompositor> m_compositor;
  std::wstring m_notice;
  // Last: it works on the slots, keys and canvas above.
  CMainWindow m_mainWindow;
};
