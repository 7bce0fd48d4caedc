#pragma once

#include <string>
#include <utility>

#include "manager/capture/IMethodMemory.h"

namespace tvq {

// The capture method chosen per application, kept in the window placement file beside the
// placements ("TVQ_CaptureWindow.ini"), so that the next start captures the application as the
// last one did.
//
// One section holds every application: key "<window class>|<executable>", value
// "<mode>,<method>" (for example "Chrome_WidgetWin_1|chrome.exe=Automatic,FullContent"). A window
// title can be any text, so a window may be titled like this section; its placement keys (Pos_x
// ... CapturePerSecond) would then share the section, but never a key: every key here holds a
// "|", no placement key does, and a "|", "=" or blank inside a class or file name is written
// escaped ("%7C").
//
// Threads: the GUI thread only.
class CWindowMethodFile : public IMethodMemory {
 public:
  // modulePath: the Manager's executable, beside which the file lies; empty keeps nothing.
  explicit CWindowMethodFile(std::wstring modulePath) : m_modulePath(std::move(modulePath)) {}

  bool Recall(const std::wstring& className, const std::wstring& executable,
              MethodChoice& choice) const override;
  void Remember(const std::wstring& className, const std::wstring& executable,
                const MethodChoice& choice) override;

  static constexpr const wchar_t* kSection = L"Tessavue:CaptureMethod";
  // The key of an application: both names escaped, joined by "|".
  static std::wstring KeyOf(const std::wstring& className, const std::wstring& executable);
  // "Automatic,FullContent" and back; false for text that names no choice.
  static std::wstring FormatChoice(const MethodChoice& choice);
  static bool ParseChoice(const std::wstring& text, MethodChoice& choice);

 private:
  std::wstring FilePath() const;

  std::wstring m_modulePath;
};

}  // namespace tvq
