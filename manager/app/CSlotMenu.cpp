#include "manager/app/CSlotMenu.h"

#include "manager/app/CSlotKeys.h"
#include "manager/app/CaptureMethodLabels.h"
#include "manager/app/SlotMenuLabels.h"
#include "manager/composition/CSlots.h"
#include "manager/composition/ISlotWaits.h"
#include "manager/composition/SlotKinds.h"

namespace {

// In the words of the status text's key list.
constexpr wchar_t kCameraMenu[] = L"カメラ";
constexpr wchar_t kWindowMenu[] = L"ウインドウ";
constexpr wchar_t kNoCamera[] = L"（選べるカメラがありません）";
constexpr wchar_t kNoWindow[] = L"（選べるウインドウがありません）";
constexpr wchar_t kPauseItem[] = L"映像の一時停止\tSPACE";
constexpr wchar_t kResumeItem[] = L"入力再開\tSPACE";
constexpr const wchar_t* kEditRows[CSlotKeys::kMenuRowCount] = {
    L"移動", L"サイズ", L"トリム（上左）", L"トリム（下右）", L"キャプチャレート"};
constexpr wchar_t kRefreshItem[] = L"映像のリフレッシュ\tR";
constexpr wchar_t kCloseEditingItem[] = L"メニューを閉じる\tBACKSPACE";
constexpr wchar_t kEmptyItem[] = L"映像入力の削除\tDELETE";
constexpr wchar_t kStopWaitingItem[] = L"待機をやめる\tDELETE";
constexpr wchar_t kMethodMenu[] = L"キャプチャ方式";

constexpr wchar_t kNoticeHeading[] = L"----\n【お知らせ】\n";

UINT EnabledIf(bool enabled) { return MF_STRING | (enabled ? 0 : MF_GRAYED); }

// The submenu of one list; a list without entries shows one greyed line saying so.
HMENU ListMenu(const std::vector<std::wstring>& labels, UINT firstCommand, UINT endCommand,
               const wchar_t* nothing) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (size_t i = 0; i < labels.size() && firstCommand + i < endCommand; ++i) {
    AppendMenuW(menu, MF_STRING, firstCommand + i, labels[i].c_str());
  }
  if (labels.empty()) AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, nothing);
  return menu;
}

// The submenu belongs to menu once appended; until then it is ours to destroy.
void AppendSubmenu(HMENU menu, HMENU submenu, const wchar_t* text) {
  if (submenu == nullptr) return;
  if (!AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text)) {
    DestroyMenu(submenu);
  }
}

// The copying methods, the one chosen checked as a radio button.
HMENU MethodMenu(tvq::CaptureMode chosen, UINT firstCommand) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (int mode = 0; mode < tvq::kCaptureModeCount; ++mode) {
    AppendMenuW(menu, MF_STRING, firstCommand + mode,
                tvq::CaptureModeLabel(static_cast<tvq::CaptureMode>(mode)));
  }
  CheckMenuRadioItem(menu, firstCommand, firstCommand + tvq::kCaptureModeCount - 1,
                     firstCommand + static_cast<UINT>(chosen), MF_BYCOMMAND);
  return menu;
}

std::wstring SlotNumber(int slot) { return std::to_wstring(slot + 1); }

}  // namespace

CSlotMenu::CSlotMenu(CSlots& slots, CSlotKeys& keys, const ISlotWaits& waits,
                     ISlotPicks& picks)
    : m_slots(slots), m_keys(keys), m_waits(waits), m_picks(picks) {}

bool CSlotMenu::Open(HWND window, int slot, POINT screen) {
  ClearNotice();
  if (slot < 0 || slot >= m_slots.SlotCount() || slot != m_keys.SelectedSlot()) return false;
  tvq::UniqueMenu menu = m_slots.IsEmpty(slot) ? BuildEmptySlotMenu(window, slot)
                                               : BuildOccupiedSlotMenu(slot);
  if (!menu) return false;
  if (m_extras != nullptr) m_extras->AppendExtras(menu.Get());
  // TPM_RETURNCMD hands the pick back here instead of posting WM_COMMAND, so it is carried out
  // for this slot with the lists the menu was built from.
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x,
                     screen.y, 0, window, nullptr));
  menu.Reset();
  const bool extra = m_extras != nullptr && m_extras->CarryExtra(window, command);
  if (command != kNoCommand && !extra) Carry(slot, command);
  m_cameras.clear();
  m_windows.clear();
  return command != kNoCommand;
}

tvq::UniqueMenu CSlotMenu::BuildEmptySlotMenu(HWND window, int slot) {
  tvq::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return menu;
  ListCameras();
  std::vector<std::wstring> names;
  for (const tvq::VideoDevice& device : m_cameras) names.push_back(device.friendlyName);
  AppendSubmenu(menu.Get(),
                ListMenu(tvq::CameraMenuLabels(names), kCameraFirst, kWindowFirst, kNoCamera),
                kCameraMenu);
  m_windows = tvq::ListWindowCandidates(nullptr, window);
  AppendSubmenu(menu.Get(),
                ListMenu(tvq::WindowMenuLabels(m_windows), kWindowFirst, kListEnd, kNoWindow),
                kWindowMenu);
  const std::vector<tvq::SlotKindRow>& kinds = tvq::SlotKinds();
  for (size_t row = 0; row < kinds.size() && kKindFirst + row < kMethodFirst; ++row) {
    if (kinds[row].menuItem != nullptr) {
      AppendMenuW(menu.Get(), MF_STRING, kKindFirst + row, kinds[row].menuItem);
    }
  }
  // A slot brought back at start-up may wait for its source; Delete forgets it.
  if (m_waits.WaitingFor(slot) != nullptr) {
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.Get(), MF_STRING, kEmpty, kStopWaitingItem);
  }
  return menu;
}

