#include "manager/app/CWindowMethodFile.h"

#include <gtest/gtest.h>

#include <string>

#include "manager/app/Settings.h"
#include "tests/common/TempDir.h"

namespace {

using tvq::CaptureMethod;
using tvq::CaptureMode;

// Every program keeps its own choice at the next start, whatever its names hold; a window titled
// like the choices' section keeps its placement there too.
TEST(WindowMethodFile, KeepsEachProgramsChoiceBesideThePlacements) {
  tvqtest::TempDir folder;
  const std::wstring module = folder.File(L"TessavueManager.exe");
  const std::wstring file = tvq::SettingsPath(module, tvq::kWindowFileName);
  const std::wstring odd = L" a=b|c;[d]\" %7C ";  // separators, marks and blanks
  const struct {
    std::wstring className, executable;
    tvq::MethodChoice choice;
  } rows[] = {
      {L"Chrome_WidgetWin_1", L"chrome.exe",
       {CaptureMode::kAutomatic, CaptureMethod::kFullContent}},
      {L"Chrome_WidgetWin_1", L"Code.exe", {CaptureMode::kStandard, CaptureMethod::kStandard}},
      {odd, L"プログラム.exe", {CaptureMode::kFullContent, CaptureMethod::kFullContent}},
      {L" a=b", L"c;[d]\" %7C .exe", {CaptureMode::kAutomatic, CaptureMethod::kStandard}},
  };
  SCIInfo placement;
  placement.Pos_x = 0.25;
  tvq::WriteSlotSection(file, tvq::CWindowMethodFile::kSection, placement, nullptr);
  tvq::CWindowMethodFile memory(module);
  for (const auto& row : rows) memory.Remember(row.className, row.executable, row.choice);

  const tvq::CWindowMethodFile nextStart(module);
  tvq::MethodChoice recalled;
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.className + L" / " + row.executable));
    ASSERT_TRUE(nextStart.Recall(row.className, row.executable, recalled));
    EXPECT_EQ(row.choice, recalled);
  }
  EXPECT_FALSE(nextStart.Recall(L"Chrome_WidgetWin_1", L"msedge.exe", recalled));
  EXPECT_EQ(0.25, tvq::ReadSlotSection(file, tvq::CWindowMethodFile::kSection, 5.0).Pos_x);
}

}  // namespace
