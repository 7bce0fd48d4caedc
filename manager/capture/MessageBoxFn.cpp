#include "manager/capture/MessageBoxFn.h"

namespace tvq {

int ShowOwnerlessMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
  return MessageBoxW(nullptr, text, caption, type);
}

int AskUser(const MessageBoxFn& messageBox, const wchar_t* text, const wchar_t* caption, UINT type) {
  if (!messageBox) return ShowOwnerlessMessageBox(text, caption, type);
  return messageBox(text, caption, type);
}

}  // namespace tvq
