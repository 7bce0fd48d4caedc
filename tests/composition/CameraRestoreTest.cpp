// Recorded cameras brought back over real graphs on our filter, listed under a name of the test's
// own: one that is there but does not start (another program runs it), one unplugged while
// captured. The restore's clock is the test's, stepped a second per poll as the waiting timer's.
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
#include "tests/common/TestWindow.h"

namespace {

const COLORREF kQuadrants[4] = {RGB(230, 30, 30), RGB(30, 220, 40), RGB(20, 40, 230),
                                RGB(240, 220, 10)};

// Fills and reopens as the app does, counting the openings the restore asks for; the store holds
// the camera's record as an earlier run left it.
class CameraRestore : public testing::Test,
                      public ISlotFiller,
                      public tvq::ITickClock,
                      public ISlotRecordStore {
 protected:
  void SetUp() override {
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ASSERT_EQ(S_OK, m_filter.RegisterResult());
    m_main = tvqtest::MakeWindowHere(tvqtest::SolidWindow(L"TVQ camera restore", WS_POPUP,
                                                          {0, 0, 50, 50}, RGB(0, 0, 0)));
    m_timers.SetWindow(m_main);
    ASSERT_TRUE(m_slots.Reset(1));
    m_slots.SetObserver(&m_restore);
  }
  void TearDown() override {
    m_slots.SetObserver(nullptr);
    m_slots.SaveAndClear(0);
    DestroyWindow(m_main);
  }

  void Start() { m_restore.Start(*this, true, m_main); }
  tvq::SceneSlot ReadSlot(int slot) const override {
    tvq::SceneSlot recorded;
    if (slot != 0) return recorded;
    recorded.record.kind = tvq::kCameraSlot;
    recorded.record.camera.friendlyName = L"TVQ Test Camera";
    return recorded;
  }
  void WriteSlot(int, const tvq::SceneSlot&) override {}
  bool FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) override {
    ++m_openings;
    return m_slots.FillQuietly(slot, kind, open);
  }
  bool ReopenSlotSource(int slot, const tvq::SourceOpener& open) override {
    ++m_openings;
    return open(*m_slots.Source(slot));
  }
  ULONGLONG NowMs() const override { return m_now; }

  // The waiting timer's poll at this second after the start; true while the slot waits.
  bool WaitsAt(int second) {
    m_now = second * 1000ull;
    m_restore.Poll();
    return m_restore.WaitingFor(0) != nullptr;
  }
  bool ShowsTheFrame() {
    const CImage* picture = m_slots.Picture(0);
    return picture != nullptr && tvqtest::PixelAt(*picture, 40, 30) == kQuadrants[0] &&
           tvqtest::PixelAt(*picture, 120, 90) == kQuadrants[3];
  }
  bool CapturesTheFrame() {
    return tvqtest::WaitUntil([this] { return m_slots.CaptureTick(0) && ShowsTheFrame(); }, 10000);
  }

  int m_openings = 0;
  ULONGLONG m_now = 0;
  tvqtest::TempDir m_dir;
  tvqtest::RegisteredFilter m_filter{160, 120, 30};
  tvqtest::PublishedFrame m_frame{tvqtest::QuadrantFrame(160, 120, kQuadrants)};
  HWND m_main = nullptr;
  tvq::CPlacementFiles m_files{m_dir.File(L"TessavueManager.exe")};
  tvq::CCaptureTimers m_timers;
  CSlots m_slots{m_files, m_timers};
  // After the slots: their cameras keep COM initialised on this thread.
  tvqtest::PluggableCamera m_camera{L"TVQ Test Camera"};
  CSlotRestore m_restore{m_slots, *this, *this};
};

TEST_F(CameraRestore, ACameraThatDoesNotStartWaitsAndIsTriedOnTheBackoffUntilItDoes) {
  std::optional<tvqtest::CameraInUse> inUse(std::in_place);
  Start();
  std::vector<int> tries = {0};
  for (int second = 1; second <= 100; ++second) {
    const int before = m_openings;
    EXPECT_TRUE(WaitsAt(second)) << second;
    if (m_openings != before) tries.push_back(second);
  }
  EXPECT_EQ((std::vector<int>{0, 1, 3, 7, 15, 31, 61, 91}), tries);
  EXPECT_EQ(tvq::kEmptySlot, m_slots.Kind(0)) << "a graph that does not run fills nothing";

  inUse.reset();
  EXPECT_TRUE(WaitsAt(120));
  EXPECT_FALSE(WaitsAt(121));
  EXPECT_TRUE(CapturesTheFrame());
}

TEST_F(CameraRestore, AnUnpluggedCameraKeepsItsPictureWaitsAndComesBackWhenItStartsAgain) {
  Start();
  ASSERT_TRUE(CapturesTheFrame());
  ASSERT_EQ(S_OK, tvqtest::ReportDeviceLost(*m_slots.Camera(0).Device()));
  m_camera.Unplug();
  m_slots.CaptureTick(0);
  std::optional<tvqtest::CameraInUse> inUse;
  for (int second = 1; second <= 5; ++second) {
    // Plugged in again at 3 s, but held by another program: tried at 3 and 4 s, due at 6 s.
    if (second == 3) {
      inUse.emplace();
      m_camera.Plug();
    }
    EXPECT_TRUE(WaitsAt(second)) << second;
    EXPECT_EQ(L"TVQ Test Camera", m_slots.SourceName(0));
    EXPECT_TRUE(ShowsTheFrame()) << "the last picture stays, second " << second;
  }
  EXPECT_EQ(3, m_openings);
  inUse.reset();
  EXPECT_FALSE(WaitsAt(6));
  EXPECT_TRUE(m_slots.IsActive(0));
  EXPECT_TRUE(CapturesTheFrame());
}

}  // namespace
