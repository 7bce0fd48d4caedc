#include "manager/composition/CSlotRestore.h"

#include <utility>

void CSlotRestore::Start(ISlotRecordStore& records, bool bringBack, HWND ownWindow) {
  m_records = &records;
  m_enabled = true;
  m_ownWindow = ownWindow;
  const int count = m_slots.SlotCount();
  m_waiting.assign(count, std::nullopt);
  m_retries.assign(count, tvq::RetryBackoff(m_clock));
  m_devices.reset();
  // Records beyond the slot count stay in the store untouched, for a larger count later.
  for (int slot = 0; bringBack && slot < count; ++slot) {
    const tvq::SceneSlot recorded = m_records->ReadSlot(slot);
    if (!recorded.IsEmpty()) Bring(slot, recorded);
  }
  m_devices.reset();
}

bool CSlotRestore::Bring(int slot, const tvq::SceneSlot& wanted) {
  if (!m_enabled || !IsSlot(slot)) return false;
  if (TryFill(slot, wanted)) return true;
  if (MayStillCome(wanted.record)) m_waiting[slot] = wanted;
  return false;
}

bool CSlotRestore::TryFill(int slot, const tvq::SceneSlot& wanted) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(wanted.record.kind);
  if (row == nullptr) return false;
  m_restoring = true;
  const bool filled = row->reopen(*this, slot, wanted.record);
  if (filled) Place(slot, wanted);
  m_restoring = false;
  return filled;
}

// A record without a placement keeps the one its source's per-kind file gave at the fill.
void CSlotRestore::Place(int slot, const tvq::SceneSlot& value) {
  if (value.hasPlacement) {
    const double rate = m_slots.Placement(slot).CapturePerSecond;
    m_slots.Placement(slot) = value.placement;
    if (value.placement.CapturePerSecond != rate) m_slots.RestartCaptureTimer(slot);
  }
  m_slots.SetActive(slot, !value.record.paused);
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
    const tvq::SceneSlot wanted = *m_waiting[slot];
    const bool found =
        m_slots.IsEmpty(slot) ? TryFill(slot, wanted) : Reattach(slot, wanted.record);
    if (found) {
      m_waiting[slot].reset();
      if (m_records != nullptr) m_records->WriteSlot(slot, Held(slot));
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
    m_waiting[slot] = Held(slot);
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
  m_records->WriteSlot(slot, tvq::SceneSlot());
  return true;
}

// Placements change with keys and drags that tell nobody: the last ones are recorded here.
void CSlotRestore::Stop() {
  if (!m_enabled) return;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    if (!m_slots.IsEmpty(slot)) m_records->WriteSlot(slot, Held(slot));
  }
  m_enabled = false;
}

tvq::SceneSlot CSlotRestore::Held(int slot) const {
  tvq::SceneSlot held;
  if (!IsSlot(slot)) return held;
  if (m_slots.IsEmpty(slot)) return m_waiting[slot] ? *m_waiting[slot] : held;
  held.record = Describe(slot);
  held.hasPlacement = true;
  held.placement = m_slots.Placement(slot);
  return held;
}

void CSlotRestore::Adjust(int slot, const tvq::SceneSlot& value) {
  if (!IsSlot(slot)) return;
  if (!m_slots.IsEmpty(slot)) {
    Place(slot, value);
  } else if (m_waiting[slot]) {
    m_waiting[slot] = value;
  }
}

void CSlotRestore::Release(int slot) {
  if (!IsSlot(slot)) return;
  m_waiting[slot].reset();
  m_retries[slot].Reset();
  m_slots.SaveAndClear(slot);
}

bool CSlotRestore::Swap(int first, int second) {
  if (!IsSlot(first) || !IsSlot(second)) return false;
  m_restoring = true;
  const bool swapped = m_slots.Swap(first, second);
  if (swapped) {
    std::swap(m_waiting[first], m_waiting[second]);
    std::swap(m_retries[first], m_retries[second]);
  }
  m_restoring = false;
  return swapped;
}

void CSlotRestore::RecordAll() {
  if (!m_enabled) return;
  for (int slot = 0; slot < static_cast<int>(m_waiting.size()); ++slot) {
    m_records->WriteSlot(slot, Held(slot));
  }
}

void CSlotRestore::OnSlotChanged(int slot) {
  if (!m_enabled || !IsSlot(slot) || m_restoring) return;
  // Pausing a slot whose source went away leaves it waiting; any new source ends the wait.
  const ICaptureSource* source = m_slots.Source(slot);
  const bool stillWaiting = source != nullptr && source->IsGone();
  if (!stillWaiting) {
    m_waiting[slot].reset();
    m_retries[slot].Reset();
  }
  m_records->WriteSlot(slot, Held(slot));
}

const tvq::SlotRecord* CSlotRestore::WaitingFor(int slot) const {
  if (!m_enabled || !IsSlot(slot) || !m_waiting[slot]) return nullptr;
  return &m_waiting[slot]->record;
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
