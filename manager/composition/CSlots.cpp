#include "manager/composition/CSlots.h"

#include "manager/composition/TimerInterval.h"

CSlots::CSlots(IPlacementStore& placements, ICaptureTimers& timers)
    : m_store(placements), m_timers(timers) {}

bool CSlots::Reset(int count) {
  if (count < 0) return false;
  const bool sized = m_cameras.SetSize(count) && m_windows.SetSize(count) &&
                     m_desktops.SetSize(count) && m_kinds.SetSize(count) &&
                     m_active.SetSize(count) && m_placements.SetSize(count) &&
                     m_filling.SetSize(count);
  if (!sized) {
    m_kinds.SetSize(0);  // no slots rather than arrays of different sizes
    return false;
  }
  for (int slot = 0; slot < count; ++slot) {
    m_kinds[slot] = tvq::kEmptySlot;
    m_active[slot] = false;
    m_filling[slot] = false;
  }
  return true;
}

bool CSlots::Fill(int slot, int kind) {
  return FillUsing(slot, kind, [this, slot, kind] { return SelectSource(slot, kind); });
}

bool CSlots::FillWithWindow(int slot, HWND window) {
  return FillUsing(slot, tvq::kWindowSlot,
                   [this, slot, window] { return m_windows[slot].Attach(window); });
}

bool CSlots::FillWithCamera(int slot, const tvq::CameraRequest& request) {
  return FillUsing(slot, tvq::kCameraSlot,
                   [this, slot, &request] { return m_cameras[slot].Open(request); });
}

bool CSlots::FillUsing(int slot, int kind, const std::function<bool()>& choose) {
  if (!IsSlot(slot) || m_kinds[slot] != tvq::kEmptySlot || m_filling[slot]) return false;
  m_filling[slot] = true;
  const bool chosen = choose();
  m_filling[slot] = false;
  if (!chosen) return false;
  // The window may have been closed while the user was choosing: the slot would then be filled
  // after its last save.
  if (!m_timers.CanRunTimers()) {
    if (kind == tvq::kCameraSlot) m_cameras[slot].ReleaseGraph();
    return false;
  }
  const std::wstring section = SectionOf(slot, kind);
  m_placements[slot] = m_store.ReadPlacement(kind, section, tvq::DefaultCaptureRate(kind));
  m_kinds[slot] = kind;
  m_active[slot] = true;
  m_timers.StartCaptureTimer(slot, CaptureIntervalMs(slot));
  Notify(slot);
  return true;
}

bool CSlots::SelectSource(int slot, int kind) {
  switch (kind) {
    case tvq::kDesktopSlot:
      m_desktops[slot].Select();
      return true;
    case tvq::kWindowSlot:
      return m_windows[slot].Select();
    case tvq::kCameraSlot:
      if (m_cameras[slot].Select()) return true;
      m_cameras[slot].ReleaseGraph();
      return false;
    default:
      return false;
  }
}

bool CSlots::SaveAndClear(int slot) {
  if (!IsSlot(slot) || m_kinds[slot] == tvq::kEmptySlot) return false;
  const int kind = m_kinds[slot];
  m_timers.StopCaptureTimer(slot);
  // A window is saved under the title it has now: its source rereads it on every capture.
  m_store.WritePlacement(kind, SectionOf(slot, kind), m_placements[slot],
                         kind == tvq::kCameraSlot ? m_cameras[slot].FriendlyName() : nullptr);
  if (kind == tvq::kCameraSlot) m_cameras[slot].ReleaseGraph();
  m_kinds[slot] = tvq::kEmptySlot;
  m_active[slot] = false;
  Notify(slot);
  return true;
}

void CSlots::SetActive(int slot, bool active) {
  if (m_active[slot] == active) return;
  m_active[slot] = active;
  // Space on an empty slot flips a flag nobody reads: no source changed.
  if (m_kinds[slot] != tvq::kEmptySlot) Notify(slot);
}

void CSlots::Notify(int slot) {
  if (m_observer != nullptr) m_observer->OnSlotChanged(slot);
}

bool CSlots::CaptureTick(int slot) {
  if (!IsSlot(slot) || !m_active[slot]) return false;
  switch (m_kinds[slot]) {
    case tvq::kCameraSlot: m_cameras[slot].Capture(); return true;
    case tvq::kWindowSlot: m_windows[slot].Capture(); return true;
    case tvq::kDesktopSlot: m_desktops[slot].Capture(); return true;
    default: return false;
  }
}

void CSlots::RestartCaptureTimer(int slot) {
  // An empty slot has no timer, and must not get one.
  if (!IsSlot(slot) || m_kinds[slot] == tvq::kEmptySlot) return;
  m_timers.StopCaptureTimer(slot);
  m_timers.StartCaptureTimer(slot, CaptureIntervalMs(slot));
}

unsigned int CSlots::CaptureIntervalMs(int slot) const {
  const int kind = m_kinds[slot];
  return tvq::TimerIntervalMs(m_placements[slot].CapturePerSecond, tvq::DefaultCaptureRate(kind));
}

CImage* CSlots::Picture(int slot) {
  if (!m_active[slot]) return nullptr;
  switch (m_kinds[slot]) {
    case tvq::kCameraSlot: return &m_cameras[slot].Picture();
    case tvq::kWindowSlot: return &m_windows[slot].Picture();
    case tvq::kDesktopSlot: return &m_desktops[slot].Picture();
    default: return nullptr;
  }
}

std::wstring CSlots::SourceName(int slot) const {
  switch (m_kinds[slot]) {
    case tvq::kCameraSlot: return m_cameras[slot].FriendlyName();
    case tvq::kWindowSlot: return m_windows[slot].Title();
    default: return std::wstring();
  }
}

std::wstring CSlots::SafeSectionName(const wchar_t* name) {
  std::wstring section = name != nullptr ? name : L"";
  if (section.size() > static_cast<size_t>(kSectionNameLength)) {
    size_t length = kSectionNameLength;
    if (IS_HIGH_SURROGATE(section[length - 1])) --length;
    section.resize(length);
  }
  for (wchar_t& c : section) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return section;
}

std::wstring CSlots::SectionOf(int slot, int kind) const {
  switch (kind) {
    case tvq::kCameraSlot: return SafeSectionName(m_cameras[slot].SectionName());
    case tvq::kWindowSlot: return SafeSectionName(m_windows[slot].SectionName());
    default: return SafeSectionName(CCaptureDesktop::SectionName());
  }
}
