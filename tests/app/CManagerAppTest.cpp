#include "manager/app/CManagerApp.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "resources/Resource.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"

// This test executable carries the Manager's resources, so the app finds its texts, class menu
// and dialog here as it does in TessavueManager.exe.
namespace {

using tvqtest::TempDir;

HINSTANCE OwnInstance() { return GetModuleHandleW(nullptr); }

std::wstring ModuleIn(const TempDir& folder) { return folder.File(L"TessavueManager.exe"); }

// No filter reads these cases' channel: names of their own keep it away from a running Manager.
constexpr wchar_t kChannelPrefix[] = L"TVQTest ";

bool SectionExists(const std::wstring& name) {
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
  if (section != nullptr) CloseHandle(section);
  return section != nullptr;
}

void WriteSettings(const TempDir& folder, const std::string& video) {
  tvqtest::WriteTextFile(folder.File(L"Tessavue.ini"), "[Video]\r\n" + video);
}

// Pumps the window's messages until timer 1 has fired once, or the time-out passes.
bool CompositingTimerFires(HWND window) {
  const ULONGLONG end = GetTickCount64() + 3000;
  MSG message{};
  while (GetTickCount64() < end) {
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
      if (message.message == WM_TIMER && message.wParam == tvq::kCompositingTimerId) return true;
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return false;
}

// A 24-bit top-down memory surface filled with white, to paint into and read back.
class Surface {
 public:
  Surface(int width, int height) : m_width(width), m_height(height) {
    BITMAPINFO info{};
    info.bmiHeader = tvqtest::BitmapHeader(width, -height, 24);
    m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    m_dc = CreateCompatibleDC(nullptr);
    m_previous = SelectObject(m_dc, m_bitmap);
    PatBlt(m_dc, 0, 0, width, height, WHITENESS);
  }
  ~Surface() {
    SelectObject(m_dc, m_previous);
    DeleteDC(m_dc);
    DeleteObject(m_bitmap);
  }
  HDC Dc() const { return m_dc; }
  RECT Rect() const { return RECT{0, 0, m_width, m_height}; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const auto stride = tvq::RowBytes24(m_width);
    const auto* p = static_cast<const BYTE*>(m_bits) + y * stride + x * 3;
    return RGB(p[2], p[1], p[0]);
  }

 private:
  int m_width;
  int m_height;
  void* m_bits = nullptr;
  HBITMAP m_bitmap = nullptr;
  HDC m_dc = nullptr;
  HGDIOBJ m_previous = nullptr;
};

void FillCanvas(CImage& canvas, BYTE blue, BYTE green, BYTE red) {
  for (int y = 0; y < canvas.Height(); ++y) {
    BYTE* row = canvas.Bits() + static_cast<ptrdiff_t>(y) * canvas.Pitch();
    for (int x = 0; x < canvas.Width(); ++x) {
      row[x * 3] = blue;
      row[x * 3 + 1] = green;
      row[x * 3 + 2] = red;
    }
  }
}

TEST(ManagerStartup, DefaultsGiveABottomUpCanvasTheChannelAndA66MsTimer) {
  TempDir folder;
  CManagerApp app(OwnInstance(), ModuleIn(folder), kChannelPrefix);
  ASSERT_TRUE(app.CreateMainWindow(SW_HIDE));

  EXPECT_TRUE(tvqtest::FileExists(folder.File(L"Tessavue.ini")));
  EXPECT_EQ(8, app.SlotCount());
  EXPECT_EQ(1024, app.Canvas().Width());
  EXPECT_EQ(768, app.Canvas().Height());
  EXPECT_EQ(24, app.Canvas().BitsPerPixel());
  EXPECT_EQ(-3072, app.Canvas().Pitch());
  EXPECT_EQ(tvq::kFormatObjectSize, app.FormatChannel().Size());
  EXPECT_EQ(tvq::kIntervalObjectSize, app.IntervalChannel().Size());
  EXPECT_EQ(3072 * 768, app.PixelChannel().Size());
  EXPECT_NE(nullptr, app.PixelChannel().MappingHandle());
  EXPECT_TRUE(SectionExists(std::wstring(kChannelPrefix) + tvq::kPixelObjectName));
  EXPECT_EQ(66u, app.CompositingIntervalMs());
  EXPECT_TRUE(CompositingTimerFires(app.Window()));
}

TEST(ManagerStartup, FrameRatesWithoutAUsableIntervalStillStartTheCompositingTimer) {
  const struct {
    const char* rate;
    unsigned int intervalMs;
  } cases[] = {{"30", 33}, {"0", 66}, {"-5", 66}, {"abc", 66}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    TempDir folder;
    WriteSettings(folder, std::string("FramePerSecond=") + c.rate + "\r\n");
    CManagerApp app(OwnInstance(), ModuleIn(folder), kChannelPrefix);
    ASSERT_TRUE(app.CreateMainWindow(SW_HIDE));
    EXPECT_EQ(c.intervalMs, app.CompositingIntervalMs());
    EXPECT_TRUE(CompositingTimerFires(app.Window()));
  }
}

// Runs the test in folder as the current directory, the place a bare file name would land in.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::wstring& folder) {
    GetCurrentDirectoryW(MAX_PATH, m_previous);
    SetCurrentDirectoryW(folder.c_str());
  }
  ~CurrentDirectory() { SetCurrentDirectoryW(m_previous); }

