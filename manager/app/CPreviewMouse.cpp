#include "manager/app/CPreviewMouse.h"

#include <algorithm>

#include "common/Lifetime.h"
#include "manager/app/CSlotHitTest.h"
#include "manager/app/CSlotKeys.h"
#include "manager/app/CStatusText.h"
#include "manager/app/WindowDpi.h"
#include "manager/capture/CImage.h"
#include "manager/composition/ISlotTable.h"

namespace {

// At 96 dots per inch; both scale with the window's DPI.
constexpr int kEdgeMarginPixels = 4;
constexpr int kOutlinePixels = 2;
constexpr COLORREF kOutlineColor = RGB(255, 160, 0);
// Far more lines than any status text has: the search for a slot's line ends there.
constexpr int kMaxStatusLines = 4096;

}  // namespace

CPreviewMouse::CPreviewMouse(ISlotTable& slots, CSlotKeys& keys, const CStatusText& statusText,
                             const CImage& canvas)
    : m_slots(slots), m_keys(keys), m_statusText(statusText), m_canvas(canvas) {}

CPreviewGeometry CPreviewMouse::GeometryOf(HWND window) const {
  RECT client{};
  GetClientRect(window, &client);
  return CPreviewGeometry(client, m_canvas.Width(), m_canvas.Height());
}

int CPreviewMouse::GrabbableSlot() const {
  return m_keys.IsMenuOpen() ? m_keys.SelectedSlot() : -1;
}

tvq::SlotHit CPreviewMouse::HitAt(HWND window, POINT point) const {
  return tvq::HitTestSlots(m_slots, GeometryOf(window), point,
                           tvq::ScaleForDpi(kEdgeMarginPixels, window), GrabbableSlot());
}

void CPreviewMouse::OnButtonDown(HWND window, POINT point) {
  if (m_drag.IsActive()) return;
  // A slot's outer handles reach a few pixels out of the preview. Elsewhere the status text
  // covers the preview only where a long line reaches into it: the quarter belongs to the slots.
  const tvq::SlotHit hit = HitAt(window, point);
  if (hit.slot >= 0) {
    Grab(window, point, hit);
  } else if (!GeometryOf(window).Contains(point)) {
    const int slot = SlotOnStatusLine(window, point);
    if (slot >= 0) Select(window, slot);
  }
}

void CPreviewMouse::Grab(HWND window, POINT point, const tvq::SlotHit& hit) {
  Select(window, hit.slot);
  m_drag.Begin(hit.slot, hit.edges, point, m_slots.Placement(hit.slot));
  SetCapture(window);
  SetCursor(LoadCursorW(nullptr, tvq::CursorForEdges(hit.edges)));
}

int CPreviewMouse::SlotForMenu(HWND window, POINT point) {
  if (m_drag.IsActive()) return -1;
  const tvq::SlotHit hit = HitAt(window, point);
  int slot = hit.slot;
  if (slot < 0 && !GeometryOf(window).Contains(point)) slot = SlotOnStatusLine(window, point);
  if (slot >= 0) Select(window, slot);
  // Elsewhere, and for another slot while the editing menu holds the selection: the selected one.
  return m_keys.SelectedSlot();
}

int CPreviewMouse::LineHeight(HWND window) const {
  tvq::UniqueWindowDC dc(window, GetDC(window));
  TEXTMETRICW metrics{};
  if (!dc || !GetTextMetricsW(dc.Get(), &metrics)) return 0;
  return metrics.tmHeight;
}

// DrawTextW draws the status text from the top of the client area, one line per line feed.
int CPreviewMouse::SlotOnStatusLine(HWND window, POINT point) const {
  const int lineHeight = LineHeight(window);
  if (lineHeight <= 0 || point.y < 0) return -1;
  return m_statusText.SlotOfLine(point.y / lineHeight);
}

POINT CPreviewMouse::MenuAnchor(HWND window) const {
  const int slot = m_keys.SelectedSlot();
  const CPreviewGeometry geometry = GeometryOf(window);
  if (slot >= 0 && slot < m_slots.SlotCount() && !m_slots.IsEmpty(slot) &&
      !geometry.IsEmpty()) {
    // The slot's top-left corner where the preview shows it, else the preview's nearest point.
    const RECT rect = geometry.SlotRect(m_slots.Placement(slot));
    const RECT& preview = geometry.Preview();
    return POINT{std::clamp(rect.left, preview.left, preview.right - 1),
                 std::clamp(rect.top, preview.top, preview.bottom - 1)};
  }
  // Below the slot's first line in the status text.
  const int lineHeight = LineHeight(window);
  int line = 0;
  while (line < kMaxStatusLines && m_statusText.SlotOfLine(line) != slot) ++line;
  return POINT{lineHeight, line < kMaxStatusLines ? (line + 1) * lineHeight : 0};
}

