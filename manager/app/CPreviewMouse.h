#pragma once

#include <windows.h>

#include "manager/app/CPreviewGeometry.h"
#include "manager/app/CSlotDrag.h"
#include "manager/app/CSlotHitTest.h"

class CImage;
class CSlotKeys;
class CStatusText;
class ISlotTable;

// The mouse in the Manager's window: a click on a slot in the preview, or on its line in the
// status text, selects it through the keys' own selection; dragging in the preview moves the
// slot, dragging an edge or corner resizes it; a right click selects the slot whose menu opens;
// the selected slot is outlined in the preview. It changes the same placement fields the keys
// change and nothing else, and draws on the window only, never on the canvas.
//
// While a slot's menu is open the selection stays, as with the keys: only that slot can be
// grabbed. The window keeps the mouse captured during a drag, so the drag goes on outside it.
//
// Threads: the GUI thread only, inside the window procedure.
class CPreviewMouse {
 public:
  CPreviewMouse(ISlotTable& slots, CSlotKeys& keys, const CStatusText& statusText,
                const CImage& canvas);

  CPreviewMouse(const CPreviewMouse&) = delete;
  CPreviewMouse& operator=(const CPreviewMouse&) = delete;

  // Points are client coordinates; shift tells whether Shift was down with the message.
  void OnButtonDown(HWND window, POINT point);
  void OnMove(HWND window, POINT point, bool shift);
  void OnButtonUp(HWND window, POINT point, bool shift);
  // The capture went elsewhere: the drag ends where it is.
  void OnCaptureChanged();
  // Esc: puts the dragged slot back where the drag started. False when no drag was running, so
  // the key goes on to the keys.
  bool CancelDrag(HWND window);
  // WM_SETCURSOR in the client area: true when a move or sizing cursor was set.
  bool SetCursorFor(HWND window);

  // The slot whose menu a right click at point opens, selected as a left click would select it:
  // the topmost slot under the pointer in the preview, or the slot of the status line. Elsewhere,
  // and while a slot's editing menu holds the selection, the selected slot; -1 during a drag.
  int SlotForMenu(HWND window, POINT point);
  // Where a menu opened from the keyboard appears (client coordinates): at the selected slot's
  // corner in the preview, or below its line in the status text while it shows no picture.
  POINT MenuAnchor(HWND window) const;

  // The selected slot's outline, clipped to the preview; drawn after the preview on every paint.
  void DrawOutline(HWND window, HDC dc, const RECT& client) const;

 private:
  CPreviewGeometry GeometryOf(HWND window) const;
  // Only the slot whose menu is open can be grabbed; -1 lets every slot be.
  int GrabbableSlot() const;
  tvq::SlotHit HitAt(HWND window, POINT point) const;
  void Grab(HWND window, POINT point, const tvq::SlotHit& hit);
  int LineHeight(HWND window) const;
  // The slot whose entry in the status text holds point; -1 for other lines.
  int SlotOnStatusLine(HWND window, POINT point) const;
  void Select(HWND window, int slot);
  void Follow(HWND window, POINT point, bool shift);
  void StorePlacement(HWND window, int slot, const SCIInfo& info);
  bool DraggedSlotIsGone() const;

  ISlotTable& m_slots;
  CSlotKeys& m_keys;
  const CStatusText& m_statusText;
  const CImage& m_canvas;
  CSlotDrag m_drag;
};
