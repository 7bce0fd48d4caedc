#include "manager/capture/CCaptureVideo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/capture/BoxDriver.h"
#include "tests/capture/FakeVideoDevice.h"
#include "tests/capture/RegisteredFilter.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/capture/ScriptedMessageBox.h"
#include "tests/common/TestWindow.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Pixels24.h"

namespace {

using tvqtest::Answers;
using tvqtest::AskedBox;
using tvqtest::ExpectErrorBox;
using tvqtest::FakeVideoDevice;
using tvqtest::ScriptedMessageBox;

constexpr UINT kQuestion = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr const wchar_t* kDeviceCaption = L"ビデオキャプチャデバイスの選択";

std::wstring DeviceQuestion(const std::wstring& friendlyName, const std::wstring& description,
                            const std::wstring& devicePath) {
  return L"FriendlyName:" + friendlyName + L"\nDescription:" + description + L"\nDevicePath:" +
         devicePath + L"\nをビデオキャプチャーデバイスとして使用しますか？";
}

// Leaves the prefix without the devices other cases may have registered. The cases that list
// devices register them machine-wide, the only registration the device enumerator sees under
// Wine, so they run only in a throwaway prefix (see MayUseRealRegistry).
void UnregisterFakeDevices() {
  FakeVideoDevice::Unregister(tvqtest::kFakeDeviceA);
  FakeVideoDevice::Unregister(tvqtest::kFakeDeviceB);
  tvqtest::RegisteredFilter::Unregister();
}

TEST(Crossbar, PhysicalTypeNamesEveryConnectorAndUnknownOtherwise) {
  const std::vector<std::pair<long, std::wstring>> names = {
      {1, L"Video Tuner"},          {2, L"Video Composite"},      {3, L"S-Video"},
      {4, L"Video RGB"},            {5, L"Video YRYBY"},          {6, L"Video Serial Digital"},
      {7, L"Video Parallel Digital"}, {8, L"Video SCSI"},         {9, L"Video AUX"},
      {10, L"Video 1394"},          {11, L"Video USB"},           {12, L"Video Decoder"},
      {13, L"Video Encoder"},       {0x1000, L"Audio Tuner"},     {0x1001, L"Audio Line"},
      {0x1002, L"Audio Microphone"}, {0x1003, L"Audio AES/EBU Digital"},
      {0x1004, L"Audio S/PDIF"},    {0x1005, L"Audio SCSI"},      {0x1006, L"Audio AUX"},
      {0x1007, L"Audio 1394"},      {0x1008, L"Audio USB"},       {0x1009, L"Audio Decoder"},
      {14, L"Unknown Type"},        {15, L"Unknown Type"},        {-1, L"Unknown Type"},
      {0, L"Unknown Type"},         {0x100A, L"Unknown Type"}};
  for (const auto& [type, name] : names) {
    SCOPED_TRACE(type);
    EXPECT_EQ(name, CCaptureVideo::PhysicalTypeName(type));
  }
}

TEST(CameraSelect, WithoutAnyDeviceSaysSoAndStaysUnselected) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  ScriptedMessageBox boxes(Answers({IDOK}));
  CCaptureVideo source;
  source.SetMessageBox(boxes.Fn());
  EXPECT_FALSE(source.Select());
  ASSERT_EQ(1u, boxes.Asked().size());
  EXPECT_EQ(L"ビデオキャプチャーデバイスが見つかりません", boxes.Asked()[0].text);
  EXPECT_EQ(L"Vidtessa", boxes.Asked()[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Asked()[0].type);
  EXPECT_FALSE(source.HasGraph());
  EXPECT_EQ(nullptr, source.Picture().Bitmap());
  // The slot code releases once more after a failed Select; both calls find nothing.
  source.ReleaseGraph();
  source.ReleaseGraph();
  EXPECT_FALSE(source.HasGraph());
}

// The production path: a real box without owner, answered by pressing its button.
TEST(CameraSelect, WithoutAnyDeviceARealBoxWithOnlyOkAppears) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  tvqtest::BoxDriver driver(L"Vidtessa", [](const tvqtest::SeenBox&) { return IDOK; });
  CCaptureVideo source;
  EXPECT_FALSE(source.Select());
  const std::vector<tvqtest::SeenBox> seen = driver.Seen();
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ(L"ビデオキャプチャーデバイスが見つかりません", seen[0].text);
  EXPECT_TRUE(seen[0].hasOk);
  EXPECT_FALSE(seen[0].hasYes || seen[0].hasNo || seen[0].hasCancel);
}

