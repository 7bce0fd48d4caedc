#include "manager/app/CSceneMenu.h"

#include <string>

#include "manager/app/CScenes.h"
#include "manager/app/SlotMenuLabels.h"
#include "resources/Resource.h"

namespace {

constexpr wchar_t kScenesMenu[] = L"シーン";
constexpr wchar_t kSaveMenu[] = L"現在のスロットを保存";
constexpr wchar_t kRenameMenu[] = L"名前の変更";
constexpr wchar_t kTransitionMenu[] = L"切り替え効果";
constexpr wchar_t kCutItem[] = L"カット";
constexpr int kNameLength = 256;

// What the rename dialog is given and gives back.
struct RenameRequest {
  int number;
  std::wstring name;
};

std::wstring FadeItem(int lengthMs) { return L"フェード " + std::to_wstring(lengthMs) + L"ms"; }

// The submenu belongs to menu once appended; until then it is ours to destroy.
void AppendSubmenu(HMENU menu, HMENU submenu, const wchar_t* text) {
  if (submenu == nullptr) return;
  if (!AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text)) {
    DestroyMenu(submenu);
  }
}

}  // namespace

bool CSceneMenu::IsSceneCommand(UINT command) {
  return command > kSwitchFirst && command <= kLast;
}

void CSceneMenu::Fill(HMENU popup) const {
  while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
  const tvq::CSceneStore& store = m_scenes.Store();
  for (int number = 1; number <= tvq::kSceneCount; ++number) {
    const tvq::Scene& scene = store.SceneAt(number);
    UINT flags = MF_STRING | (scene.IsEmpty() ? MF_GRAYED : 0);
    if (number == store.CurrentSceneNumber()) flags |= MF_CHECKED;
    const std::wstring text =
        L"&" + std::to_wstring(number) + L"  " + tvq::MenuLabel(scene.name) + L"\t" +
        std::to_wstring(number);
    AppendMenuW(popup, flags, kSwitchFirst + number, text.c_str());
  }
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendSubmenu(popup, SceneList(kSaveFirst), kSaveMenu);
  AppendSubmenu(popup, SceneList(kRenameFirst), kRenameMenu);
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendSubmenu(popup, TransitionMenu(), kTransitionMenu);
}

void CSceneMenu::AppendTo(HMENU menu, const wchar_t* text) const {
  HMENU popup = CreatePopupMenu();
  if (popup == nullptr) return;
  Fill(popup);
  AppendSubmenu(menu, popup, text);
}

void CSceneMenu::AppendExtras(HMENU menu) {
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendTo(menu, kScenesMenu);
}

HMENU CSceneMenu::SceneList(UINT firstCommand) const {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (int number = 1; number <= tvq::kSceneCount; ++number) {
    const tvq::Scene& scene = m_scenes.Store().SceneAt(number);
    const std::wstring text = L"&" + std::to_wstring(number) + L"  " + tvq::MenuLabel(scene.name);
    AppendMenuW(menu, MF_STRING, firstCommand + number, text.c_str());
  }
  return menu;
}

HMENU CSceneMenu::TransitionMenu() const {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  const tvq::TransitionSettings& transition = m_scenes.Store().Transition();
  AppendMenuW(menu, MF_STRING | (transition.fade ? 0 : MF_CHECKED), kCut, kCutItem);
  bool listed = false;
  for (size_t i = 0; i < std::size(kFadeLengthsMs); ++i) {
    const bool chosen = transition.fade && transition.fadeMs == kFadeLengthsMs[i];
    listed = listed || chosen;
    AppendMenuW(menu, MF_STRING | (chosen ? MF_CHECKED : 0), kFadeFirst + i,
                FadeItem(kFadeLengthsMs[i]).c_str());
  }
  // A length set by hand in the store stays choosable as it is.
  if (transition.fade && !listed) {
    AppendMenuW(menu, MF_STRING | MF_CHECKED, kFadeKept, FadeItem(transition.fadeMs).c_str());
  }
  return menu;
}

bool CSceneMenu::Carry(HWND window, UINT command) {
  if (!IsSceneCommand(command)) return false;
  if (command <= kSwitchFirst + tvq::kSceneCount) {
    m_scenes.SwitchTo(static_cast<int>(command - kSwitchFirst));
  } else if (command > kSaveFirst && command <= kSaveFirst + tvq::kSceneCount) {
    m_scenes.SaveAs(static_cast<int>(command - kSaveFirst));
  } else if (command > kRenameFirst && command <= kRenameFirst + tvq::kSceneCount) {
    Rename(window, static_cast<int>(command - kRenameFirst));
  } else if (command == kCut) {
    m_scenes.SetTransition({false, m_scenes.Store().Transition().fadeMs});
  } else if (command >= kFadeFirst && command < kFadeFirst + std::size(kFadeLengthsMs)) {
    m_scenes.SetTransition({true, kFadeLengthsMs[command - kFadeFirst]});
  }
  // kFadeKept is the fade already chosen: nothing changes.
  return true;
}

bool CSceneMenu::Rename(HWND window, int number) {
  RenameRequest request{number, m_scenes.Store().SceneAt(number).name};
  const INT_PTR answer =
      DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_RENAME_SCENE), window,
                      &CSceneMenu::RenameProc, reinterpret_cast<LPARAM>(&request));
  if (answer != IDOK) return false;
  m_scenes.Rename(number, request.name);
  return true;
}

INT_PTR CALLBACK CSceneMenu::RenameProc(HWND dialog, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  auto* request = reinterpret_cast<RenameRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    request = reinterpret_cast<RenameRequest*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    const std::wstring label = L"シーン " + std::to_wstring(request->number) + L" の名前：";
    SetDlgItemTextW(dialog, IDC_SCENE_LABEL, label.c_str());
    SendDlgItemMessageW(dialog, IDC_SCENE_NAME, EM_LIMITTEXT, kNameLength, 0);
    SetDlgItemTextW(dialog, IDC_SCENE_NAME, request->name.c_str());
    return TRUE;
  }
  if (message != WM_COMMAND || request == nullptr) return FALSE;
  const WORD command = LOWORD(wParam);
  if (command == IDOK) {
    wchar_t name[kNameLength + 1] = L"";
    GetDlgItemTextW(dialog, IDC_SCENE_NAME, name, kNameLength + 1);
    request->name = name;
  }
  if (command == IDOK || command == IDCANCEL) {
    EndDialog(dialog, command);
    return TRUE;
  }
  return FALSE;
}
