// Image and text slots in the real Manager, filled as a user fills them (the slot menu by a real
// right click, the file dialog and the text dialog by real keys), seen by a client of the
// virtual camera.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/common/ImageFiles.h"
#include "tests/common/TempDir.h"
#include "tests/composition/MenuDriver.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/GuardedSink.h"
#include "tests/reliability/RealManager.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr DWORD kTimeoutMs = 15000;
constexpr COLORREF kRed = RGB(230, 20, 20);
constexpr COLORREF kBlue = RGB(20, 20, 230);

using Frame = std::vector<BYTE>;

// A bottom-up 24-bit frame, y from the top.
COLORREF PixelOf(const Frame& frame, int x, int y) {
  const BYTE* p = frame.data() + (static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 3;
  return RGB(p[2], p[1], p[0]);
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
             std::abs(GetBValue(a) - GetBValue(b)) < 30;
}

void SolidPng(const std::wstring& path, COLORREF c) {
  ASSERT_EQ(S_OK, tvqtest::WriteImage(path, GUID_ContainerFormatPng, 64, 48, [c](int, int) {
    return tvqtest::Bgra(GetRValue(c), GetGValue(c), GetBValue(c));
  }));
}

void Tap(WORD key, int times = 1) {
  for (int i = 0; i < times; ++i) {
    tvqtest::PressKey(key, false);
    tvqtest::PressKey(key, true);
  }
}

// Characters as an input method hands them over, then Enter.
void Type(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) key = INPUT{INPUT_KEYBOARD, {}};
    keys[0].ki = KEYBDINPUT{0, c, KEYEVENTF_UNICODE, 0, 0};
    keys[1].ki = KEYBDINPUT{0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP, 0, 0};
    SendInput(2, keys, sizeof(INPUT));
  }
  Tap(VK_RETURN);
}

// The window find() gives, once it is in front and takes keys.
bool InFront(const std::function<HWND()>& find) {
  return tvqtest::WaitUntil([&] {
    HWND window = find();
    return window != nullptr && GetForegroundWindow() == window;
  }, kTimeoutMs);
}

std::function<HWND()> Dialog(const wchar_t* title) {
  return [title] { return FindWindowW(L"#32770", title); };
}

class PictureSlots : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
    ASSERT_TRUE(manager.Start(false));
    m_sink.SetInspector([this](const tvqtest::ReceivedSample& s) {
      const std::lock_guard<std::mutex> lock(m_lock);
      m_last.assign(s.data, s.data + s.size);
    });
    // Made once the Manager has recorded where its settings are.
    m_client.emplace();
    ASSERT_TRUE(m_client->IsValid());
    ASSERT_EQ(S_OK, tvqtest::AskFor(m_client->config.Get(), kWidth, kHeight, 333333));
    ASSERT_EQ(S_OK, m_client->outputPin->Connect(&m_sink, nullptr));
    ASSERT_EQ(S_OK, m_client->filter->Run(0));
  }
  void TearDown() override {
    if (m_client && m_client->IsValid()) m_client->filter->Stop();
    DWORD code = 0;
    manager.Close(&code);
  }

  bool ClientSees(const std::function<bool(const Frame&)>& seen) {
    return tvqtest::WaitUntil([&] {
      const std::lock_guard<std::mutex> lock(m_lock);
      return m_last.size() >= static_cast<size_t>(kWidth) * kHeight * 3 && seen(m_last);
    }, kTimeoutMs);
  }
  bool ClientSeesInTheMiddle(COLORREF color) {
    return ClientSees([color](const Frame& f) { return Near(PixelOf(f, 160, 120), color); });
  }

  // A real right click in the preview, where no slot lies yet, opens the selected slot's menu;
  // Down to the entry at position and Enter pick it. Another process's menu cannot be read
  // under Wine: the dialog that follows shows that the right entry was picked.
  bool PickFromEmptySlotMenu(int position) {
    HWND window = manager.Window();
    SetForegroundWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    POINT at{client.right * 7 / 8, client.bottom * 7 / 8};
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    INPUT click[2] = {INPUT{INPUT_MOUSE, {}}, INPUT{INPUT_MOUSE, {}}};
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    if (!InFront([window] { return window; }) || SendInput(2, click, sizeof(INPUT)) != 2) {
      return false;
    }
    // The menu's own loop takes keys only once it runs: until then a Down would be lost and
    // another entry picked. Its thread shows the loop by its menu mode.
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    const auto inMenu = [thread] {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      if (FindWindowW(L"#32768", nullptr) == nullptr || !GetGUIThreadInfo(thread, &info)) {
        return false;
      }
      return info.hwndMenuOwner != nullptr ||
             (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
    };
    if (!tvqtest::WaitUntil(inMenu, kTimeoutMs)) return false;
    Tap(VK_DOWN, position + 1);
    Tap(VK_RETURN);
    return true;
  }

  tvqtest::ComApartment m_com;
  tvqtest::TempDir m_folder;
  tvqtest::RealManager manager{m_folder.Path(),
                               "[Tessavue]\r\nMaxNumOfCaptureDev=2\r\n" +
                                   tvqtest::VideoSection(kWidth, kHeight, "30")};
  std::optional<tvqtest::LocalFilter> m_client;
  tvqtest::GuardedSink m_sink;
  std::mutex m_lock;
  Frame m_last;
};

TEST_F(PictureSlots, AnImageFromTheMenuFollowsItsFileAndAJapaneseTextIsDrawnOverIt) {
  const std::wstring card = m_folder.File(L"card.png");
  SolidPng(card, kRed);
  ASSERT_TRUE(PickFromEmptySlotMenu(3));  // camera, window, desktop, image...
  ASSERT_TRUE(InFront(Dialog(L"スロットに入れる画像")));
  Type(card);
  ASSERT_TRUE(ClientSeesInTheMiddle(kRed));

  // Replaced as an editor saves: a new file moved over the old one.
  SolidPng(m_folder.File(L"saved.png"), kBlue);
  ASSERT_TRUE(MoveFileExW(m_folder.File(L"saved.png").c_str(), card.c_str(),
                          MOVEFILE_REPLACE_EXISTING));
  const ULONGLONG replaced = GetTickCount64();
  ASSERT_TRUE(ClientSeesInTheMiddle(kBlue));
  EXPECT_LT(GetTickCount64() - replaced, 2000u) << "shown anew within two seconds";

  // Slot 2, over the image: white glyphs, smooth at their edges, and the image between them.
  manager.PressKey(VK_DOWN);
  manager.PressKey('T');
  ASSERT_TRUE(InFront(Dialog(L"テキストをスロットに入れる")));
  Type(L"日本語のテキスト");
  int glyphs = 0, edges = 0, image = 0;
  EXPECT_TRUE(ClientSees([&](const Frame& f) {
    glyphs = edges = image = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const COLORREF c = PixelOf(f, x, y);
        ++(Near(c, RGB(255, 255, 255)) ? glyphs : Near(c, kBlue) ? image : edges);
      }
    }
    return glyphs > 500 && edges > 200 && image > kWidth * kHeight / 2;
  })) << glyphs << " glyph, " << edges << " edge, " << image << " image pixels";
}

}  // namespace