 private:
  wchar_t m_previous[MAX_PATH] = {};
};

std::wstring InWindowsFolder(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetWindowsDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

// An executable path too long for the path buffer comes back empty: the Manager then runs on the
// defaults and writes neither a settings file elsewhere nor a registry record, and saving a
// slot's placement writes no per-kind file either.
TEST(ManagerStartup, WithoutItsOwnPathTheManagerRunsOnDefaultsAndRecordsNothing) {
  tvq::RecordPathsInRegistry(L"C:\\marker\\Tessavue.ini", L"C:\\marker\\TessavueManager.exe");
  TempDir current;
  const CurrentDirectory inCurrent(current.Path());
  const bool windowsFileBefore = tvqtest::FileExists(InWindowsFolder(tvq::kDesktopFileName));
  CManagerApp app(OwnInstance(), std::wstring(), kChannelPrefix);
  ASSERT_TRUE(app.CreateMainWindow(SW_HIDE));
  EXPECT_TRUE(app.IniPath().empty());
  EXPECT_EQ(1024, app.Canvas().Width());
  EXPECT_EQ(66u, app.CompositingIntervalMs());
  ASSERT_TRUE(app.Slots().Fill(0, tvq::kDesktopSlot));
  EXPECT_EQ(5.0, app.Slots().Placement(0).CapturePerSecond);
  ASSERT_TRUE(app.Slots().SaveAndClear(0));
  EXPECT_FALSE(tvqtest::FileExists(current.File(tvq::kDesktopFileName)));
  EXPECT_EQ(windowsFileBefore, tvqtest::FileExists(InWindowsFolder(tvq::kDesktopFileName)));

  wchar_t recorded[261] = {};
  DWORD bytes = 520;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath,
                                        tvq::kIniFilePathValue, RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                                        recorded, &bytes));
  EXPECT_STREQ(L"C:\\marker\\Tessavue.ini", recorded);
}

TEST(ManagerShutdown, DestroyingTheWindowClosesTheChannelAndEndsTheLoopWithZero) {
  TempDir folder;
  CManagerApp app(OwnInstance(), ModuleIn(folder), kChannelPrefix);
  ASSERT_TRUE(app.CreateMainWindow(SW_HIDE));
  HWND window = app.Window();
  ASSERT_NE(nullptr, app.FormatChannel().MappingHandle());

  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
  EXPECT_EQ(0, app.RunMessageLoop());
  EXPECT_FALSE(IsWindow(window));
  for (CSharedMemory* channel : {&app.FormatChannel(), &app.IntervalChannel(),
                                 &app.PixelChannel()}) {
    EXPECT_EQ(nullptr, channel->MappingHandle());
    EXPECT_EQ(nullptr, channel->MutexHandle());
  }
}

// A hidden Manager window whose painting the tests call on surfaces of their own.
class ManagerPaint : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app.CreateMainWindow(SW_HIDE)); }

  TempDir folder;
  CManagerApp app{OwnInstance(), ModuleIn(folder), kChannelPrefix};
};

