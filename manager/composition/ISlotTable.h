#pragma once

#include <string>

#include "manager/composition/SCIInfo.h"

class CImage;

namespace tvq {

class ICaptureMethodChoice;

// What a slot holds (the values of the SlotKind array).
enum SlotKind : int {
  kEmptySlot = 0,
  kCameraSlot = 1,
  kWindowSlot = 2,
  kDesktopSlot = 3,
  kImageSlot = 4,
  kTextSlot = 5,
};

// Captures per second of a source whose placement names no usable rate of its own.
inline constexpr double kDefaultCameraCaptureRate = 15.0;
// Windows, the desktop, images and texts alike (a still source only looks at what changed).
inline constexpr double kDefaultWindowCaptureRate = 5.0;

inline double DefaultCaptureRate(int kind) {
  return kind == kCameraSlot ? kDefaultCameraCaptureRate : kDefaultWindowCaptureRate;
}

}  // namespace tvq

// The slot arrays as the compositing tick, the editing keys and the status text see them.
// CSlots implements it over the real sources; tests give tables of their own pictures.
// Slot numbers run from 0 to SlotCount() - 1; callers stay inside that range.
class ISlotTable {
 public:
  virtual int SlotCount() const = 0;
  // A tvq::SlotKind value.
  virtual int Kind(int slot) const = 0;
  bool IsEmpty(int slot) const { return Kind(slot) == tvq::kEmptySlot; }
  virtual bool IsActive(int slot) const = 0;
  virtual void SetActive(int slot, bool active) = 0;
  virtual SCIInfo& Placement(int slot) = 0;
  virtual const SCIInfo& Placement(int slot) const = 0;
  // The picture to compose: null for a paused or empty slot. The picture may hold no bitmap.
  virtual CImage* Picture(int slot) = 0;
  // The source's own name (a camera's friendly name, a window's title, an image's file name, a
  // text's first line); empty for a kind with one name for all its sources (the desktop).
  virtual std::wstring SourceName(int slot) const = 0;
  // The copying methods of the slot's source, where the user may choose one; null otherwise.
  virtual const tvq::ICaptureMethodChoice* MethodChoice(int) const { return nullptr; }

 protected:
  ~ISlotTable() = default;
};
