#include "manager/app/CManagerApp.h"

#include <utility>

#include "channel/ChannelNames.h"
#include "manager/app/CPreviewGeometry.h"
#include "manager/composition/SlotLayout.h"
#include "manager/composition/TimerInterval.h"

namespace {

constexpr wchar_t kNoticeHeading[] = L"----\n【お知らせ】\n";
constexpr wchar_t kStoreFileName[] = L"Scenes.ini";

}  // namespace

CManagerApp::CManagerApp(HINSTANCE instance, std::wstring modulePath, std::wstring channelPrefix,
                         std::wstring storePath)
    : m_modulePath(std::move(modulePath)),
      m_channelPrefix(std::move(channelPrefix)),
      m_window(nullptr),
      m_slotCount(tvq::kDefaultSlotCount),
      m_outputWidth(0),
      m_outputHeight(0),
      m_framePerSecond(tvq::kDefaultFramePerSecond),
      m_restoreSlots(false),
      m_compositingIntervalMs(0),
      m_placementFiles(m_modulePath),
      m_methodFile(m_modulePath),
      m_slots(m_placementFiles, m_captureTimers),
      m_keys(m_slots, *this),
      m_restore(m_slots, *this, m_tickClock),
      m_scenes(m_slots, m_restore, *this,
               storePath.empty() ? tvq::SettingsPath(m_modulePath, kStoreFileName) : storePath),
      m_mainWindow(*this, instance) {
  m_slots.SetObserver(&m_restore);
  m_slots.SetMethodMemory(&m_methodFile);
}

CManagerApp::~CManagerApp() {
  // The real program's window is gone by now; a test may end with the window still open.
  if (m_window != nullptr && IsWindow(m_window)) DestroyWindow(m_window);
}

// ---------------------------------------------------------------------------------------------
// Process entry

bool CManagerApp::CreateMainWindow(int showCommand) { return m_mainWindow.Create(showCommand); }

int CManagerApp::RunMessageLoop() { return m_mainWindow.RunMessageLoop(); }

// ---------------------------------------------------------------------------------------------
// Start-up, shut-down and timers

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
  RestoreSlots();
}

void CManagerApp::OnDestroy() {
  KillTimer(m_window, tvq::kCompositingTimerId);
  KillTimer(m_window, tvq::kWaitingTimerId);
  // What the slots hold is recorded before they are cleared, and the store written at once.
  m_restore.Stop();
  m_scenes.Stop();
  // Slots are saved while the channel is still open, then the channel handles are closed.
  SaveAndClearAllSlots();
  CloseChannel();
  PostQuitMessage(0);
  m_window = nullptr;
}

void CManagerApp::OnTimer(UINT_PTR timerId) {
  if (timerId == tvq::kCompositingTimerId) {
    CompositeTick();
    return;
  }
  if (timerId == tvq::kWaitingTimerId) {
    if (m_restore.Poll()) m_mainWindow.RepaintAll();
    return;
  }
  if (timerId == tvq::kStoreWriteTimerId) {
    m_scenes.OnWriteTimer();
    return;
  }
  const int slot = tvq::SlotOfCaptureTimer(timerId, m_slotCount);
  if (slot >= 0) CaptureTick(slot);
}

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
  m_restoreSlots = settings.restoreSlots;
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

// After the specified steps. The slots come back only when the settings ask for it; the store,
// the scenes' keys and the one waiting timer are there in any case (a scene may bring back a
// source that is not there yet).
void CManagerApp::RestoreSlots() {
  m_scenes.Start(m_window, m_iniPath);
  m_restore.Start(m_scenes, m_restoreSlots, m_window);
  SetTimer(m_window, tvq::kWaitingTimerId, CSlotRestore::kPollIntervalMs, nullptr);
}

void CManagerApp::OnHotkey(WPARAM id) {
  if (m_scenes.OnHotkey(id)) m_mainWindow.RepaintAll();
}

// The canvas keeps the old scene until the new one is drawn whole (see CCompositor::BeginScene).
void CManagerApp::ShowNewScene(int fadeMs) {
  if (m_compositor) m_compositor->BeginScene(fadeMs);
  m_mainWindow.RepaintAll();
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
  m_compositor->HoldDrawing(m_scenes.WaitsForFirstPictures());
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

// The compositor compares what the capture brought with what the slot showed. A source that
// draws at the slot's size hears of a new placement or canvas size first.
void CManagerApp::CaptureTick(int slot) {
  FitSlot(slot);
  if (m_slots.CaptureTick(slot) && m_compositor) m_compositor->MarkSlotCaptured(m_slots, slot);
}

bool CManagerApp::FitSlot(int slot) {
  ICaptureSource* source = m_slots.Source(slot);
  if (source == nullptr) return false;
  const tvq::PixelRect size =
      tvq::FittedPictureSize(m_slots.Placement(slot), m_canvas.Width(), m_canvas.Height());
  return source->FitTo(size.width, size.height);
}

// A slot filled anew or emptied may hold a picture made anew with the very bitmap handle and size
// of the one drawn before, which the compositor could not tell apart.
void CManagerApp::MarkSlotChanged(int slot) {
  if (m_compositor) m_compositor->MarkSlotChanged(slot);
}

void CManagerApp::SaveAndClearAllSlots() {
  for (int slot = 0; slot < m_slots.SlotCount(); ++slot) m_slots.SaveAndClear(slot);
}

bool CManagerApp::FillSlot(int slot, int kind) {
  const bool filled = m_slots.Fill(slot, kind);
  if (!filled && !m_slots.FillProblem().empty()) {
    m_notice = std::wstring(kNoticeHeading) + m_slots.FillProblem() + L"（スロット " +
               std::to_wstring(slot + 1) + L" には入力しませんでした）\n";
  }
  return AfterFill(slot, filled);
}

bool CManagerApp::FillSlotWithWindow(int slot, HWND window) {
  return AfterFill(slot, m_slots.FillWithWindow(slot, window));
}

bool CManagerApp::FillSlotWithCamera(int slot, const tvq::CameraRequest& request) {
  return AfterFill(slot, m_slots.FillWithCamera(slot, request));
}

bool CManagerApp::FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) {
  return AfterFill(slot, m_slots.FillQuietly(slot, kind, open));
}

// Captured at once: the slot would otherwise show the new picture blank until its next capture.
bool CManagerApp::ReopenSlotSource(int slot, const tvq::SourceOpener& open) {
  ICaptureSource* source = m_slots.Source(slot);
  if (source == nullptr || !open(*source)) return false;
  m_slots.CaptureTick(slot);
  return AfterFill(slot, true);
}

bool CManagerApp::AfterFill(int slot, bool filled) {
  if (!filled) return false;
  // Drawn at once at the slot's size, not first at the source's own size.
  if (FitSlot(slot)) m_slots.CaptureTick(slot);
  MarkSlotChanged(slot);
  m_mainWindow.RepaintAll();
  return true;
}

bool CManagerApp::SaveAndClearSlot(int slot) {
  const bool cleared = m_slots.SaveAndClear(slot);
  if (cleared) MarkSlotChanged(slot);
  // Delete on an empty slot that waits for its source forgets the source.
  return cleared || m_restore.Forget(slot);
}

void CManagerApp::RestartCaptureTimer(int slot) { m_slots.RestartCaptureTimer(slot); }

void CManagerApp::ClearCanvas() {
  if (m_compositor) m_compositor->ClearCanvas();
}
