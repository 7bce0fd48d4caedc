// Cameras the restore brings back over real graphs on our filter, listed under a name of the
// test's own as a camera of the machine would be: one that is there but does not start (another
// program runs it), and one unplugged while captured. The restore's clock is the test's, stepped
// one second per poll as the waiting timer would.
#include "manager/composition/CSlotRestore.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "tests/capture/FakeVideoDevice.h"
#include "tests/capture/RegisteredFilter.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Pixels24.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
const wchar_t kCameraName[] = L"TVQ Test Camera";
const COLORREF kQuadrants[4] = {RGB(230, 30, 30), RGB(30, 220, 40), RGB(20, 40, 230),
                                RGB(240, 220, 10)};

class SteppedClock : public tvq::ITickClock {
 public:
  ULONGLONG NowMs() const override { return now; }
  ULONGLONG now = 100000;
};

// Fills and reopens as the app does, counting every opening the restore asks for.
class CountingFiller : public ISlotFiller {
 public:
  explicit CountingFiller(CSlots& slots) : m_slots(slots) {}

  bool FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) override {
    ++openings;
    return m_slots.FillQuietly(slot, kind, open);
  }
  bool ReopenSlotSource(int slot, const tvq::SourceOpener& open) override {
    ++openings;
    ICaptureSource* source = m_slots.Source(slot);
    return source != nullptr && open(*source);
  }

  int openings = 0;

 private:
  CSlots& m_slots;
};

class CameraRestore : public testing::Test {
 protected:
  void SetUp() override {
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ASSERT_EQ(S_OK, m_filter.RegisterResult());
    ASSERT_EQ(S_OK, m_camera.Plug());
    m_main = tvqtest::MakeWindowHere(
        tvqtest::SolidWindow(L"TVQ camera restore main", WS_POPUP, {0, 0, 50, 50}, RGB(0, 0, 0)));
    ASSERT_NE(nullptr, m_main);
    m_timers.SetWindow(m_main);
    ASSERT_TRUE(m_slots.Reset(2));
    m_slots.SetObserver(&m_restore);
    m_start = m_clock.now;
  }
  void TearDown() override {
    m_slots.SetObserver(nullptr);
    if (m_slots.Kind(0) != tvq::kEmptySlot) m_slots.SaveAndClear(0);
    if (m_main != nullptr) DestroyWindow(m_main);
  }

  // The first slot recorded with the test's camera, and the restore started on it.
  void StartWithRecordedCamera() {
    const std::wstring ini = m_dir.File(L"Tessavue.ini");
    tvqtest::WriteTextFile(ini, "[Slot1]\r\nKind=Camera\r\nFriendlyName=TVQ Test Camera\r\n"
                                "Width=160\r\nHeight=120\r\nSubtype=nonsense\r\n");
    m_restore.Start(ini, true, m_main);
  }
  // The waiting timer's poll at the given second after the start.
  void PollAt(int second) {
    m_clock.now = m_start + static_cast<ULONGLONG>(second) * 1000;
    m_restore.Poll();
  }
  bool Waits() const { return m_restore.WaitingFor(0) != nullptr; }
  bool ShowsTheFrame() {
    const CImage* picture = m_slots.Picture(0);
    if (picture == nullptr || picture->Width() != kWidth) return false;
    return tvqtest::PixelAt(*picture, kWidth / 4, kHeight / 4) == kQuadrants[0] &&
           tvqtest::PixelAt(*picture, kWidth * 3 / 4, kHeight * 3 / 4) == kQuadrants[3];
  }
  // Captures until the camera's frame shows (samples arrive on the graph's own thread).
  bool CapturesTheFrame() {
    return tvqtest::WaitUntil([this] { return m_slots.CaptureTick(0) && ShowsTheFrame(); },
                              10000);
  }

  tvqtest::TempDir m_dir;
  tvqtest::RegisteredFilter m_filter{kWidth, kHeight, 30};
  tvqtest::PublishedFrame m_frame{tvqtest::QuadrantFrame(kWidth, kHeight, kQuadrants)};
  tvqtest::PluggableCamera m_camera{kCameraName};
  HWND m_main = nullptr;
  tvq::CPlacementFiles m_files{m_dir.File(L"TessavueManager.exe")};
  tvq::CCaptureTimers m_timers;
  CSlots m_slots{m_files, m_timers};
  SteppedClock m_clock;
  ULONGLONG m_start = 0;
  CountingFiller m_filler{m_slots};
  CSlotRestore m_restore{m_slots, m_filler, m_clock};
};

TEST_F(CameraRestore, ACameraThatDoesNotStartWaitsAndIsTriedOnTheBackoffUntilItDoes) {
  std::optional<tvqtest::CameraInUse> inUse(std::in_place);
  ASSERT_TRUE(inUse->IsHeld());
  StartWithRecordedCamera();
  EXPECT_EQ(1, m_filler.openings);
  EXPECT_EQ(tvq::kEmptySlot, m_slots.Kind(0));
  EXPECT_TRUE(Waits());

  std::vector<int> attempts = {0};
  for (int second = 1; second <= 60; ++second) {
    const int before = m_filler.openings;
    PollAt(second);
    if (m_filler.openings != before) attempts.push_back(second);
    EXPECT_TRUE(Waits()) << "second " << second;
  }
  EXPECT_EQ((std::vector<int>{0, 1, 3, 7, 15, 31}), attempts);
  EXPECT_EQ(tvq::kEmptySlot, m_slots.Kind(0));

  // The other program lets go of the camera: the next due try fills the slot.
  inUse.reset();
  PollAt(60);
  EXPECT_TRUE(Waits()) << "not due before 61 s";
  PollAt(61);
  EXPECT_FALSE(Waits());
  ASSERT_EQ(tvq::kCameraSlot, m_slots.Kind(0));
  EXPECT_EQ(7, m_filler.openings);
  EXPECT_TRUE(CapturesTheFrame());
}

TEST_F(CameraRestore, AnUnpluggedCameraKeepsItsPictureWaitsAndComesBackWhenPluggedIn) {
  StartWithRecordedCamera();
  ASSERT_EQ(tvq::kCameraSlot, m_slots.Kind(0));
  ASSERT_TRUE(CapturesTheFrame());

  ASSERT_EQ(S_OK, tvqtest::ReportDeviceLost(*m_slots.Camera(0).Device()));
  m_camera.Unplug();
  m_slots.CaptureTick(0);
  for (int second = 1; second <= 3; ++second) {
    SCOPED_TRACE(second);
    PollAt(second);
    EXPECT_TRUE(Waits());
    EXPECT_EQ(tvq::kCameraSlot, m_slots.Kind(0));
    EXPECT_EQ(kCameraName, m_slots.SourceName(0));
    EXPECT_TRUE(ShowsTheFrame()) << "the last picture stays";
    EXPECT_EQ(1, m_filler.openings) << "nothing is opened while the camera is not listed";
  }

  ASSERT_EQ(S_OK, m_camera.Plug());
  PollAt(4);
  EXPECT_FALSE(Waits());
  EXPECT_EQ(2, m_filler.openings);
  EXPECT_TRUE(m_slots.IsActive(0));
  EXPECT_TRUE(CapturesTheFrame());
}

}  // namespace
