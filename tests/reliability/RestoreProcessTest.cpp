// The real Manager brings its slots back when it starts again: two solid-colour windows and a
// paused camera filled with the keys, the process closed and started anew, the picture compared
// byte for byte in the pixel object; then a window that is not there yet, which the slot waits
// for. The camera is our filter listed a second time under another name, as a device of the
// machine would be (our own camera is never brought back).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "channel/ChannelNames.h"
#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "manager/app/CSceneStore.h"
#include "tests/common/ComApartment.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/RealManager.h"

namespace {

using tvqtest::RealManager;

constexpr DWORD kTimeoutMs = 15000;
constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kStride = (kWidth * 3 + 3) / 4 * 4;
const wchar_t kCameraName[] = L"TVQ Test Camera";
const wchar_t kWholeTitle[] = L"TVQ restore whole";
const wchar_t kCornerTitle[] = L"TVQ restore corner";
constexpr COLORREF kWholeColor = RGB(200, 30, 40);
constexpr COLORREF kCornerColor = RGB(20, 60, 220);

// The filter's class once more in the video input category, under a name of the test's own.
class CameraAlias {
 public:
  CameraAlias() {
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                     reinterpret_cast<void**>(m_mapper.GetAddressOf()));
    REGFILTER2 record{};
    record.dwVersion = 1;
    record.dwMerit = MERIT_DO_NOT_USE;
    if (m_mapper) {
      m_result = m_mapper->RegisterFilter(tvq::CLSID_TessavueFilter, kCameraName, nullptr,
                                          &CLSID_VideoInputDeviceCategory, kCameraName, &record);
    }
  }
  ~CameraAlias() {
    if (m_mapper) {
      m_mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kCameraName,
                                 tvq::CLSID_TessavueFilter);
    }
  }
  HRESULT Result() const { return m_result; }

 private:
  Microsoft::WRL::ComPtr<IFilterMapper2> m_mapper;
  HRESULT m_result = E_FAIL;
};

// Right of the Manager's window, so that nothing covers them.
tvqtest::TestWindowOptions Solid(const wchar_t* title, RECT rect, COLORREF color) {
  return tvqtest::SolidWindow(title, WS_POPUP | WS_VISIBLE, rect, color);
}

std::vector<BYTE> PublishedFrame() {
  std::vector<BYTE> frame;
  tvq::UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, tvq::kPixelObjectName));
  const std::wstring mutexName = std::wstring(L"Mutex of ") + tvq::kPixelObjectName;
  tvq::UniqueKernelHandle mutex(
      OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, mutexName.c_str()));
  if (!mapping || !mutex) return frame;
  const DWORD wait = WaitForSingleObject(mutex.Get(), 10000);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return frame;
  tvq::UniqueMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, kStride * kHeight));
  if (view) {
    const auto* bytes = static_cast<const BYTE*>(view.Get());
    frame.assign(bytes, bytes + kStride * kHeight);
  }
  ReleaseMutex(mutex.Get());
  return frame;
}

// A pixel of the bottom-up frame, in picture coordinates (top row 0).
COLORREF FramePixel(const std::vector<BYTE>& frame, int x, int y) {
  if (frame.empty()) return CLR_INVALID;
  const BYTE* p = &frame[static_cast<size_t>(kHeight - 1 - y) * kStride + x * 3];
  return RGB(p[2], p[1], p[0]);
}

bool CameraRuns() {
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, tvq::kSingleInstanceMutexName));
  return mutex.IsValid();
}

