#pragma once

#include <windows.h>

#include <string>

class CImage;

namespace tvq {
class ICaptureMethodChoice;
}  // namespace tvq

// What a slot holds, whatever its kind: a source that captures into its picture on the slot's
// timer, names itself for the status text, keeps its placement under a section of its kind's
// placement file, and lets go of what it holds when the slot is emptied. The slots reach every
// source through this interface; only the table of kinds knows the classes behind it.
//
// Threads: the GUI thread only, as every source.
class ICaptureSource {
 public:
  // One capture into the picture; false when there is nothing to capture from.
  virtual bool Capture() = 0;
  virtual CImage& Picture() = 0;
  // The name the status text shows for the source.
  virtual const wchar_t* Name() const = 0;
  // The section its placement is read and saved under (before any cut to a safe length).
  virtual const wchar_t* Section() const = 0;
  // Lets go of what the source holds (a camera's graph); the source may be filled again later.
  virtual void Release() {}
  // True once what the source captures went away (a closed window, an unplugged camera): the
  // slot keeps its last picture and waits for the same source to come back.
  virtual bool IsGone() const { return false; }
  // False while the picture holds nothing captured yet (a camera before its first frame): a new
  // scene waits for it rather than show a blank slot.
  virtual bool HasCaptured() const { return true; }
  // The top-level window the source captures, if any: a window fills one slot at a time.
  virtual HWND CapturedWindow() const { return nullptr; }
  // Settings of the source's own that the user can change (a camera's property pages, a text's
  // dialog). ShowSettings is true when the source changed (its record is then written anew).
  virtual bool HasSettings() const { return false; }
  virtual bool ShowSettings() { return false; }
  // The ways of copying its picture that the user may choose between (a window's); null when
  // the source has only one.
  virtual tvq::ICaptureMethodChoice* MethodChoice() { return nullptr; }
  virtual const tvq::ICaptureMethodChoice* MethodChoice() const { return nullptr; }
  // The size the slot shows the picture at on the canvas, in pixels with the trims. A source
  // that draws its picture at that size (an image, a text) draws it anew at its next capture
  // and answers true; other sources ignore it.
  virtual bool FitTo(int /*width*/, int /*height*/) { return false; }
  // Why the last choice or opening failed, in the words of the status text; empty when there is
  // nothing to tell (the user cancelled, or the kind never says).
  virtual std::wstring Problem() const { return std::wstring(); }

 protected:
  ~ICaptureSource() = default;
};
