#include "manager/composition/CSlots.h"

#include <utility>

#include "manager/composition/TimerInterval.h"

CSlots::CSlots(IPlacementStore& placements, ICaptureTimers& timers)
    : m_store(placements), m_timers(timers) {}

bool CSlots::Reset(int count) {
  if (count < 0) return false;
  const bool sized = m_cameras.SetSize(count) && m_windows.SetSize(count) &&
                     m_desktops.SetSize(count) && m_images.SetSize(count) &&
                     m_texts.SetSize(count) && m_kinds.SetSize(count) &&
                     m_active.SetSize(count) && m_placements.SetSize(count) &&
                     m_objects.SetSize(count) && m_filling.SetSize(count);
  if (!sized) {
    m_kinds.SetSize(0);  // no slots rather than arrays of different sizes
    return false;
  }
  for (int slot = 0; slot < count; ++slot) {
    m_kinds[slot] = tvq::kEmptySlot;
    m_active[slot] = false;
    m_objects[slot] = slot;
    m_filling[slot] = false;
    m_windows[slot].SetMethodMemory(m_methodMemory);
  }
  return true;
}

bool CSlots::Fill(int slot, int kind) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(kind);
  return row != nullptr && FillQuietly(slot, kind, row->choose);
}

bool CSlots::FillWithWindow(int slot, HWND window) {
  return FillQuietly(slot, tvq::kWindowSlot, [window](ICaptureSource& source) {
    return static_cast<CCaptureWindow&>(source).Attach(window);
  });
}

bool CSlots::FillWithCamera(int slot, const tvq::CameraRequest& request) {
  return FillQuietly(slot, tvq::kCameraSlot, [&request](ICaptureSource& source) {
    return static_cast<CCaptureVideo&>(source).Open(request);
  });
}

bool CSlots::FillQuietly(int slot, int kind, const tvq::SourceOpener& open) {
  m_fillProblem.clear();
  if (!IsSlot(slot) || m_kinds[slot] != tvq::kEmptySlot || m_filling[slot]) return false;
  ICaptureSource* source = SourceOf(slot, kind);
  if (source == nullptr) return false;
  m_filling[slot] = true;
  const bool chosen = open(*source);
  m_filling[slot] = false;
  m_fillProblem = chosen ? std::wstring() : source->Problem();
  if (!chosen) return false;
  // The window may have been closed while the user was choosing: the slot would then be filled
  // after its last save.
  if (!m_timers.CanRunTimers()) {
    source->Release();
    return false;
  }
  m_kinds[slot] = kind;
  m_placements[slot] = m_store.ReadPlacement(kind, SectionOf(slot), tvq::DefaultCaptureRate(kind));
  m_active[slot] = true;
  m_timers.StartCaptureTimer(slot, CaptureIntervalMs(slot));
  Notify(slot);
  return true;
}

bool CSlots::SaveAndClear(int slot) {
  ICaptureSource* source = IsSlot(slot) ? Source(slot) : nullptr;
  if (source == nullptr) return false;
  const int kind = m_kinds[slot];
  m_timers.StopCaptureTimer(slot);
  // A window is saved under the title it has now: its source rereads it on every capture.
  m_store.WritePlacement(kind, SectionOf(slot), m_placements[slot],
                         kind == tvq::kCameraSlot ? Camera(slot).FriendlyName() : nullptr);
  source->Release();
  m_kinds[slot] = tvq::kEmptySlot;
  m_active[slot] = false;
  Notify(slot);
  return true;
}

bool CSlots::Swap(int first, int second) {
  if (!IsSlot(first) || !IsSlot(second) || m_filling[first] || m_filling[second]) return false;
  if (first == second) return true;
  std::swap(m_kinds[first], m_kinds[second]);
  std::swap(m_active[first], m_active[second]);
  std::swap(m_placements[first], m_placements[second]);
  std::swap(m_objects[first], m_objects[second]);
  // Each slot's timer is numbered after the slot: both run again at their new slot's rate.
  for (int slot : {first, second}) {
    m_timers.StopCaptureTimer(slot);
    if (m_kinds[slot] != tvq::kEmptySlot) m_timers.StartCaptureTimer(slot, CaptureIntervalMs(slot));
  }
  Notify(first);
  Notify(second);
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
  ICaptureSource* source = IsSlot(slot) && m_active[slot] ? Source(slot) : nullptr;
  return source != nullptr && source->Capture();
}

void CSlots::SourceChanged(int slot) {
  if (IsSlot(slot) && !IsEmpty(slot)) Notify(slot);
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
  ICaptureSource* source = m_active[slot] ? Source(slot) : nullptr;
  return source != nullptr ? &source->Picture() : nullptr;
}

std::wstring CSlots::SourceName(int slot) const {
  const ICaptureSource* source = Source(slot);
  const tvq::SlotKindRow* row = tvq::FindSlotKind(m_kinds[slot]);
  // A kind with one name for all its sources (the desktop) names none of them here.
  if (source == nullptr || row == nullptr || row->fixedName != nullptr) return std::wstring();
  return source->Name();
}

ICaptureSource* CSlots::Source(int slot) { return SourceOf(slot, m_kinds[slot]); }

const ICaptureSource* CSlots::Source(int slot) const {
  return const_cast<CSlots*>(this)->SourceOf(slot, m_kinds[slot]);
}

const tvq::ICaptureMethodChoice* CSlots::MethodChoice(int slot) const {
  const ICaptureSource* source = Source(slot);
  return source != nullptr ? source->MethodChoice() : nullptr;
}

ICaptureSource* CSlots::SourceOf(int slot, int kind) {
  const int object = m_objects[slot];
  switch (kind) {
    case tvq::kCameraSlot: return &m_cameras[object];
    case tvq::kWindowSlot: return &m_windows[object];
    case tvq::kDesktopSlot: return &m_desktops[object];
    case tvq::kImageSlot: return &m_images[object];
    case tvq::kTextSlot: return &m_texts[object];
    default: return nullptr;
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

std::wstring CSlots::SectionOf(int slot) const {
  const ICaptureSource* source = Source(slot);
  return SafeSectionName(source != nullptr ? source->Section() : nullptr);
}