TEST(CameraSelect, AsksAboutEveryDeviceAndNoOrCancelLeavesItUnselected) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  FakeVideoDevice first(tvqtest::kFakeDeviceA, L"Test Camera A", L"first test camera",
                        L"\\\\?\\usb#vid_0001&pid_0002#a");
  FakeVideoDevice second(tvqtest::kFakeDeviceB, L"Test Camera B");
  ASSERT_TRUE(first.IsRegistered() && second.IsRegistered());

  ScriptedMessageBox noToAll(Answers({IDNO, IDNO}));
  CCaptureVideo source;
  source.SetMessageBox(noToAll.Fn());
  EXPECT_FALSE(source.Select());
  ASSERT_EQ(2u, noToAll.Asked().size());
  std::vector<std::wstring> questions;
  for (const AskedBox& box : noToAll.Asked()) {
    EXPECT_EQ(kDeviceCaption, box.caption);
    EXPECT_EQ(kQuestion, box.type);
    questions.push_back(box.text);
  }
  // Software devices have no DevicePath (or Description): those lines stay empty.
  EXPECT_NE(questions.end(), std::find(questions.begin(), questions.end(),
                                       DeviceQuestion(L"Test Camera A", L"first test camera",
                                                      L"\\\\?\\usb#vid_0001&pid_0002#a")));
  EXPECT_NE(questions.end(),
            std::find(questions.begin(), questions.end(),
                      DeviceQuestion(L"Test Camera B", L"", L"")));
  EXPECT_FALSE(source.HasGraph());

  ScriptedMessageBox cancel(Answers({IDCANCEL}));
  source.SetMessageBox(cancel.Fn());
  EXPECT_FALSE(source.Select());
  EXPECT_EQ(1u, cancel.Asked().size());
  EXPECT_FALSE(source.HasGraph());
}

TEST(CameraSelect, ADeviceThatCannotBeBoundShowsTheErrorBox) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  FakeVideoDevice device(tvqtest::kFakeDeviceA, L"Test Camera A");
  ScriptedMessageBox boxes(Answers({IDYES, IDOK}));
  CCaptureVideo source;
  source.SetMessageBox(boxes.Fn());
  ASSERT_TRUE(source.CreateGraph());
  EXPECT_FALSE(source.ChooseDevice());
  ASSERT_EQ(2u, boxes.Asked().size());
  EXPECT_TRUE(FAILED(source.LastResult()));
  wchar_t code[16];
  swprintf(code, 16, L"%lx", static_cast<unsigned long>(source.LastResult()));
  ExpectErrorBox(boxes.Asked()[1], code);
  source.ReleaseGraph();
  EXPECT_FALSE(source.HasGraph());
  EXPECT_EQ(0, source.LastResult());
  EXPECT_STREQ(L"", source.FriendlyName());
}

TEST(CameraDeviceTexts, SectionNameIsTheDevicePathOrElseTheFriendlyName) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  {
    FakeVideoDevice device(tvqtest::kFakeDeviceA, L"Physical Camera", L"usb camera",
                           L"\\\\?\\usb#vid_1234&pid_5678#7");
    ScriptedMessageBox boxes(Answers({IDNO}));
    CCaptureVideo source;
    source.SetMessageBox(boxes.Fn());
    ASSERT_TRUE(source.CreateGraph());
    EXPECT_FALSE(source.ChooseDevice());
    EXPECT_STREQ(L"Physical Camera", source.FriendlyName());
    EXPECT_STREQ(L"usb camera", source.Description());
    EXPECT_STREQ(L"\\\\?\\usb#vid_1234&pid_5678#7", source.DevicePath());
    EXPECT_STREQ(L"\\\\?\\usb#vid_1234&pid_5678#7", source.SectionName());
  }
  for (const wchar_t* devicePath : {static_cast<const wchar_t*>(nullptr), L""}) {
    SCOPED_TRACE(devicePath == nullptr ? "missing" : "empty");
    FakeVideoDevice device(tvqtest::kFakeDeviceA, L"Virtual Camera", nullptr, devicePath);
    ScriptedMessageBox boxes(Answers({IDNO}));
    CCaptureVideo source;
    source.SetMessageBox(boxes.Fn());
    ASSERT_TRUE(source.CreateGraph());
    EXPECT_FALSE(source.ChooseDevice());
    EXPECT_STREQ(L"", source.DevicePath());
    EXPECT_STREQ(L"", source.Description());
    EXPECT_STREQ(L"Virtual Camera", source.SectionName());
    EXPECT_STREQ(L"Virtual Camera", source.DisplayName());
  }
}

