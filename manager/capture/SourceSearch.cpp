#include "manager/capture/SourceSearch.h"

#include <algorithm>

#include "manager/capture/WindowCandidates.h"

namespace tvq {

namespace {

constexpr int kTitleUnits = 1024;

bool TitleIs(HWND window, const std::wstring& title) {
  wchar_t text[kTitleUnits] = {};
  const int length = GetWindowTextW(window, text, kTitleUnits);
  return static_cast<size_t>(length) == title.size() && title.compare(0, title.size(), text) == 0;
}

// Class first, then executable: a program may make windows of several classes.
int Likeness(HWND window, const std::wstring& className, const std::wstring& executable) {
  int likeness = 0;
  if (!className.empty() && ClassNameOf(window) == className) likeness += 2;
  if (!executable.empty() && ExecutableNameOf(window) == executable) likeness += 1;
  return likeness;
}

}  // namespace

HWND FindRecordedWindow(const std::wstring& title, const std::wstring& className,
                        const std::wstring& executable, const std::vector<HWND>& excluded) {
  if (title.empty()) return nullptr;
  HWND best = nullptr;
  int bestLikeness = -1;
  for (HWND window = NextWindowCandidate(nullptr); window != nullptr;
       window = NextWindowCandidate(window)) {
    if (!TitleIs(window, title) ||
        std::find(excluded.begin(), excluded.end(), window) != excluded.end()) {
      continue;
    }
    const int likeness = Likeness(window, className, executable);
    if (likeness > bestLikeness) {
      best = window;
      bestLikeness = likeness;
    }
  }
  return best;
}

bool CanRestoreCamera(const CameraRequest& request) {
  if (request.devicePath.empty() && request.friendlyName.empty()) return false;
  return request.friendlyName != kOwnCameraName;
}

bool IsRestorableCamera(const std::vector<VideoDevice>& devices, const CameraRequest& request) {
  if (!CanRestoreCamera(request)) return false;
  const VideoDevice* device = FindVideoDevice(devices, request.devicePath, request.friendlyName);
  return device != nullptr && device->friendlyName != kOwnCameraName;
}

}  // namespace tvq
