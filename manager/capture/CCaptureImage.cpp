#include "manager/capture/CCaptureImage.h"

#include <shlwapi.h>

#include "manager/capture/ImageFileDialog.h"

namespace {

// Until the first FitTo, a large file is decoded no larger than this a side.
constexpr UINT kFirstSideLimit = 1024;

// Another program writing the file holds it for a moment: worth trying again at the next look.
bool IsHeldByAnother(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) ||
         hr == HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
}

}  // namespace

bool CCaptureImage::Select(HWND owner) {
  std::wstring path;
  if (!tvq::AskForImageFile(owner, path)) return false;
  return Open(path);
}

bool CCaptureImage::Open(const std::wstring& path) {
  if (!DecodeNow(path, 0, 0)) return false;
  m_fitWidth = 0;
  m_fitHeight = 0;
  return true;
}

bool CCaptureImage::Reload() {
  if (m_path.empty()) return false;
  if (!m_gone) return true;
  m_lastCheck = 0;
  FileChanged();
  return !m_gone && DecodeNow(m_path, m_fitWidth, m_fitHeight);
}

bool CCaptureImage::FitTo(int width, int height) {
  m_fitWidth = width < 1 ? 1 : width;
  m_fitHeight = height < 1 ? 1 : height;
  return m_fitWidth != m_decodedWidth || m_fitHeight != m_decodedHeight;
}

bool CCaptureImage::Capture() {
  if (m_path.empty()) return false;
  const bool changed = FileChanged();
  if (m_gone) return false;
  const bool refit = m_fitWidth > 0 && (m_fitWidth != m_decodedWidth ||
                                        m_fitHeight != m_decodedHeight);
  if (!changed && !refit) return false;
  return DecodeNow(m_path, m_fitWidth, m_fitHeight);
}

const wchar_t* CCaptureImage::Name() const { return PathFindFileNameW(m_path.c_str()); }

bool CCaptureImage::DecodeNow(const std::wstring& path, int width, int height) {
  // Taken before the decode: a change while decoding is seen at the next look.
  const tvq::FileStamp stamp = tvq::FileStamp::Of(path);
  m_decodedWidth = width;
  m_decodedHeight = height;
  const HRESULT hr = m_file.Decode(path, static_cast<UINT>(width), static_cast<UINT>(height),
                                   kFirstSideLimit, picture, m_problem);
  if (FAILED(hr)) {
    m_problem = L"画像「" + std::wstring(PathFindFileNameW(path.c_str())) + L"」を開けません：" +
                m_problem;
    // A file left unreadable is decoded again only once it changes, unless it was only held.
    if (IsHeldByAnother(hr)) m_stamp = tvq::FileStamp();
    return false;
  }
  m_path = path;
  m_stamp = stamp;
  m_lastCheck = GetTickCount64();
  m_gone = false;
  return true;
}

bool CCaptureImage::FileChanged() {
  const ULONGLONG now = GetTickCount64();
  if (now - m_lastCheck < kCheckIntervalMs) return false;
  m_lastCheck = now;
  const tvq::FileStamp stamp = tvq::FileStamp::Of(m_path);
  m_gone = !stamp.exists;
  if (stamp == m_stamp) return false;
  m_stamp = stamp;
  return stamp.exists;
}
