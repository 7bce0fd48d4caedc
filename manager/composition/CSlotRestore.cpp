#include "manager/composition/CSlotRestore.h"

void CSlotRestore::Start(const std::wstring& iniPath, bool enabled, HWND ownWindow) {
  m_enabled = enabled && !iniPath.empty();
  if (!m_enabled) return;
  m_records.SetPath(iniPath);
  m_ownWindow = ownWindow;
  const int count = m_slots.SlotCount();
  m_waiting.assign(count, std::nullopt);
  m_retries.assign(count, tvq::RetryBackoff(m_clock));
  m_devices.reset();
  // Records beyond the slot count stay in the file untouched, for a larger count later.
  for (int slot = 0; slot < count; ++slot) {
    const tvq::SlotRecord record = m_records.Read(slot);
    if (tvq::FindSlotKind(record.kind) != nullptr) Bring(slot, record);
  }
  m_devices.reset();
}

void CSlotRestore::Bring(int slot, const tvq::SlotRecord& record) {
  if (TryFill(slot, record)) return;
  if (MayStillCome(record)) m_waiting[slot] = record;
}

bool CSlotRestore::TryFill(int slot, const tvq::SlotRecord& record) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(record.kind);
  if (row == nullptr) return false;
  m_restoring = true;
  const bool filled = row->reopen(*this, slot, record);
  if (filled && record.paused) m_slots.SetActive(slot, false);
  m_restoring = false;
  return filled;
}

bool CSlotRestore::MayStillCome(const tvq::SlotRecord& record) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(record.kind);
  return row != nullptr && row->mayStillCome(*this, record);
}

bool CSlotRestore::Poll() {
  if (!m_enabled) return false;
  bool changed = WatchGoneSources();
  m_devices.reset();  // a camera plugged in since the last poll
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (!m_waiting[slot]) continue;
    // A copy: the fill's own change notice ends the wait, and with it the stored record.
    const tvq::SlotRecord record = *m_waiting[slot];
    const bool found = m_slots.IsEmpty(slot) ? TryFill(slot, record) : Reattach(slot, record);
    if (found) {
      m_waiting[slot].reset();
      changed = true;
    }
  }
  m_devices.reset();
  return changed;
}

// A slot whose source went away (a closed window) keeps its last picture (the slot stays as it
// is) and waits for the same source to come back.
bool CSlotRestore::WatchGoneSources() {
  bool changed = false;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    const ICaptureSource* source = m_slots.Source(slot);
    if (m_waiting[slot] || source == nullptr || !source->IsGone()) continue;
    m_waiting[slot] = Describe(slot);
    changed = true;
  }
  return changed;
}

bool CSlotRestore::Reattach(int slot, const tvq::SlotRecord& record) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(record.kind);
  return row != nullptr && row->reattach != nullptr && row->reattach(*this, slot, record);
}

bool CSlotRestore::Forget(int slot) {
  if (!m_enabled || !IsSlot(slot) || !m_waiting[slot] || !m_slots.IsEmpty(slot)) return false;
  m_waiting[slot].reset();
  m_retries[slot].Reset();
  m_records.Write(slot, tvq::SlotRecord());
  return true;
}

void CSlotRestore::Stop() {
  if (!m_enabled) return;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (!m_slots.IsEmpty(slot)) m_records.Write(slot, Describe(slot));
  }
  m_enabled = false;
}

void CSlotRestore::OnSlotChanged(int slot) {
  if (!m_enabled || !IsSlot(slot)) return;
  // Pausing a slot whose source went away leaves it waiting; any new source ends the wait.
  const ICaptureSource* source = m_slots.Source(slot);
  const bool stillWaiting = source != nullptr && source->IsGone();
  if (!stillWaiting) {
    m_waiting[slot].reset();
    m_retries[slot].Reset();
  }
  if (!m_restoring) m_records.Write(slot, Describe(slot));
}

const tvq::SlotRecord* CSlotRestore::WaitingFor(int slot) const {
  if (!m_enabled || !IsSlot(slot) || !m_waiting[slot]) return nullptr;
  return &*m_waiting[slot];
}

tvq::SlotRecord CSlotRestore::Describe(int slot) const {
  tvq::SlotRecord record;
  const ICaptureSource* source = m_slots.Source(slot);
  const tvq::SlotKindRow* row = tvq::FindSlotKind(m_slots.Kind(slot));
  if (source == nullptr || row == nullptr) return record;
  record.kind = row->kind;
  record.paused = !m_slots.IsActive(slot);
  row->describe(*source, record);
  return record;
}

bool CSlotRestore::FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) {
  return Spaced(slot, [&] { return m_filler.FillSlotQuietly(slot, kind, open); });
}

bool CSlotRestore::ReopenSlotSource(int slot, const tvq::SourceOpener& open) {
  return Spaced(slot, [&] { return m_filler.ReopenSlotSource(slot, open); });
}

// Every opening of a source found again comes through here. One that fails (a camera that is
// there but does not start) costs a graph built on the window's thread, so it is tried again
// only once the back-off allows.
bool CSlotRestore::Spaced(int slot, const std::function<bool()>& open) {
  tvq::RetryBackoff& retries = m_retries[slot];
  if (!retries.IsDue()) return false;
  const bool opened = open();
  if (opened) {
    retries.Reset();
  } else {
    retries.Failed();
  }
  return opened;
}

// The same window never fills two slots, and the Manager never captures itself.
std::vector<HWND> CSlotRestore::TakenWindows() const {
  std::vector<HWND> taken{m_ownWindow};
  for (int slot = 0; slot < m_slots.SlotCount(); ++slot) {
    const ICaptureSource* source = m_slots.Source(slot);
    if (source != nullptr && source->CapturedWindow() != nullptr) {
      taken.push_back(source->CapturedWindow());
    }
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
