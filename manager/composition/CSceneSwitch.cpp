#include "manager/composition/CSceneSwitch.h"

#include <map>
#include <string>

#include "manager/composition/CSlotRestore.h"
#include "manager/composition/SlotKinds.h"

namespace {

// A record's keys as its kind writes them, to compare two records of any kind.
class KeyList : public tvq::IRecordKeys {
 public:
  std::wstring ReadText(const wchar_t* key) const override {
    const auto found = m_keys.find(key);
    return found == m_keys.end() ? std::wstring() : found->second;
  }
  void WriteText(const wchar_t* key, const std::wstring& value) override { m_keys[key] = value; }

  std::map<std::wstring, std::wstring> m_keys;
};

std::map<std::wstring, std::wstring> KeysOf(const tvq::SlotRecord& record) {
  KeyList keys;
  tvq::WriteSlotRecord(keys, record);
  // Pausing a source does not make it another one.
  keys.m_keys.erase(L"Paused");
  return keys.m_keys;
}

}  // namespace

bool CSceneSwitch::SameSource(const tvq::SlotRecord& first, const tvq::SlotRecord& second) {
  if (tvq::FindSlotKind(first.kind) == nullptr || first.kind != second.kind) return false;
  return KeysOf(first) == KeysOf(second);
}

std::vector<int> CSceneSwitch::Apply(const tvq::Scene& scene, int slotCount) {
  std::vector<tvq::SceneSlot> held(slotCount);
  std::vector<tvq::SceneSlot> wanted(slotCount);
  for (int slot = 0; slot < slotCount; ++slot) {
    held[slot] = m_restore.Held(slot);
    if (const tvq::SceneSlot* value = scene.SlotAt(slot)) wanted[slot] = *value;
  }
  std::vector<int> keptFrom = Match(held, wanted);
  MoveKept(keptFrom);
  // Closed first: nothing the scene opens has to wait for a device the old scene still holds.
  for (int slot = 0; slot < slotCount; ++slot) {
    if (keptFrom[slot] != slot) m_restore.Release(slot);
  }
  std::vector<int> opened;
  for (int slot = 0; slot < slotCount; ++slot) {
    if (keptFrom[slot] == slot) {
      m_restore.Adjust(slot, wanted[slot]);
    } else if (!wanted[slot].IsEmpty() && m_restore.Bring(slot, wanted[slot])) {
      opened.push_back(slot);
    }
  }
  m_restore.RecordAll();
  return opened;
}

// A source kept in its own slot first, so that a scene of the same sources moves nothing.
std::vector<int> CSceneSwitch::Match(const std::vector<tvq::SceneSlot>& held,
                                     const std::vector<tvq::SceneSlot>& wanted) const {
  const int count = static_cast<int>(wanted.size());
  std::vector<int> keptFrom(count, -1);
  std::vector<bool> taken(count, false);
  for (int slot = 0; slot < count; ++slot) {
    if (SameSource(held[slot].record, wanted[slot].record)) {
      keptFrom[slot] = slot;
      taken[slot] = true;
    }
  }
  for (int slot = 0; slot < count; ++slot) {
    for (int from = 0; keptFrom[slot] < 0 && from < count; ++from) {
      if (taken[from] || !SameSource(held[from].record, wanted[slot].record)) continue;
      keptFrom[slot] = from;
      taken[from] = true;
    }
  }
  return keptFrom;
}

void CSceneSwitch::MoveKept(std::vector<int>& keptFrom) {
  const int count = static_cast<int>(keptFrom.size());
  for (int slot = 0; slot < count; ++slot) {
    const int from = keptFrom[slot];
    if (from < 0 || from == slot || !m_restore.Swap(slot, from)) continue;
    // What this slot held went to from: a later slot that keeps it finds it there.
    for (int later = slot + 1; later < count; ++later) {
      if (keptFrom[later] == slot) keptFrom[later] = from;
    }
    keptFrom[slot] = slot;
  }
}
