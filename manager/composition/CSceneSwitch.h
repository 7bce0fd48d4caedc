#pragma once

#include <vector>

#include "manager/composition/Scene.h"

class CSlotRestore;

// Switching the slots from what they hold to a scene, without a break for what both use: a
// source the scene holds too goes on where it runs (moved to the scene's slot when that differs,
// never closed and opened again: the same camera stays open, the same window's capture goes on),
// the scene's other sources open as the restore opens them (waiting when absent, never asking),
// and sources the scene does not hold are closed. Every slot then takes the scene's placement
// and state. Every kind is treated alike: sources are told apart by their records' keys.
//
// Threads: the GUI thread only, between two ticks, so no tick sees half a switch.
class CSceneSwitch {
 public:
  explicit CSceneSwitch(CSlotRestore& restore) : m_restore(restore) {}

  // Makes the slots hold the scene (slots beyond its end empty). Returns the slots whose source
  // was opened anew: their first pictures may still be on their way.
  std::vector<int> Apply(const tvq::Scene& scene, int slotCount);

  // Whether two records name the same source (everything recorded but the paused state).
  static bool SameSource(const tvq::SlotRecord& first, const tvq::SlotRecord& second);

 private:
  // For every slot of the scene, the slot whose source it keeps, or -1.
  std::vector<int> Match(const std::vector<tvq::SceneSlot>& held,
                         const std::vector<tvq::SceneSlot>& wanted) const;
  // Moves every kept source into its slot of the scene.
  void MoveKept(std::vector<int>& keptFrom);

  CSlotRestore& m_restore;
};
