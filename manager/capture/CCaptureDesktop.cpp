#include "manager/capture/CCaptureDesktop.h"

#include "manager/capture/WindowBlit.h"

namespace {

// Every desktop slot reads and saves its placement under this one section.
constexpr wchar_t kSectionName[] = L"Desktop";
constexpr wchar_t kDisplayName[] = L"デスクトップ";

}  // namespace

void CCaptureDesktop::Select() {
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  picture.Destroy();
  picture.Create(width, height, 24);
  m_sourceLeft = 0;
  m_sourceTop = 0;
  m_sourceRight = GetSystemMetrics(SM_CXSCREEN);
  m_sourceBottom = GetSystemMetrics(SM_CYSCREEN);
}

bool CCaptureDesktop::Capture() {
  tvq::CopyWindowArea(GetDesktopWindow(), m_sourceLeft, m_sourceTop, m_sourceRight - m_sourceLeft,
                      m_sourceBottom - m_sourceTop, picture);
  return true;
}

const wchar_t* CCaptureDesktop::SectionName() { return kSectionName; }

const wchar_t* CCaptureDesktop::DisplayName() { return kDisplayName; }
