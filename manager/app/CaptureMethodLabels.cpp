#include "manager/app/CaptureMethodLabels.h"

namespace tvq {
namespace {

constexpr const wchar_t* kModeLabels[kCaptureModeCount] = {L"自動", L"標準", L"全内容描画"};

}  // namespace

const wchar_t* CaptureModeLabel(CaptureMode mode) {
  return kModeLabels[static_cast<int>(mode)];
}

std::wstring RunningMethodText(const ICaptureMethodChoice& choice) {
  const CaptureMode running = choice.RunningMethod() == CaptureMethod::kStandard
                                  ? CaptureMode::kStandard
                                  : CaptureMode::kFullContent;
  std::wstring text = L"方式(";
  if (choice.Mode() == CaptureMode::kAutomatic) {
    text += CaptureModeLabel(CaptureMode::kAutomatic);
    text += L"：";
  }
  return text + CaptureModeLabel(running) + L")";
}

}  // namespace tvq
