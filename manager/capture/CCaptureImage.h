#pragma once

#include <windows.h>

#include <string>

#include "manager/capture/CImage.h"
#include "manager/capture/CImageFile.h"
#include "manager/capture/ICaptureSource.h"

// An image file as a capture source: a logo, a card, a still. The picture is decoded at the size
// its slot shows it (FitTo), never larger than the canvas, so it is drawn one to one and stays
// sharp. A still picture costs nothing per tick: a capture only looks at the file once a second
// (size and last write time) and decodes again when the file or the size asked for changed. A
// file that goes away keeps its last picture, and the source reports itself gone until the file
// is back.
//
// Threads: the GUI thread only (WIC through the thread's COM apartment).
class CCaptureImage : public ICaptureSource {
 public:
  CCaptureImage() = default;
  virtual ~CCaptureImage() = default;

  CCaptureImage(CCaptureImage&&) noexcept = default;
  CCaptureImage& operator=(CCaptureImage&&) noexcept = default;

  // The system's open-file dialog over owner, then Open. False when the user cancelled or the
  // file could not be made into a picture (Problem() then says why).
  bool Select(HWND owner);
  // Takes the file without asking: decodes it at its own size (until the first FitTo). False,
  // with Problem() saying why, when it is no picture; the source then keeps what it had.
  bool Open(const std::wstring& path);
  // Looks at the file now: when it is back, decodes it at the size last asked for. True when the
  // picture is there again (at once when the file never went).
  bool Reload();
  const std::wstring& Path() const { return m_path; }

  // ICaptureSource
  // Once a second looks at the file; decodes when it changed or the size asked for did. True
  // only when the picture changed.
  bool Capture() override;
  CImage& Picture() override { return picture; }
  // The file name without its folder.
  const wchar_t* Name() const override;
  const wchar_t* Section() const override { return m_path.c_str(); }
  // The file is no longer there (its slot keeps the last picture and waits).
  bool IsGone() const override { return m_gone; }
  // The next capture decodes again at this size when it is another.
  bool FitTo(int width, int height) override;
  // Why the last Open or decode failed; empty after a success.
  std::wstring Problem() const override { return m_problem; }
  // The emptied slot keeps its last picture; the decoded frame kept for resizing goes.
  void Release() override { m_file.Forget(); }

  // How often a capture looks at the file.
  static constexpr ULONGLONG kCheckIntervalMs = 1000;

 private:
  bool DecodeNow(const std::wstring& path, int width, int height);
  bool FileChanged();

  CImage picture;
  CImageFile m_file;
  std::wstring m_path;
  std::wstring m_problem;
  tvq::FileStamp m_stamp;
  ULONGLONG m_lastCheck = 0;
  // Asked by FitTo (0: not yet), and the size of the last decode tried.
  int m_fitWidth = 0;
  int m_fitHeight = 0;
  int m_decodedWidth = 0;
  int m_decodedHeight = 0;
  bool m_gone = false;
};