TEST_F(ManagerPaint, PreviewFillsExactlyTheBottomRightQuarter) {
  FillCanvas(app.Canvas(), 0x20, 0x40, 0xC0);
  const COLORREF preview = RGB(0xC0, 0x40, 0x20);
  const COLORREF white = RGB(255, 255, 255);

  // Odd sizes: the halves are truncated, so the quarter is 100 x 50 at (100, 50) and the last
  // column and row stay untouched.
  Surface surface(201, 101);
  app.MainWindow().PaintContent(surface.Dc(), surface.Rect(), std::wstring());
  EXPECT_EQ(preview, surface.At(100, 50));
  EXPECT_EQ(preview, surface.At(199, 99));
  EXPECT_EQ(white, surface.At(99, 50));
  EXPECT_EQ(white, surface.At(100, 49));
  EXPECT_EQ(white, surface.At(200, 75));
  EXPECT_EQ(white, surface.At(150, 100));
  EXPECT_EQ(white, surface.At(10, 10));
}

// Erasing leaves the preview's quarter to the preview, and painting afterwards still reaches it.
TEST_F(ManagerPaint, ErasingSparesThePreviewsQuarter) {
  FillCanvas(app.Canvas(), 0x20, 0x40, 0xC0);
  Surface surface(200, 100);
  const RECT whole = surface.Rect();
  tvq::UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
  FillRect(surface.Dc(), &whole, static_cast<HBRUSH>(red.Get()));

  app.MainWindow().EraseBackground(surface.Dc(), whole);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(10, 10));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), surface.At(150, 49));
  EXPECT_EQ(RGB(255, 0, 0), surface.At(150, 75));
  app.MainWindow().PaintContent(surface.Dc(), whole, std::wstring());
  EXPECT_EQ(RGB(0xC0, 0x40, 0x20), surface.At(150, 75));
}

TEST_F(ManagerPaint, StatusTextIsDrawnOverThePreviewWithAnOpaqueBackground) {
  FillCanvas(app.Canvas(), 0, 0, 0);

  Surface surface(200, 200);
  TEXTMETRICW metrics{};
  GetTextMetricsW(surface.Dc(), &metrics);
  // Blank lines down to the lower half, then a line of spaces wider than the surface.
  const int lines = 100 / metrics.tmHeight + 1;
  const std::wstring text = std::wstring(lines, L'\n') + std::wstring(200, L' ');
  app.MainWindow().PaintContent(surface.Dc(), surface.Rect(), text);

  const int lineMiddle = lines * metrics.tmHeight + metrics.tmHeight / 2;
  ASSERT_LT(lineMiddle, 200);
  EXPECT_EQ(GetBkColor(surface.Dc()), surface.At(150, lineMiddle));
  EXPECT_EQ(RGB(0, 0, 0), surface.At(150, 199));
}

TEST(ManagerTimers, OnlyTheSlotsCaptureTimersMapToSlots) {
  EXPECT_EQ(-1, tvq::SlotOfCaptureTimer(tvq::kCompositingTimerId, 8));
  EXPECT_EQ(-1, tvq::SlotOfCaptureTimer(9, 8));
  EXPECT_EQ(0, tvq::SlotOfCaptureTimer(10, 8));
  EXPECT_EQ(7, tvq::SlotOfCaptureTimer(17, 8));
  EXPECT_EQ(-1, tvq::SlotOfCaptureTimer(18, 8));
  EXPECT_EQ(tvq::CaptureTimerId(3), static_cast<UINT_PTR>(13));
}

TEST(ManagerResources, IconsHaveVisiblePixelsAtTheirSizes) {
  const struct {
    int id;
    int size;
  } icons[] = {{IDI_TESSAVUEMANAGER, 32}, {IDI_TESSAVUEMANAGER, 48}, {IDI_SMALL, 16}};
  for (const auto& icon : icons) {
    SCOPED_TRACE(icon.id * 1000 + icon.size);
    HICON handle = static_cast<HICON>(
        LoadImageW(OwnInstance(), MAKEINTRESOURCEW(icon.id), IMAGE_ICON, icon.size, icon.size, 0));
    ASSERT_NE(nullptr, handle);
    Surface surface(icon.size, icon.size);
    DrawIconEx(surface.Dc(), 0, 0, handle, icon.size, icon.size, 0, nullptr, DI_NORMAL);
    // The picture fills its middle; the corners are rounded off and stay transparent.
    EXPECT_NE(RGB(255, 255, 255), surface.At(icon.size / 2, icon.size / 2));
    EXPECT_EQ(RGB(255, 255, 255), surface.At(0, 0));
    DestroyIcon(handle);
  }
}

}  // namespace