class RestoreProcess : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
    ASSERT_EQ(S_OK, m_alias.Result());
    // The corner window's placement, as the keys would have saved it.
    tvqtest::WriteTextFile(m_folder.File(L"TVQ_CaptureWindow.ini"),
                           "[TVQ restore corner]\r\nPos_x=0.5\r\nPos_y=0.5\r\nWidth=0.5\r\n"
                           "Height=0.5\r\n");
  }

  std::unique_ptr<RealManager> StartManager() {
    auto manager = std::make_unique<RealManager>(m_folder.Path(), m_settings);
    m_settings.clear();  // the first start's file is kept from then on
    EXPECT_TRUE(manager->Start(false));
    return manager;
  }

  // Waits until the published frame shows the whole window's colour with the corner's in the
  // bottom-right quarter, or the whole colour alone.
  bool WaitForPicture(bool withCorner, DWORD timeoutMs) {
    return tvqtest::WaitUntil(
        [&] {
          const std::vector<BYTE> frame = PublishedFrame();
          const COLORREF corner = withCorner ? kCornerColor : kWholeColor;
          return FramePixel(frame, 10, 10) == kWholeColor &&
                 FramePixel(frame, kWidth - 10, kHeight - 10) == corner &&
                 FramePixel(frame, kWidth / 2 + 2, kHeight / 2 + 2) == corner;
        },
        timeoutMs);
  }

  tvqtest::ComApartment m_com;
  CameraAlias m_alias;
  tvqtest::TempDir m_folder;
  // The slots are recorded in a store of this test's own, not in one an earlier run left.
  tvqtest::UserFolderRedirect m_appData{m_folder.File(L"AppData")};
  std::string m_settings =
      "[Tessavue]\r\nMaxNumOfCaptureDev=4\r\nRestoreSlots=1\r\n" +
      tvqtest::VideoSection(kWidth, kHeight, "15");
};

TEST_F(RestoreProcess, SlotsPlacementsAndPauseComeBackAndAMissingWindowIsWaitedFor) {
  tvqtest::TestWindow whole(Solid(kWholeTitle, {1000, 40, 1160, 160}, kWholeColor));
  auto corner = std::make_unique<tvqtest::TestWindow>(
      Solid(kCornerTitle, {1000, 300, 1160, 420}, kCornerColor));
  ASSERT_TRUE(whole.WaitUntilShown());
  ASSERT_TRUE(corner->WaitUntilShown());

  std::unique_ptr<RealManager> manager = StartManager();
  manager->PressKey('W');
  ASSERT_TRUE(manager->Choose(kWholeTitle));
  manager->PressKey(VK_DOWN);
  manager->PressKey('W');
  ASSERT_TRUE(manager->Choose(kCornerTitle));
  manager->PressKey(VK_DOWN);
  manager->PressKey('C');
  ASSERT_TRUE(manager->Choose(kCameraName));
  // The device and its pin have no property pages: an error box each, answered with OK.
  ASSERT_TRUE(tvqtest::WaitUntil(
      [&] {
        HWND box = manager->WaitForBox(50);
        if (box != nullptr) manager->Answer(box, IDOK);
        return box == nullptr && CameraRuns();
      },
      kTimeoutMs));
  manager->PressKey(VK_SPACE);
  ASSERT_TRUE(WaitForPicture(true, kTimeoutMs));
  const std::vector<BYTE> before = PublishedFrame();
  DWORD exitCode = 1;
  ASSERT_TRUE(manager->Close(&exitCode));
  EXPECT_EQ(0u, exitCode);
  tvq::CSceneStore store(m_appData.StorePath());
  store.Load();
  const tvq::SceneSlot* camera = store.CurrentSlots().SlotAt(2);
  ASSERT_NE(nullptr, camera);
  EXPECT_TRUE(camera->record.paused);

  // Started again, as at sign-in: the same picture, and the paused camera runs again unseen.
  manager = StartManager();
  EXPECT_TRUE(tvqtest::WaitUntil([&] { return PublishedFrame() == before; }, kTimeoutMs));
  EXPECT_TRUE(CameraRuns());
  EXPECT_EQ(nullptr, manager->WaitForBox(0)) << "a restore asked a question";
  ASSERT_TRUE(manager->Close(&exitCode));

  // Without the corner window, its slot waits and slot 1 shows there; the window comes back.
  corner.reset();
  manager = StartManager();
  EXPECT_TRUE(WaitForPicture(false, kTimeoutMs));
  corner = std::make_unique<tvqtest::TestWindow>(
      Solid(kCornerTitle, {1000, 300, 1160, 420}, kCornerColor));
  ASSERT_TRUE(corner->WaitUntilShown());
  EXPECT_TRUE(WaitForPicture(true, 2000)) << "the window's slot did not fill within 2 s";
  EXPECT_TRUE(tvqtest::WaitUntil([&] { return PublishedFrame() == before; }, kTimeoutMs));
  ASSERT_TRUE(manager->Close(&exitCode));
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