// The keys refuse a new selection while the menu is open.
void CPreviewMouse::Select(HWND window, int slot) {
  if (slot == m_keys.SelectedSlot()) return;
  // The marker in the status text and the outline both move: the whole window is repainted,
  // as after a key.
  if (m_keys.Select(slot)) InvalidateRect(window, nullptr, TRUE);
}

void CPreviewMouse::OnMove(HWND window, POINT point, bool shift) {
  if (m_drag.IsActive()) Follow(window, point, shift);
}

void CPreviewMouse::OnButtonUp(HWND window, POINT point, bool shift) {
  if (!m_drag.IsActive()) return;
  Follow(window, point, shift);
  // Ended before the capture goes, so the capture's loss finds no drag to end.
  m_drag.End();
  ReleaseCapture();
}

void CPreviewMouse::OnCaptureChanged() { m_drag.End(); }

bool CPreviewMouse::CancelDrag(HWND window) {
  if (!m_drag.IsActive()) return false;
  const int slot = m_drag.Slot();
  const SCIInfo original = m_drag.Original();
  const bool gone = DraggedSlotIsGone();
  m_drag.End();
  if (!gone) StorePlacement(window, slot, original);
  ReleaseCapture();
  return true;
}

bool CPreviewMouse::SetCursorFor(HWND window) {
  POINT point{};
  if (!GetCursorPos(&point) || !ScreenToClient(window, &point)) return false;
  const tvq::SlotHit hit = HitAt(window, point);
  if (hit.slot < 0) return false;
  SetCursor(LoadCursorW(nullptr, tvq::CursorForEdges(hit.edges)));
  return true;
}

void CPreviewMouse::Follow(HWND window, POINT point, bool shift) {
  // Delete may have emptied the slot in the middle of the drag.
  if (DraggedSlotIsGone()) {
    m_drag.End();
    ReleaseCapture();
    return;
  }
  StorePlacement(window, m_drag.Slot(), m_drag.Follow(point, shift, GeometryOf(window)));
}

// Only the four fields the move and size keys change; trims and the rate stay the slot's own.
void CPreviewMouse::StorePlacement(HWND window, int slot, const SCIInfo& info) {
  SCIInfo& placement = m_slots.Placement(slot);
  if (placement.Pos_x == info.Pos_x && placement.Pos_y == info.Pos_y &&
      placement.Width == info.Width && placement.Height == info.Height) {
    return;
  }
  placement.Pos_x = info.Pos_x;
  placement.Pos_y = info.Pos_y;
  placement.Width = info.Width;
  placement.Height = info.Height;
  // The status text shows the values and the outline the place: both follow at once. The
  // canvas follows at the next compositing tick, which sees the placement changed.
  InvalidateRect(window, nullptr, TRUE);
}

bool CPreviewMouse::DraggedSlotIsGone() const {
  return m_slots.IsEmpty(m_drag.Slot());
}

void CPreviewMouse::DrawOutline(HWND window, HDC dc, const RECT& client) const {
  const int slot = m_keys.SelectedSlot();
  if (slot < 0 || slot >= m_slots.SlotCount() || m_slots.IsEmpty(slot)) return;
  const CPreviewGeometry geometry(client, m_canvas.Width(), m_canvas.Height());
  if (geometry.IsEmpty()) return;
  tvq::UniqueGdiObject brush(CreateSolidBrush(kOutlineColor));
  if (!brush) return;
  // A slot partly off the canvas is outlined where the preview shows it, never over the text.
  const int saved = SaveDC(dc);
  const RECT& preview = geometry.Preview();
  IntersectClipRect(dc, preview.left, preview.top, preview.right, preview.bottom);
  RECT frame = geometry.SlotRect(m_slots.Placement(slot));
  const int thickness = tvq::ScaleForDpi(kOutlinePixels, window);
  for (int i = 0; i < thickness && frame.right > frame.left && frame.bottom > frame.top; ++i) {
    FrameRect(dc, &frame, static_cast<HBRUSH>(brush.Get()));
    InflateRect(&frame, -1, -1);
  }
  RestoreDC(dc, saved);
}
