#include "manager/composition/CSlotRestore.h"

#include "manager/capture/SourceSearch.h"
#include "manager/capture/WindowCandidates.h"

void CSlotRestore::Start(const std::wstring& iniPath, bool enabled, HWND ownWindow) {
  m_enabled = enabled && !iniPath.empty();
  if (!m_enabled) return;
  m_records.SetPath(iniPath);
  m_ownWindow = ownWindow;
  const int count = m_slots.SlotCount();
  m_waiting.assign(count, std::nullopt);
  m_windows.assign(count, WindowIdentity());
  m_devices.reset();
  // Records beyond the slot count stay in the file untouched, for a larger count later.
  for (int slot = 0; slot < count; ++slot) {
    const tvq::SlotRecord record = m_records.Read(slot);
    if (record.kind != tvq::kEmptySlot) Bring(slot, record);
  }
  m_devices.reset();
}

void CSlotRestore::Bring(int slot, const tvq::SlotRecord& record) {
  if (TryFill(slot, record)) return;
  if (MayStillCome(record)) m_waiting[slot] = record;
}

bool CSlotRestore::TryFill(int slot, const tvq::SlotRecord& record) {
  m_restoring = true;
  bool filled = false;
  switch (record.kind) {
    case tvq::kDesktopSlot: filled = m_filler.FillSlotWithDesktop(slot); break;
    case tvq::kWindowSlot: {
      HWND window = tvq::FindRecordedWindow(record.title, record.className, record.executable,
                                            TakenWindows());
      filled = window != nullptr && m_filler.FillSlotWithWindow(slot, window);
      break;
    }
    case tvq::kCameraSlot:
      filled = tvq::IsRestorableCamera(Devices(), record.camera) &&
               m_filler.FillSlotWithCamera(slot, record.camera);
      break;
    default: break;
  }
  if (filled && record.paused) m_slots.SetActive(slot, false);
  m_restoring = false;
  return filled;
}

// A window may open later, a camera may be plugged in; a camera that is there but does not
// start, or a record that names nothing, would only be searched for in vain.
bool CSlotRestore::MayStillCome(const tvq::SlotRecord& record) {
  switch (record.kind) {
    case tvq::kWindowSlot: return !record.title.empty();
    case tvq::kCameraSlot:
      return tvq::CanRestoreCamera(record.camera) &&
             !tvq::IsRestorableCamera(Devices(), record.camera);
    default: return false;
  }
}

bool CSlotRestore::Poll() {
  if (!m_enabled) return false;
  bool changed = WatchClosedWindows();
  m_devices.reset();  // a camera plugged in since the last poll
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (!m_waiting[slot]) continue;
    // A copy: the fill's own change notice ends the wait, and with it the stored record.
    const tvq::SlotRecord record = *m_waiting[slot];
    const bool found = m_slots.Kind(slot) == tvq::kEmptySlot ? TryFill(slot, record)
                                                             : ReattachClosedWindow(slot, record);
    if (found) {
      m_waiting[slot].reset();
      changed = true;
    }
  }
  m_devices.reset();
  return changed;
}

// A window slot whose window closed keeps its last picture (the slot stays as it is) and takes
// the next window of the same title, as a slide show makes its window anew at every start.
bool CSlotRestore::WatchClosedWindows() {
  bool changed = false;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (m_waiting[slot] || m_slots.Kind(slot) != tvq::kWindowSlot) continue;
    if (IsWindow(m_slots.WindowSource(slot).Window())) continue;
    m_waiting[slot] = Describe(slot);
    changed = true;
  }
  return changed;
}

bool CSlotRestore::ReattachClosedWindow(int slot, const tvq::SlotRecord& record) {
  HWND window =
      tvq::FindRecordedWindow(record.title, record.className, record.executable, TakenWindows());
  if (window == nullptr || !m_filler.ReplaceSlotWindow(slot, window)) return false;
  RememberWindow(slot);
  return true;
}

bool CSlotRestore::Forget(int slot) {
  if (!m_enabled || !IsSlot(slot) || !m_waiting[slot] ||
      m_slots.Kind(slot) != tvq::kEmptySlot) {
    return false;
  }
  m_waiting[slot].reset();
  m_records.Write(slot, tvq::SlotRecord());
  return true;
}

void CSlotRestore::Stop() {
  if (!m_enabled) return;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (m_slots.Kind(slot) != tvq::kEmptySlot) m_records.Write(slot, Describe(slot));
  }
  m_enabled = false;
}

void CSlotRestore::OnSlotChanged(int slot) {
  if (!m_enabled || !IsSlot(slot)) return;
  const int kind = m_slots.Kind(slot);
  if (kind == tvq::kWindowSlot) RememberWindow(slot);
  // Pausing a slot whose window closed leaves it waiting; any new source ends the wait.
  const bool stillWaiting = kind == tvq::kWindowSlot && !IsWindow(m_windows[slot].window);
  if (!stillWaiting) m_waiting[slot].reset();
  if (!m_restoring) m_records.Write(slot, Describe(slot));
}

const tvq::SlotRecord* CSlotRestore::WaitingFor(int slot) const {
  if (!m_enabled || !IsSlot(slot) || !m_waiting[slot]) return nullptr;
  return &*m_waiting[slot];
}

tvq::SlotRecord CSlotRestore::Describe(int slot) const {
  tvq::SlotRecord record;
  record.kind = m_slots.Kind(slot);
  record.paused = record.kind != tvq::kEmptySlot && !m_slots.IsActive(slot);
  if (record.kind == tvq::kCameraSlot) record.camera = m_slots.Camera(slot).OpenedWith();
  if (record.kind == tvq::kWindowSlot) {
    // The title as last read: a window is saved under the title it has now.
    record.title = m_slots.WindowSource(slot).Title();
    record.className = m_windows[slot].className;
    record.executable = m_windows[slot].executable;
  }
  return record;
}

void CSlotRestore::RememberWindow(int slot) {
  HWND window = m_slots.WindowSource(slot).Window();
  if (window == m_windows[slot].window || !IsWindow(window)) return;
  const tvq::WindowCandidate described = tvq::DescribeWindow(window);
  m_windows[slot] = WindowIdentity{window, described.className, described.executable};
}

// The same window never fills two slots, and the Manager never captures itself.
std::vector<HWND> CSlotRestore::TakenWindows() const {
  std::vector<HWND> taken{m_ownWindow};
  for (int slot = 0; slot < m_slots.SlotCount(); ++slot) {
    if (m_slots.Kind(slot) == tvq::kWindowSlot) taken.push_back(m_slots.WindowSource(slot).Window());
  }
  return taken;
}

const std::vector<tvq::VideoDevice>& CSlotRestore::Devices() {
  if (!m_devices) {
    m_devices.emplace();
    tvq::ListVideoDevices(*m_devices);
  }
  return *m_devices;
}
