#pragma once

#include <string>
#include <vector>

#include "manager/capture/CImage.h"
#include "manager/composition/ISlotTable.h"

// A placement at x, y of width x height (fractions of the canvas), everything else as a new
// slot has it.
inline SCIInfo PlacedAt(double x, double y, double width, double height) {
  SCIInfo info;
  info.Pos_x = x;
  info.Pos_y = y;
  info.Width = width;
  info.Height = height;
  return info;
}

// A slot table over pictures the test owns; a slot's picture is offered only while the slot is
// filled and active, as the real slots do.
class FakeSlotTable : public ISlotTable {
 public:
  explicit FakeSlotTable(int count)
      : m_kinds(count, tvq::kEmptySlot), m_active(count, false), m_placements(count),
        m_pictures(count), m_names(count) {}

  void Fill(int slot, int kind, const std::wstring& name = L"") {
    m_kinds[slot] = kind;
    m_active[slot] = true;
    m_names[slot] = name;
  }

  CImage& OwnPicture(int slot) { return m_pictures[slot]; }

  int SlotCount() const override { return static_cast<int>(m_kinds.size()); }
  int Kind(int slot) const override { return m_kinds[slot]; }
  bool IsActive(int slot) const override { return m_active[slot]; }
  void SetActive(int slot, bool active) override { m_active[slot] = active; }
  SCIInfo& Placement(int slot) override { return m_placements[slot]; }
  const SCIInfo& Placement(int slot) const override { return m_placements[slot]; }
  CImage* Picture(int slot) override {
    if (!m_active[slot] || m_kinds[slot] == tvq::kEmptySlot) return nullptr;
    return &m_pictures[slot];
  }
  std::wstring SourceName(int slot) const override { return m_names[slot]; }

 private:
  std::vector<int> m_kinds;
  std::vector<bool> m_active;
  std::vector<SCIInfo> m_placements;
  std::vector<CImage> m_pictures;
  std::vector<std::wstring> m_names;
};
