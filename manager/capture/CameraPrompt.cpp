#include "manager/capture/CameraPrompt.h"

#include <string>
#include <utility>

#include "manager/capture/CaptureText.h"

namespace tvq {

namespace {

constexpr const wchar_t* kErrorCaption = L"CCaptureVideo";
constexpr size_t kErrorUnits = 100;

}  // namespace

int CameraPrompt::Ask(const wchar_t* text, const wchar_t* caption, UINT type) const {
  if (m_quiet) return IDCANCEL;
  return AskUser(m_messageBox, text, caption, type);
}

bool CameraPrompt::Report(HRESULT code) {
  m_lastResult = code;
  return CheckResult();
}

bool CameraPrompt::CheckResult() const {
  if (m_lastResult == 0) return true;
  const std::wstring text = FitText(L"ErrorCode: " + HexCode(m_lastResult), kErrorUnits);
  Ask(text.c_str(), kErrorCaption, MB_OK);
  return false;
}

void CameraPrompt::SetMessageBox(MessageBoxFn messageBox) { m_messageBox = std::move(messageBox); }

}  // namespace tvq