tvq::UniqueMenu CSlotMenu::BuildOccupiedSlotMenu(int slot) {
  tvq::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return menu;
  HMENU m = menu.Get();
  const CSlotKeys& keys = m_keys;
  AppendMenuW(m, MF_STRING, kPause, m_slots.IsActive(slot) ? kPauseItem : kResumeItem);
  const tvq::SlotKindRow* kind = tvq::FindSlotKind(m_slots.Kind(slot));
  const ICaptureSource* source = m_slots.Source(slot);
  if (kind != nullptr && kind->settingsItem != nullptr && source != nullptr) {
    // A device without pages would only answer with error boxes.
    AppendMenuW(m, EnabledIf(source->HasSettings()), kSourceSettings, kind->settingsItem);
  }
  if (const tvq::ICaptureMethodChoice* choice = source ? source->MethodChoice() : nullptr) {
    AppendSubmenu(m, MethodMenu(choice->Mode(), kMethodFirst), kMethodMenu);
  }
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  for (int row = 0; row < CSlotKeys::kMenuRowCount; ++row) {
    const UINT checked = keys.EditField() == row + 1 ? MF_CHECKED : MF_UNCHECKED;
    AppendMenuW(m, MF_STRING | checked, kEditFirst + row, kEditRows[row]);
  }
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, MF_STRING, kRefresh, kRefreshItem);
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  if (keys.IsMenuOpen()) AppendMenuW(m, MF_STRING, kCloseEditing, kCloseEditingItem);
  // Delete is refused while the editing menu is open: its slot must stay occupied.
  AppendMenuW(m, EnabledIf(!keys.IsMenuOpen()), kEmpty, kEmptyItem);
  return menu;
}

void CSlotMenu::ListCameras() {
  m_cameras.clear();
  std::vector<tvq::VideoDevice> devices;
  // S_FALSE (no device) and failures alike leave the list empty.
  if (tvq::ListVideoDevices(devices) != S_OK) return;
  for (tvq::VideoDevice& device : devices) {
    if (device.friendlyName != tvq::kOwnCameraName) m_cameras.push_back(std::move(device));
  }
}

void CSlotMenu::Carry(int slot, UINT command) {
  if (command >= kWindowFirst) {
    PickWindow(slot, command - kWindowFirst);
  } else if (command >= kCameraFirst) {
    PickCamera(slot, command - kCameraFirst);
  } else if (command >= kEditFirst) {
    m_keys.PickMenuRow(static_cast<int>(command - kEditFirst));
  } else if (command >= kMethodFirst) {
    ChooseMethod(slot, static_cast<int>(command - kMethodFirst));
  } else if (command >= kKindFirst) {
    const std::vector<tvq::SlotKindRow>& kinds = tvq::SlotKinds();
    if (command - kKindFirst < kinds.size()) Press(kinds[command - kKindFirst].fillKey);
  } else {
    CarryKeyCommand(slot, command);
  }
}

void CSlotMenu::CarryKeyCommand(int slot, UINT command) {
  switch (command) {
    case kPause: Press(VK_SPACE); break;
    case kSourceSettings:
      // A source that changed (a text edited) is recorded anew.
      if (ICaptureSource* source = m_slots.Source(slot); source && source->ShowSettings()) {
        m_slots.SourceChanged(slot);
      }
      break;
    case kRefresh: Press('R'); break;
    case kCloseEditing:
      // Backspace leaves the picked row first, then the menu.
      for (int i = 0; i < 2 && m_keys.IsMenuOpen(); ++i) Press(VK_BACK);
      break;
    case kEmpty: Press(VK_DELETE); break;
    default: break;
  }
}

void CSlotMenu::PickCamera(int slot, size_t index) {
  if (index >= m_cameras.size()) return;
  const tvq::VideoDevice& device = m_cameras[index];
  // The first video input of a crossbar and the device's own format: nothing is asked.
  tvq::CameraRequest request;
  request.devicePath = device.devicePath;
  request.friendlyName = device.friendlyName;
  if (!m_picks.FillSlotWithCamera(slot, request)) {
    Tell(L"カメラ「" + device.friendlyName + L"」を開けなかったため、スロット " +
         SlotNumber(slot) + L" には入力しませんでした");
  }
}

void CSlotMenu::PickWindow(int slot, size_t index) {
  if (index >= m_windows.size()) return;
  const tvq::WindowCandidate& chosen = m_windows[index];
  // The window may have closed while the menu was open.
  if (!IsWindow(chosen.window)) {
    Tell(L"ウインドウ「" + chosen.title + L"」は閉じられたため、スロット " + SlotNumber(slot) +
         L" には入力しませんでした");
    return;
  }
  if (!m_picks.FillSlotWithWindow(slot, chosen.window)) {
    Tell(L"ウインドウ「" + chosen.title + L"」をスロット " + SlotNumber(slot) +
         L" に入力できませんでした");
  }
}

void CSlotMenu::ChooseMethod(int slot, int mode) {
  ICaptureSource* source = m_slots.Source(slot);
  tvq::ICaptureMethodChoice* choice = source != nullptr ? source->MethodChoice() : nullptr;
  if (choice != nullptr && mode < tvq::kCaptureModeCount) {
    choice->SetMode(static_cast<tvq::CaptureMode>(mode));
  }
}

// The menu's slot is the selected one: the key acts on it.
void CSlotMenu::Press(UINT virtualKey) { m_keys.OnKeyDown(virtualKey, false); }

void CSlotMenu::Tell(const std::wstring& text) { m_notice = kNoticeHeading + text + L"\n"; }
