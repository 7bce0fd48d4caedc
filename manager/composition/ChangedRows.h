#pragma once

#include <windows.h>

#include <vector>

class CImage;
class CSharedMemory;

// Which canvas rows the pixel object still lacks, and their publication: a tick writes only the
// rows from the first to the last changed one, as one copy at their place in the section, and a
// tick with nothing changed writes nothing. The whole frame goes out on the first tick, for a
// canvas made anew and for a new format from the filter, so that a client never keeps rows of an
// older frame (the section outlives a Manager that a client saw, and a new section is black).
// Rows a skipped write (a client holding the object) could not publish stay owed until a write
// succeeds.
//
// Threads: the GUI thread only, like the compositor that owns it.
class ChangedRows {
 public:
  // Everything is owed: nothing is known about what the pixel object holds.
  void MarkWhole() { m_whole = true; }
  // Canvas areas (canvas pixels, top row 0) drawn since the last publication.
  void Add(const std::vector<RECT>& areas, int canvasHeight);

  // Writes the owed rows of the canvas. withBottomRow also writes the canvas's lowest row in
  // memory, where a stamped frame carries its stamp. False when the write was skipped.
  bool Publish(const CImage& canvas, CSharedMemory& pixels, DWORD waitMs, bool withBottomRow);

  // Owed canvas rows [top, bottom); empty when top >= bottom.
  int Top() const { return m_top; }
  int Bottom() const { return m_bottom; }
  bool Whole() const { return m_whole; }

 private:
  void Clear();

  bool m_whole = true;
  int m_top = 0;
  int m_bottom = 0;
};
