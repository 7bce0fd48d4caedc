#include "manager/composition/SlotKinds.h"

#include <objbase.h>

#include <cerrno>
#include <cwchar>

#include "manager/capture/CCaptureDesktop.h"
#include "manager/capture/CCaptureVideo.h"
#include "manager/capture/CCaptureWindow.h"
#include "manager/capture/SourceSearch.h"
#include "manager/composition/PictureKinds.h"

namespace tvq {
namespace {

// A number kept as text: missing, out of range or no number at all gives the default, not the
// clamped or zero value.
long ReadNumber(const IRecordKeys& keys, const wchar_t* key, long defaultValue) {
  const std::wstring text = keys.ReadText(key);
  if (text.empty()) return defaultValue;
  wchar_t* end = nullptr;
  errno = 0;
  const long value = std::wcstol(text.c_str(), &end, 10);
  return end == text.c_str() || errno == ERANGE ? defaultValue : value;
}

const std::wstring& NameIsTitle(const SlotRecord& record) { return record.title; }

// ---------------------------------------------------------------------------------------------
// Cameras: found again by DevicePath, else FriendlyName, and asked for the recorded format.

bool ChooseCamera(ICaptureSource& source) {
  CCaptureVideo& camera = static_cast<CCaptureVideo&>(source);
  if (camera.Select()) return true;
  camera.ReleaseGraph();
  return false;
}

void ReadCameraKeys(const IRecordKeys& keys, SlotRecord& record) {
  CameraRequest& camera = record.camera;
  camera.devicePath = keys.ReadText(L"DevicePath");
  camera.friendlyName = keys.ReadText(L"FriendlyName");
  camera.crossbarOutput = ReadNumber(keys, L"CrossbarOutput", -1);
  camera.crossbarInput = ReadNumber(keys, L"CrossbarInput", -1);
  camera.format.width = ReadNumber(keys, L"Width", 0);
  camera.format.height = ReadNumber(keys, L"Height", 0);
  // Text that is no GUID asks for no subtype: any of the pin's formats of that size will do.
  const std::wstring subtype = keys.ReadText(L"Subtype");
  if (IIDFromString(subtype.c_str(), &camera.format.subtype) != S_OK) {
    camera.format.subtype = GUID_NULL;
  }
  camera.format.interval = std::wcstoll(keys.ReadText(L"FrameInterval").c_str(), nullptr, 10);
}

void WriteCameraKeys(IRecordKeys& keys, const SlotRecord& record) {
  const CameraRequest& camera = record.camera;
  keys.WriteText(L"DevicePath", camera.devicePath);
  keys.WriteText(L"FriendlyName", camera.friendlyName);
  keys.WriteText(L"CrossbarOutput", std::to_wstring(camera.crossbarOutput));
  keys.WriteText(L"CrossbarInput", std::to_wstring(camera.crossbarInput));
  keys.WriteText(L"Width", std::to_wstring(camera.format.width));
  keys.WriteText(L"Height", std::to_wstring(camera.format.height));
  wchar_t subtype[40] = L"";
  StringFromGUID2(camera.format.subtype, subtype, 40);
  keys.WriteText(L"Subtype", subtype);
  keys.WriteText(L"FrameInterval", std::to_wstring(camera.format.interval));
}

void DescribeCamera(const ICaptureSource& source, SlotRecord& record) {
  record.camera = static_cast<const CCaptureVideo&>(source).OpenedWith();
}

const std::wstring& CameraName(const SlotRecord& record) { return record.camera.friendlyName; }

bool ReopenCamera(ISlotReopening& context, int slot, const SlotRecord& record) {
  if (!IsRestorableCamera(context.Devices(), record.camera)) return false;
  return context.FillSlotQuietly(slot, kCameraSlot, [&record](ICaptureSource& source) {
    return static_cast<CCaptureVideo&>(source).Open(record.camera);
  });
}

// A camera not plugged in yet, and one that is there but does not start (in use by another
// program, a driver that fails), is waited for: the restore spaces out its tries.
bool CameraMayStillCome(ISlotReopening&, const SlotRecord& record) {
  return CanRestoreCamera(record.camera);
}

// A camera unplugged while captured comes back once it is listed again.
bool ReattachCamera(ISlotReopening& context, int slot, const SlotRecord& record) {
  if (!IsRestorableCamera(context.Devices(), record.camera)) return false;
  return context.ReopenSlotSource(slot, [](ICaptureSource& source) {
    return static_cast<CCaptureVideo&>(source).Reopen();
  });
}

// ---------------------------------------------------------------------------------------------
// Windows: found again by title, ties broken by class, then executable.

bool ChooseWindow(ICaptureSource& source) {
  return static_cast<CCaptureWindow&>(source).Select();
}

void ReadWindowKeys(const IRecordKeys& keys, SlotRecord& record) {
  record.title = keys.ReadText(L"Title");
  record.className = keys.ReadText(L"Class");
  record.executable = keys.ReadText(L"Executable");
}

void WriteWindowKeys(IRecordKeys& keys, const SlotRecord& record) {
  keys.WriteText(L"Title", record.title);
  keys.WriteText(L"Class", record.className);
  keys.WriteText(L"Executable", record.executable);
}

void DescribeWindow(const ICaptureSource& source, SlotRecord& record) {
  const CCaptureWindow& window = static_cast<const CCaptureWindow&>(source);
  // The title as last read: a window is saved under the title it has now.
  record.title = window.Title();
  record.className = window.ClassName();
  record.executable = window.Executable();
}

HWND FindWindowOf(ISlotReopening& context, const SlotRecord& record) {
  return FindRecordedWindow(record.title, record.className, record.executable,
                            context.TakenWindows());
}

SourceOpener AttachTo(HWND window) {
  return [window](ICaptureSource& source) {
    return static_cast<CCaptureWindow&>(source).Attach(window);
  };
}

bool ReopenWindow(ISlotReopening& context, int slot, const SlotRecord& record) {
  HWND window = FindWindowOf(context, record);
  return window != nullptr && context.FillSlotQuietly(slot, kWindowSlot, AttachTo(window));
}

bool WindowMayStillCome(ISlotReopening&, const SlotRecord& record) {
  return !record.title.empty();
}

// A slide show makes its window anew at every start: the slot takes the next of the same title.
bool ReattachWindow(ISlotReopening& context, int slot, const SlotRecord& record) {
  HWND window = FindWindowOf(context, record);
  return window != nullptr && context.ReopenSlotSource(slot, AttachTo(window));
}

// ---------------------------------------------------------------------------------------------
// The desktop: nothing to choose, nothing to record beside its kind.

bool ChooseDesktop(ICaptureSource& source) {
  static_cast<CCaptureDesktop&>(source).Select();
  return true;
}

void NoKeys(const IRecordKeys&, SlotRecord&) {}
void WriteNoKeys(IRecordKeys&, const SlotRecord&) {}
void DescribeNothing(const ICaptureSource&, SlotRecord&) {}

bool ReopenDesktop(ISlotReopening& context, int slot, const SlotRecord&) {
  return context.FillSlotQuietly(slot, kDesktopSlot, ChooseDesktop);
}

bool NeverComesLater(ISlotReopening&, const SlotRecord&) { return false; }

// In the words of the status text's key list.
constexpr wchar_t kDesktopName[] = L"デスクトップ";
constexpr wchar_t kCameraSettingsItem[] = L"カメラの設定...";

}  // namespace

const std::vector<SlotKindRow>& SlotKinds() {
  // kind, record name, placement file, default rate, fill key, fixed name, menu item,
  // settings item; then choose, read and write keys, describe, recorded name, reopen, may still
  // come, reattach.
  static const std::vector<SlotKindRow> kinds = {
      {kCameraSlot, L"Camera", kCameraFileName, kDefaultCameraCaptureRate, 'C', nullptr, nullptr,
       kCameraSettingsItem,
       ChooseCamera, ReadCameraKeys, WriteCameraKeys, DescribeCamera, CameraName, ReopenCamera,
       CameraMayStillCome, ReattachCamera},
      {kWindowSlot, L"Window", kWindowFileName, kDefaultWindowCaptureRate, 'W', nullptr, nullptr,
       nullptr,
       ChooseWindow, ReadWindowKeys, WriteWindowKeys, DescribeWindow, NameIsTitle, ReopenWindow,
       WindowMayStillCome, ReattachWindow},
      {kDesktopSlot, L"Desktop", kDesktopFileName, kDefaultWindowCaptureRate, 'D', kDesktopName,
       kDesktopName, nullptr,
       ChooseDesktop, NoKeys, WriteNoKeys, DescribeNothing, nullptr, ReopenDesktop,
       NeverComesLater, nullptr},
      ImageKindRow(kImageSlot),
      TextKindRow(kTextSlot),
  };
  return kinds;
}

const SlotKindRow* FindSlotKind(int kind) {
  for (const SlotKindRow& row : SlotKinds()) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

const SlotKindRow* FindSlotKindByRecordName(const std::wstring& name) {
  for (const SlotKindRow& row : SlotKinds()) {
    if (name == row.recordName) return &row;
  }
  return nullptr;
}

const SlotKindRow* FindSlotKindByKey(UINT virtualKey) {
  for (const SlotKindRow& row : SlotKinds()) {
    if (row.fillKey == virtualKey) return &row;
  }
  return nullptr;
}

SlotRecord ReadSlotRecord(const IRecordKeys& keys) {
  SlotRecord record;
  const SlotKindRow* row = FindSlotKindByRecordName(keys.ReadText(L"Kind"));
  if (row == nullptr) return record;
  record.kind = row->kind;
  record.paused = ReadNumber(keys, L"Paused", 0) != 0;
  row->readKeys(keys, record);
  return record;
}

void WriteSlotRecord(IRecordKeys& keys, const SlotRecord& record) {
  const SlotKindRow* row = FindSlotKind(record.kind);
  if (row == nullptr) return;
  keys.WriteText(L"Kind", row->recordName);
  keys.WriteText(L"Paused", record.paused ? L"1" : L"0");
  row->writeKeys(keys, record);
}

std::wstring RecordedName(const SlotRecord& record) {
  const SlotKindRow* row = FindSlotKind(record.kind);
  if (row == nullptr) return std::wstring();
  return row->recordedName != nullptr ? row->recordedName(record) : row->fixedName;
}

}  // namespace tvq
