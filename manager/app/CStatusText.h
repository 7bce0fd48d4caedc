#pragma once

#include <string>
#include <vector>

#include "manager/composition/CExArray.h"

class CSlotKeys;
class ISlotTable;
class ISlotWaits;

// The block of text the main window shows: output format and rate, every slot with its source,
// state and placement, the selected slot's open menu, and the list of keys. Rebuilt on every
// repaint; the buffer keeps its largest capacity between repaints.
//
// Threads: the GUI thread (the paint procedure) only.
class CStatusText {
 public:
  CStatusText() = default;
  CStatusText(const CStatusText&) = delete;
  CStatusText& operator=(const CStatusText&) = delete;

  // Empties the buffer and builds the text for the given state. A slot that waits for its
  // source (waits, when given) shows it in place of its state.
  void Build(int canvasWidth, int canvasHeight, double outputFrameRate, const ISlotTable& slots,
             const CSlotKeys& keys, const ISlotWaits* waits = nullptr);

  // The characters, not NUL-terminated; Length() is the count to give DrawTextW.
  const wchar_t* Text() const { return m_text.Data(); }
  int Length() const { return m_text.Size(); }
  std::wstring ToString() const { return std::wstring(Text(), Length()); }

  int Capacity() const { return m_text.Capacity(); }

  // The slot whose entry (head, detail line, menu rows) holds the given line of the last built
  // text, counted from 0; -1 for the headings, the key list and lines beyond the text.
  int SlotOfLine(int line) const;

 private:
  void AppendSlot(int slot, int canvasWidth, int canvasHeight, const ISlotTable& slots,
                  const CSlotKeys& keys, const ISlotWaits* waits);
  void AppendDetailLine(int slot, int canvasWidth, int canvasHeight, const ISlotTable& slots,
                        bool waiting);
  void AppendMenuRows(const CSlotKeys& keys);
  void Append(const wchar_t* text);
  void Append(const std::wstring& text);
  void AppendFormatted(const wchar_t* format, ...);

  CExArray<wchar_t> m_text;
  // Where each slot's entry begins in the text, and where the entry after the last one would.
  std::vector<int> m_slotStarts;
};
