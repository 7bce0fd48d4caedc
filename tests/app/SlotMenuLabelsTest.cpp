#include "manager/app/SlotMenuLabels.h"

#include <gtest/gtest.h>

namespace {

using tvq::WindowCandidate;

WindowCandidate Window(const std::wstring& title, const std::wstring& executable) {
  WindowCandidate candidate;
  candidate.title = title;
  candidate.executable = executable;
  return candidate;
}

// Seventy characters: shortened to 59 and the ellipsis.
const std::wstring kLong(70, L'x');

TEST(SlotMenuLabels, WindowsAreToldApartByTitleThenProgramThenNumber) {
  const struct {
    const char* name;
    std::vector<WindowCandidate> windows;
    std::vector<std::wstring> labels;
  } cases[] = {
      {"titles as they are", {Window(L"メモ帳", L"notepad.exe"), Window(L"Paint", L"mspaint.exe")},
       {L"メモ帳", L"Paint"}},
      {"no title: the program", {Window(L"", L"notepad.exe"), Window(L"", L"")},
       {L"（notepad.exe）", L"（タイトルなし）"}},
      {"equal titles carry their program",
       {Window(L"Untitled", L"a.exe"), Window(L"Other", L"a.exe"), Window(L"Untitled", L"b.exe")},
       {L"Untitled（a.exe）", L"Other", L"Untitled（b.exe）"}},
      {"still equal: numbered in Z order",
       {Window(L"Doc", L"a.exe"), Window(L"Doc", L"a.exe"), Window(L"Doc", L"")},
       {L"Doc（a.exe）", L"Doc（a.exe）（2）", L"Doc"}},
      {"ampersands, tabs and line breaks", {Window(L"A&B\tC\r\nD", L"x&y.exe")},
       {L"A&&B C  D"}},
      {"long titles end in an ellipsis", {Window(kLong, L"x.exe")},
       {std::wstring(59, L'x') + L"…"}},
      {"the program survives the cut", {Window(kLong, L"p.exe"), Window(kLong, L"q.exe")},
       {std::wstring(52, L'x') + L"…（p.exe）", std::wstring(52, L'x') + L"…（q.exe）"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.labels, tvq::WindowMenuLabels(c.windows));
  }
}

TEST(SlotMenuLabels, CamerasWithOneNameAreNumberedAndNoSurrogatePairIsCut) {
  EXPECT_EQ((std::vector<std::wstring>{L"USB Camera", L"Capture && Co", L"USB Camera（2）"}),
            tvq::CameraMenuLabels({L"USB Camera", L"Capture & Co", L"USB Camera"}));
  // U+1F3A5 (two units) would end right at the cut: it goes whole.
  const std::wstring name = std::wstring(58, L'c') + L"\U0001F3A5" + L"tail";
  EXPECT_EQ(std::wstring(58, L'c') + L"…", tvq::MenuLabel(name));
  EXPECT_EQ(L"Capture && Co", tvq::MenuLabel(L"Capture & Co"));
}

}  // namespace
