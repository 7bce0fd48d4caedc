#include "manager/composition/CCompositor.h"

#include <cstdint>
#include <cstring>

#include "channel/CSharedMemory.h"
#include "channel/ChannelWait.h"
#include "channel/FrameGeometry.h"
#include "manager/capture/CImage.h"
#include "manager/composition/AlphaDrawing.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/SlotLayout.h"

namespace {

constexpr int kCanvasBitsPerPixel = 24;
constexpr double kReferenceTimePerSecond = static_cast<double>(tvq::kUnitsPerSecond);
#if defined(TVQ_DIRECT_DRAWING)
// The benchmarks' build of the Manager as it drew before layers (TessavueManagerDirect.exe).
constexpr bool kLayersByDefault = false;
constexpr bool kFollowPixelsByDefault = false;
#elif defined(TVQ_WHOLE_CHANGES)
// The benchmarks' build with layers, but every capture and tick whole (TessavueManagerWhole.exe).
constexpr bool kLayersByDefault = true;
constexpr bool kFollowPixelsByDefault = false;
#else
constexpr bool kLayersByDefault = true;
constexpr bool kFollowPixelsByDefault = true;
#endif
#ifdef TVQ_STAMPED_FRAMES
constexpr bool kStampedFrames = true;
#else
constexpr bool kStampedFrames = false;
#endif

// Fades are timed on the performance counter: tick times drift by a few milliseconds.
double NowMs() {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

CCompositor::CCompositor(CImage& canvas, CSharedMemory& format, CSharedMemory& interval,
                         CSharedMemory& pixels, int maxWidth, int maxHeight)
    : m_canvas(canvas),
      m_format(format),
      m_interval(interval),
      m_pixels(pixels),
      m_throughLayers(kLayersByDefault),
      m_followPixels(kFollowPixelsByDefault),
      m_maxWidth(maxWidth),
      m_maxHeight(maxHeight) {}

bool CCompositor::Tick(ISlotTable& slots, double& outputFrameRate) {
  // A client stalled inside its own copy must not freeze the window: a channel object still
  // held after about one tick is skipped until the next tick.
  m_channelWaitMs = tvq::ChannelWaitMs(1000.0 / outputFrameRate);
  const bool recreated = FollowFormat();
  FollowInterval(outputFrameRate);
  m_drewLastTick = false;
  m_changedAreas.clear();
  if (m_canvas.Bitmap() == nullptr) return recreated;
  if (recreated) m_fade.Stop();
  if (!m_held && m_changes.NeedsDrawing(slots)) Draw(slots);
  if (recreated || !m_followPixels) m_rows.MarkWhole();
  m_rows.Add(m_changedAreas, m_canvas.Height());
  Publish();
  return recreated;
}

void CCompositor::Draw(ISlotTable& slots) {
  if (m_sceneStarting) {
    // Cleared in the tick that draws the new scene, so no client ever sees the black between.
    ClearCanvas();
    m_sceneStarting = false;
    m_fade.Restart(NowMs());
  }
  if (m_throughLayers) {
    m_layered.Draw(m_canvas, slots, m_changes, m_changedAreas);
  } else {
    DrawSlots(slots);
    m_changedAreas.assign(1, RECT{0, 0, m_canvas.Width(), m_canvas.Height()});
  }
  m_changes.RecordDrawing(slots);
  m_drewLastTick = true;
}

void CCompositor::BeginScene(int fadeMs) {
  if (fadeMs <= 0 || !m_fade.Start(m_canvas, fadeMs, NowMs())) m_fade.Stop();
  m_sceneStarting = true;
  // Slots may have traded their sources: nothing remembered about a slot's picture holds.
  m_pictures.ForgetAll();
  m_changes.Mark();
}

void CCompositor::MarkSlotChanged(int slot) {
  // The picture may have been made anew by another source: the next capture starts over.
  m_pictures.Forget(slot);
  m_changes.MarkSlot(slot);
}

void CCompositor::MarkSlotCaptured(ISlotTable& slots, int slot) {
  CImage* picture = slots.Picture(slot);
  if (!m_followPixels || picture == nullptr || picture->Bitmap() == nullptr) {
    MarkSlotChanged(slot);
    return;
  }
  const tvq::PixelRect from =
      tvq::SourceRect(slots.Placement(slot), picture->Width(), picture->Height());
  std::vector<tvq::PixelRect> parts;
  switch (m_pictures.Compare(slot, *picture, from, parts)) {
    case PictureChanges::Found::kNothing:
      m_changes.KeepPicture(slots, slot);
      break;
    case PictureChanges::Found::kParts:
      m_changes.KeepPicture(slots, slot);
      m_changes.MarkSlotParts(slot, parts);
      break;
    case PictureChanges::Found::kWhole:
      m_changes.MarkSlot(slot);
      break;
  }
}

void CCompositor::FollowChangedPixels(bool follow) {
  if (follow == m_followPixels) return;
  m_followPixels = follow;
  m_pictures.ForgetAll();
  m_changes.Mark();
  m_rows.MarkWhole();
}

void CCompositor::ClearCanvas() {
  if (m_canvas.Bitmap() == nullptr) return;
  // Blits still queued by GDI would otherwise land on the cleared pixels.
  GdiFlush();
  std::memset(m_canvas.LowestAddress(), 0, m_canvas.BufferBytes());
  m_changes.Mark();
}

void CCompositor::DrawThroughLayers(bool layered) {
  if (layered == m_throughLayers) return;
  m_throughLayers = layered;
  m_layered.ReleaseAll();
  m_changes.Mark();
}

bool CCompositor::IsAcceptableFormat(const BITMAPINFOHEADER& header, int maxWidth,
                                     int maxHeight) {
  return header.biBitCount == kCanvasBitsPerPixel && header.biWidth >= 1 &&
         header.biWidth <= maxWidth && header.biHeight >= 1 && header.biHeight <= maxHeight;
}

bool CCompositor::FollowFormat() {
  BITMAPINFOHEADER header = {};
  // A section no filter has written yet reads as zeros: the canvas keeps its size.
  if (!m_format.Read(&header, sizeof(header), m_channelWaitMs)) return false;
  // A filter that published a format (a client connecting) gets the whole frame once.
  if (std::memcmp(&header, &m_lastHeader, sizeof(header)) != 0) m_rows.MarkWhole();
  m_lastHeader = header;
  if (header.biWidth == 0 || header.biHeight == 0) return false;
  if (header.biWidth == m_canvas.Width() && header.biHeight == m_canvas.Height()) return false;
  // A header no filter could have written would only make the canvas unpublishable (or
  // recreate it on every tick); keep composing at the current size.
  if (!IsAcceptableFormat(header, m_maxWidth, m_maxHeight)) return false;
  m_canvas.Destroy();
  m_canvas.Create(header.biWidth, header.biHeight, header.biBitCount);
  m_changes.Mark();
  return true;
}

void CCompositor::FollowInterval(double& outputFrameRate) {
  std::int64_t interval = 0;
  if (!m_interval.Read(&interval, sizeof(interval), m_channelWaitMs)) return;
  // A negative interval means nothing; it would only show a negative rate.
  if (interval <= 0) return;
  const double rate = kReferenceTimePerSecond / static_cast<double>(interval);
  if (rate != outputFrameRate) outputFrameRate = rate;
}

void CCompositor::DrawSlots(ISlotTable& slots) {
  HDC canvasDC = m_canvas.BorrowDC();
  // Contexts travel between pictures through the cache, so the scaling mode is set on the one
  // the canvas holds now rather than trusted to have stayed from start-up.
  SetStretchBltMode(canvasDC, HALFTONE);
  SetBrushOrgEx(canvasDC, 0, 0, nullptr);
  const int width = m_canvas.Width();
  const int height = m_canvas.Height();
  const int count = slots.SlotCount();
  // Pictures with alpha blend over black where no slot lies beneath them (see AlphaDrawing).
  for (int slot = 0; slot < count; ++slot) {
    CImage* picture = slots.Picture(slot);
    if (picture == nullptr || !tvq::HasAlpha(*picture)) continue;
    tvq::ClearUnderAlpha(canvasDC, width, height,
                         tvq::DestinationRect(slots.Placement(slot), width, height));
  }
  for (int slot = 0; slot < count; ++slot) {
    CImage* picture = slots.Picture(slot);
    if (picture == nullptr || picture->Bitmap() == nullptr) continue;
    const SCIInfo& info = slots.Placement(slot);
    const tvq::PixelRect to = tvq::DestinationRect(info, width, height);
    const tvq::PixelRect from = tvq::SourceRect(info, picture->Width(), picture->Height());
    // A failed blit (an empty rectangle, a lost window) leaves the canvas as it was.
    tvq::DrawSlotPicture(canvasDC, width, height, *picture, to, from);
  }
  m_canvas.ReturnDC();
}

void CCompositor::Publish() {
  // The pixels are read straight from memory: GDI must have finished every blit.
  GdiFlush();
  // The fade begins with the new scene's first drawing; until then clients keep the old frame.
  const bool fading = m_fade.IsRunning() && !m_sceneStarting;
  // A fading frame differs everywhere from the last one; the canvas goes out whole once after.
  CImage* blend = fading ? m_fade.Blend(m_canvas, NowMs()) : nullptr;
  if (fading) m_rows.MarkWhole();
  CImage& frame = blend != nullptr ? *blend : m_canvas;
#ifdef TVQ_STAMPED_FRAMES
  StampFrame(frame);
#endif
  m_rows.Publish(frame, m_pixels, m_channelWaitMs, kStampedFrames);
}

void CCompositor::StampFrame(CImage& frame) {
  tvq::BenchStamp stamp{};
  if (frame.BufferBytes() < sizeof(stamp)) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  stamp.counter = ++m_framesStamped;
  stamp.publishedQpc = now.QuadPart;
  std::memcpy(frame.LowestAddress(), &stamp, sizeof(stamp));
}