TEST(CameraDeviceTexts, LongTextsAreCutToTheFieldsWithoutSplittingACharacter) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  // A character outside the basic plane straddles the field's last unit.
  const std::wstring name = std::wstring(1022, L'n') + L"\U0001F4F7" + std::wstring(500, L'n');
  const std::wstring path(1500, L'p');
  FakeVideoDevice device(tvqtest::kFakeDeviceA, name, std::wstring(1500, L'd').c_str(),
                         path.c_str());
  ScriptedMessageBox boxes(Answers({IDNO}));
  CCaptureVideo source;
  source.SetMessageBox(boxes.Fn());
  ASSERT_TRUE(source.CreateGraph());
  EXPECT_FALSE(source.ChooseDevice());
  EXPECT_EQ(std::wstring(1022, L'n'), source.FriendlyName());
  EXPECT_EQ(std::wstring(1023, L'd'), source.Description());
  EXPECT_EQ(std::wstring(1023, L'p'), source.DevicePath());
  ASSERT_EQ(1u, boxes.Asked().size());
  const std::wstring full =
      DeviceQuestion(std::wstring(1022, L'n'), std::wstring(1023, L'd'), std::wstring(1023, L'p'));
  EXPECT_EQ(full.substr(0, 3071), boxes.Asked()[0].text);
}

TEST(CameraSelect, ASecondSelectOrAReleaseWhileOneWaitsDoesNothing) {
  TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
  UnregisterFakeDevices();
  FakeVideoDevice device(tvqtest::kFakeDeviceA, L"Test Camera A");
  CCaptureVideo source;
  bool nestedSelect = true;
  bool graphKept = false;
  std::shared_ptr<ScriptedMessageBox> boxes;
  boxes = std::make_shared<ScriptedMessageBox>([&](const AskedBox&) {
    // The user presses the camera key again while the device question is open, and the slot
    // code releases the graph after that refused Select.
    EXPECT_TRUE(source.IsSelecting());
    nestedSelect = source.Select();
    source.ReleaseGraph();
    graphKept = source.HasGraph();
    return IDCANCEL;
  });
  source.SetMessageBox(boxes->Fn());
  EXPECT_FALSE(source.Select());
  EXPECT_FALSE(nestedSelect);
  EXPECT_TRUE(graphKept);
  EXPECT_EQ(1u, boxes->Asked().size());
  EXPECT_FALSE(source.IsSelecting());
  EXPECT_FALSE(source.HasGraph());
}

TEST(CameraSource, DefaultConstructedAndMovedObjectsAreUnselected) {
  CCaptureVideo source;
  EXPECT_FALSE(source.HasGraph());
  EXPECT_STREQ(L"", source.FriendlyName());
  EXPECT_EQ(0, source.LastResult());
  EXPECT_FALSE(source.Capture());
  ASSERT_TRUE(source.Picture().Create(8, 8, 24));
  const HBITMAP bitmap = source.Picture().Bitmap();

  std::vector<CCaptureVideo> grown;
  grown.push_back(std::move(source));
  grown.resize(40);
  EXPECT_EQ(bitmap, grown[0].Picture().Bitmap());
  EXPECT_EQ(nullptr, source.Picture().Bitmap());
  // Every object holds its own COM initialisation: the apartment outlives all but one of them.
  grown.clear();
  Microsoft::WRL::ComPtr<IGraphBuilder> graph;
  EXPECT_EQ(S_OK,
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(graph.GetAddressOf())));
}

