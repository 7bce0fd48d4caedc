#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "manager/capture/CameraRequest.h"
#include "manager/capture/VideoDevices.h"

// Finding a recorded source again without asking the user: at start-up, and once a second for a
// slot that waits for its source. Both searches cost little enough to repeat: the window search
// reads titles only and looks closer at the windows whose title matches.
namespace tvq {

// The window the W key would offer first (visible, no tool window, not one of excluded) whose
// title is title; among several such, the one whose class and then executable match those
// recorded. Null when no window has the title (an empty title never matches).
HWND FindRecordedWindow(const std::wstring& title, const std::wstring& className,
                        const std::wstring& executable, const std::vector<HWND>& excluded);

// True when the request names a camera among devices that may be brought back: found by
// DevicePath, else FriendlyName, and not our own camera.
bool IsRestorableCamera(const std::vector<VideoDevice>& devices, const CameraRequest& request);

// True when the request could ever name a camera to bring back (a name, not our own camera).
bool CanRestoreCamera(const CameraRequest& request);

}  // namespace tvq
