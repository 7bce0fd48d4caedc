#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "manager/composition/CanvasChanges.h"
#include "manager/composition/CanvasFade.h"
#include "manager/composition/ChangedRows.h"
#include "manager/composition/LayeredDrawing.h"
#include "manager/composition/PictureChanges.h"

class CImage;
class CSharedMemory;
class ISlotTable;

namespace tvq {

// In the stamped build used only by benchmarks and tests (TessavueManagerStamped.exe, compiled
// with TVQ_STAMPED_FRAMES), every published frame carries a BenchStamp in its first bytes (the
// start of its bottom row), so that a client can tell when each frame left the Manager. The
// shipped Manager never writes it.
struct BenchStamp {
  std::int64_t counter;       // 1 for the first frame published
  std::int64_t publishedQpc;  // QueryPerformanceCounter as the frame was written
};

}  // namespace tvq

// The compositing tick: follows the picture format and frame interval that the filter publishes,
// draws every active slot onto the canvas in slot order and publishes the canvas's pixels. The
// slots are drawn only on ticks where something that decides the canvas changed since the last
// drawing (see CanvasChanges); the canvas is published on every tick all the same. By default a
// drawing goes through each slot's scaled picture (see LayeredDrawing), which gives the same
// pixels as stretching every slot straight onto the canvas; tests and benchmarks can switch back
// to that direct drawing to compare both.
//
// By default the work also follows the pixels that changed: a capture compares what its slot
// shows with the last capture (see PictureChanges) and marks only the changed parts, which are
// stretched again under a clip, and a tick publishes only the rows that changed (see
// ChangedRows). Switched off, every capture changes its whole slot and every tick publishes the
// whole canvas, as the channel's plain path does.
//
// The canvas and the three channel objects belong to the Manager's process-wide state; the
// compositor only works on them. Threads: the GUI thread only. Each channel access waits on that
// object's named mutex for about one tick at most, one object at a time (format, interval,
// pixels).
class CCompositor {
 public:
  // maxWidth and maxHeight are the configured output size: the filter never offers a larger
  // format, and the pixel object was made for exactly that size.
  CCompositor(CImage& canvas, CSharedMemory& format, CSharedMemory& interval,
              CSharedMemory& pixels, int maxWidth, int maxHeight);

  CCompositor(const CCompositor&) = delete;
  CCompositor& operator=(const CCompositor&) = delete;

  // One tick. outputFrameRate is the rate the status text shows; it follows the published frame
  // interval. Returns true when the canvas was recreated at a new size (the window must repaint).
  bool Tick(ISlotTable& slots, double& outputFrameRate);

  // Sets every pixel of the canvas to black.
  void ClearCanvas();

  // The slots now hold a new scene: the next drawing starts from a black canvas and draws every
  // slot, so that no frame mixes both scenes; with fadeMs > 0 the frames blend from the picture
  // shown now to the new scene over that time. Until then the canvas stays as it is.
  void BeginScene(int fadeMs);
  // While held, ticks draw nothing (a new scene waits for its sources' first pictures) and
  // clients keep the frame they have.
  void HoldDrawing(bool held) { m_held = held; }
  bool IsFading() const { return m_fade.IsRunning(); }
  // Pixel memory a running fade holds (none outside a fade).
  size_t FadeBytes() const { return m_fade.Bytes(); }

  // A change the slot table cannot show, for all slots at once. The next tick draws the slots.
  void MarkChanged() { m_changes.Mark(); }
  // A capture wrote this slot's picture, or the slot was filled or emptied: the next tick draws,
  // and stretches again only this slot's picture.
  void MarkSlotChanged(int slot);
  // A capture wrote this slot's picture: only what changed in the part the slot shows is drawn
  // again (nothing at all when nothing changed).
  void MarkSlotCaptured(ISlotTable& slots, int slot);
  // Whether the last tick drew the slots (the preview then shows something new).
  bool DrewLastTick() const { return m_drewLastTick; }
  // The canvas areas (canvas pixels, top row 0) the last tick drew; empty when it drew nothing.
  const std::vector<RECT>& ChangedAreas() const { return m_changedAreas; }

  // Drawing through the slots' layers (the default) or straight onto the canvas.
  void DrawThroughLayers(bool layered);
  // Following changed pixels (the default) or treating every capture and tick as whole.
  void FollowChangedPixels(bool follow);
  // Pixel memory the layers hold now.
  size_t LayerBytes() const { return m_layered.LayerBytes(); }
  // Pixel memory the remembered pictures hold now (the captures' comparisons).
  size_t RememberedBytes() const { return m_pictures.Bytes(); }

  // True for a header a filter could have published for this Manager: 24 bits per pixel and a
  // size from 1 x 1 up to the configured size (a negative, top-down height is refused).
  static bool IsAcceptableFormat(const BITMAPINFOHEADER& header, int maxWidth, int maxHeight);

 private:
  bool FollowFormat();
  void FollowInterval(double& outputFrameRate);
  void DrawSlots(ISlotTable& slots);
  void Draw(ISlotTable& slots);
  void Publish();
  void StampFrame(CImage& frame);

  CImage& m_canvas;
  CSharedMemory& m_format;
  CSharedMemory& m_interval;
  CSharedMemory& m_pixels;
  CanvasChanges m_changes;
  LayeredDrawing m_layered;
  bool m_throughLayers;
  PictureChanges m_pictures;
  ChangedRows m_rows;
  bool m_followPixels;
  CanvasFade m_fade;
  bool m_held = false;
  bool m_sceneStarting = false;
  BITMAPINFOHEADER m_lastHeader = {};
  std::vector<RECT> m_changedAreas;
  bool m_drewLastTick = false;

  int m_maxWidth;
  int m_maxHeight;
  DWORD m_channelWaitMs = 0;  // set by each tick from the rate it composes at
  std::int64_t m_framesStamped = 0;
};
