#include "manager/app/CWindowMethodFile.h"

#include <gtest/gtest.h>

#include <string>

#include "manager/app/Settings.h"
#include "tests/common/TempDir.h"

namespace {

using tvq::CaptureMethod;
using tvq::CaptureMode;
using tvq::CWindowMethodFile;
using tvq::MethodChoice;

// Every application keeps its own choice, whatever its names hold, beside the placements; a
// window titled like the choices' section keeps its placement there too.
TEST(WindowMethodFile, KeepsEachApplicationsChoiceBesideThePlacements) {
  tvqtest::TempDir folder;
  const std::wstring module = folder.File(L"TessavueManager.exe");
  const std::wstring file = tvq::SettingsPath(module, tvq::kWindowFileName);
  const struct {
    std::wstring className;
    std::wstring executable;
    MethodChoice choice;
  } rows[] = {
      {L"Chrome_WidgetWin_1", L"chrome.exe",
       {CaptureMode::kAutomatic, CaptureMethod::kFullContent}},
      {L"Chrome_WidgetWin_1", L"Code.exe", {CaptureMode::kStandard, CaptureMethod::kStandard}},
      {L" a=b|c;[d]\" %7C ", L"プログラム.exe",
       {CaptureMode::kFullContent, CaptureMethod::kFullContent}},
      {L" a=b", L"c;[d]\" %7C .exe", {CaptureMode::kAutomatic, CaptureMethod::kStandard}},
  };
  SCIInfo placement;
  placement.Pos_x = 0.25;
  tvq::WriteSlotSection(file, CWindowMethodFile::kSection, placement, nullptr);
  CWindowMethodFile memory(module);
  for (const auto& row : rows) memory.Remember(row.className, row.executable, row.choice);

  const CWindowMethodFile nextStart(module);
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.className + L" / " + row.executable));
    MethodChoice recalled;
    ASSERT_TRUE(nextStart.Recall(row.className, row.executable, recalled));
    EXPECT_EQ(row.choice, recalled);
  }
  MethodChoice none;
  EXPECT_FALSE(nextStart.Recall(L"Chrome_WidgetWin_1", L"msedge.exe", none));
  EXPECT_EQ(0.25, tvq::ReadSlotSection(file, CWindowMethodFile::kSection, 5.0).Pos_x);
  EXPECT_NE(std::wstring::npos, tvqtest::ReadTextFile(file).find(
                                    L"Chrome_WidgetWin_1|chrome.exe=Automatic,FullContent"));
  EXPECT_FALSE(CWindowMethodFile(L"").Recall(L"Chrome_WidgetWin_1", L"chrome.exe", none));
}

TEST(WindowMethodFile, TextThatNamesNoChoiceIsNone) {
  for (const wchar_t* text : {L"", L"Automatic", L"Automatic,", L",Standard", L"Fast,Standard",
                              L"Standard,Automatic", L"automatic,standard"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
    MethodChoice choice;
    EXPECT_FALSE(CWindowMethodFile::ParseChoice(text, choice));
  }
}

}  // namespace