// Our own virtual camera as the device: a small frame size keeps the graph quick.
constexpr int kFrameWidth = 160;
constexpr int kFrameHeight = 120;
constexpr const wchar_t* kFilterName = L"Tessavue Filter";
const COLORREF kQuadrants[4] = {RGB(230, 30, 30), RGB(30, 220, 40), RGB(20, 40, 230),
                                RGB(240, 220, 10)};

// Yes for our filter, No for any other device, OK for error boxes.
int AnswerForOurFilter(const AskedBox& box) {
  if (box.caption == kDeviceCaption) {
    return box.text.rfind(L"FriendlyName:" + std::wstring(kFilterName) + L"\n", 0) == 0 ? IDYES
                                                                                       : IDNO;
  }
  return IDOK;
}

bool ShowsQuadrants(const CImage& picture) {
  const int w = picture.Width();
  const int h = picture.Height();
  for (int x : {0, w / 2 - 1, w / 2, w - 1}) {
    for (int y : {0, h / 2 - 1, h / 2, h - 1}) {
      const COLORREF expected = kQuadrants[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
      if (tvqtest::PixelAt(picture, x, y) != expected) return false;
    }
  }
  return true;
}

// Captures until the known frame shows (samples arrive on the graph's own thread).
bool CapturesTheKnownFrame(CCaptureVideo& source) {
  return tvqtest::WaitUntil([&] { return source.Capture() && ShowsQuadrants(source.Picture()); },
                            10000);
}

class RealCamera : public testing::Test {
 protected:
  void SetUp() override {
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ASSERT_EQ(S_OK, m_filter.RegisterResult());
  }

  // Only our filter in the category, whatever an earlier case left behind.
  struct NoOtherDevices {
    NoOtherDevices() { UnregisterFakeDevices(); }
  } m_noOtherDevices;
  tvqtest::RegisteredFilter m_filter{kFrameWidth, kFrameHeight, 30};
  tvqtest::PublishedFrame m_frame{tvqtest::QuadrantFrame(kFrameWidth, kFrameHeight, kQuadrants)};
};

TEST_F(RealCamera, SelectBuildsAndRunsTheGraphAndCaptureShowsTheFrameUpright) {
  ScriptedMessageBox boxes(&AnswerForOurFilter);
  CCaptureVideo source;
  source.SetMessageBox(boxes.Fn());
  ASSERT_TRUE(source.Select());

  // The device question, then one error box each for the device and its output pin, which have
  // no property pages.
  const std::vector<AskedBox>& asked = boxes.Asked();
  ASSERT_EQ(3u, asked.size());
  EXPECT_EQ(DeviceQuestion(kFilterName, L"", L""), asked[0].text);
  ExpectErrorBox(asked[1], L"80004002");
  ExpectErrorBox(asked[2], L"80004002");
  EXPECT_STREQ(kFilterName, source.FriendlyName());
  EXPECT_STREQ(kFilterName, source.SectionName());
  EXPECT_TRUE(source.HasGraph());
  ASSERT_NE(nullptr, source.FormatHeader());
  EXPECT_EQ(kFrameWidth, source.FormatHeader()->biWidth);
  EXPECT_EQ(kFrameHeight, source.FormatHeader()->biHeight);
  EXPECT_EQ(kFrameWidth * 3 * kFrameHeight, source.Frame().FrameBytes());
  EXPECT_EQ(kFrameWidth, source.Picture().Width());
  EXPECT_EQ(kFrameHeight, source.Picture().Height());
  EXPECT_EQ(24, source.Picture().BitsPerPixel());

  EXPECT_TRUE(CapturesTheKnownFrame(source));
}

TEST_F(RealCamera, ReleaseTwiceIsHarmlessAndSelectingAgainRebuildsTheGraph) {
  ScriptedMessageBox boxes(&AnswerForOurFilter);
  CCaptureVideo source;
  source.SetMessageBox(boxes.Fn());
  ASSERT_TRUE(source.Select());
  ASSERT_TRUE(CapturesTheKnownFrame(source));

  source.ReleaseGraph();
  source.ReleaseGraph();
  EXPECT_FALSE(source.HasGraph());
  EXPECT_EQ(nullptr, source.FormatHeader());
  EXPECT_STREQ(L"", source.FriendlyName());
  EXPECT_FALSE(source.Capture());

  // Wipe the picture so only a new frame can make the pattern show again.
  std::memset(source.Picture().LowestAddress(), 0, source.Picture().BufferBytes());
  ASSERT_TRUE(source.Select());
  EXPECT_TRUE(CapturesTheKnownFrame(source));
}

TEST_F(RealCamera, CancelOrNoLeaveTheCameraUnselected) {
  for (int answer : {IDCANCEL, IDNO}) {
    SCOPED_TRACE(answer);
    ScriptedMessageBox boxes(tvqtest::AlwaysAnswer(answer));
    CCaptureVideo source;
    source.SetMessageBox(boxes.Fn());
    EXPECT_FALSE(source.Select());
    ASSERT_FALSE(boxes.Asked().empty());
    for (const AskedBox& box : boxes.Asked()) EXPECT_EQ(kDeviceCaption, box.caption);
    EXPECT_FALSE(source.HasGraph());
    EXPECT_EQ(nullptr, source.Picture().Bitmap());
  }
}

// The production path end to end: real boxes without owner, answered by pressing buttons.
TEST_F(RealCamera, RealBoxesLeadToARunningGraph) {
  const std::wstring question = DeviceQuestion(kFilterName, L"", L"");
  tvqtest::BoxDriver devices(kDeviceCaption, [&](const tvqtest::SeenBox& box) {
    return box.text == question ? IDYES : IDNO;
  });
  tvqtest::BoxDriver errors(L"CCaptureVideo", [](const tvqtest::SeenBox&) { return IDOK; });
  // Answered too, so a missing device fails the case instead of leaving it waiting.
  tvqtest::BoxDriver noDevice(L"Vidtessa", [](const tvqtest::SeenBox&) { return IDOK; });
  CCaptureVideo source;
  ASSERT_TRUE(source.Select());
  EXPECT_TRUE(CapturesTheKnownFrame(source));
  const std::vector<tvqtest::SeenBox> seen = errors.Seen();
  ASSERT_EQ(2u, seen.size());
  for (const tvqtest::SeenBox& box : seen) {
    EXPECT_EQ(L"ErrorCode: 80004002", box.text);
    EXPECT_TRUE(box.hasOk);
    EXPECT_FALSE(box.hasYes || box.hasNo || box.hasCancel);
  }
  for (const tvqtest::SeenBox& box : devices.Seen()) {
    EXPECT_TRUE(box.hasYes && box.hasNo && box.hasCancel);
  }
}

// Our filter offers RGB24 at its configured size and 30 frames a second or slower.
TEST_F(RealCamera, OpenAsksForTheRecordedFormatWhereTheDeviceTakesIt) {
  struct Row {
    const char* name;
    tvq::CameraFormat requested;
    REFERENCE_TIME opened;  // at kFrameWidth x kFrameHeight
  };
  const Row rows[] = {
      {"recorded rate", {kFrameWidth, kFrameHeight, MEDIASUBTYPE_RGB24, 666666}, 666666},
      {"unreadable subtype: any of the size", {kFrameWidth, kFrameHeight, GUID_NULL, 666666},
       666666},
      {"refused rate: the device's own", {kFrameWidth, kFrameHeight, GUID_NULL, 100000}, 333333},
      {"size not offered: the device's own", {80, 60, MEDIASUBTYPE_RGB24, 666666}, 333333},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    tvq::CameraRequest request;
    request.friendlyName = kFilterName;
    request.format = row.requested;
    CCaptureVideo source;
    ASSERT_TRUE(source.Open(request));
    const tvq::CameraFormat opened = source.OpenedWith().format;
    EXPECT_EQ(kFrameWidth, opened.width);
    EXPECT_TRUE(opened.subtype == MEDIASUBTYPE_RGB24);
    EXPECT_EQ(row.opened, opened.interval);
  }
}

}  // namespace
