// Image and text slots in the real Manager, filled as a user fills them (the slot menu by a real
// right click, the file dialog and the text dialog by real keys), seen by a client of the
// virtual camera.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

using Frame = std::vector<BYTE>;

// Red, green, blue of a bottom-up 24-bit frame, y from the top.
COLORREF PixelOf(const Frame& frame, int x, int y) {
  const BYTE* p = frame.data() + (static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 3;
  return RGB(p[2], p[1], p[0]);
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
             std::abs(GetBValue(a) - GetBValue(b)) < 30;
}

std::function<bool(const Frame&)> Centre(COLORREF color) {
  return [color](const Frame& f) { return Near(PixelOf(f, kWidth / 2, kHeight / 2), color); };
}

void SolidPng(const std::wstring& path, COLORREF color) {
  ASSERT_EQ(S_OK, tvqtest::WriteImage(path, GUID_ContainerFormatPng, 64, 48, [color](int, int) {
    return tvqtest::Bgra(GetRValue(color), GetGValue(color), GetBValue(color));
  }));
}

// Characters as a keyboard's input method hands them over, then Enter.
void Type(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
      key.type = INPUT_KEYBOARD;
      key.ki.wScan = c;
      key.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    keys[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
  }
  tvqtest::PressKey(VK_RETURN, false);
  tvqtest::PressKey(VK_RETURN, true);
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

  // Waits until a frame the client received satisfies seen.
  bool ClientSees(const std::function<bool(const Frame&)>& seen, DWORD timeoutMs) {
    return tvqtest::WaitUntil([&] {
      const std::lock_guard<std::mutex> lock(m_lock);
      return m_last.size() >= static_cast<size_t>(kWidth) * kHeight * 3 && seen(m_last);
    }, timeoutMs);
  }

  // The Manager's dialog of this title, in front and ready for keys.
  bool DialogInFront(const wchar_t* title) {
    return tvqtest::WaitUntil([&] {
      HWND dialog = FindWindowW(L"#32770", title);
      return dialog != nullptr && GetForegroundWindow() == dialog;
    }, kTimeoutMs);
  }

  // A real right click in the preview, where no slot lies yet, opens the selected slot's menu;
  // Down to the entry at position and Enter pick it. (Another process's menu cannot be read
  // under Wine, so the dialog that follows shows that the right entry was picked.)
  bool PickFromEmptySlotMenu(int position) {
    HWND window = manager.Window();
    SetForegroundWindow(window);
    if (!tvqtest::WaitUntil([&] { return GetForegroundWindow() == window; }, kTimeoutMs)) {
      return false;
    }
    RECT client{};
    GetClientRect(window, &client);
    POINT at{client.right * 7 / 8, client.bottom * 7 / 8};
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, click, sizeof(INPUT));
    if (!tvqtest::WaitUntil([] { return FindWindowW(L"#32768", nullptr) != nullptr; },
                            kTimeoutMs)) {
      return false;
    }
    for (int i = 0; i <= position; ++i) {
      tvqtest::PressKey(VK_DOWN, false);
      tvqtest::PressKey(VK_DOWN, true);
    }
    tvqtest::PressKey(VK_RETURN, false);
    tvqtest::PressKey(VK_RETURN, true);
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
  SolidPng(card, RGB(230, 20, 20));
  // Camera, window, desktop, image...
  ASSERT_TRUE(PickFromEmptySlotMenu(3));
  ASSERT_TRUE(DialogInFront(L"スロットに入れる画像"));
  Type(card);
  ASSERT_TRUE(ClientSees(Centre(RGB(230, 20, 20)), kTimeoutMs));

  // Replaced as an editor saves: a new file moved over the old one.
  SolidPng(m_folder.File(L"saved.png"), RGB(20, 20, 230));
  ASSERT_TRUE(MoveFileExW(m_folder.File(L"saved.png").c_str(), card.c_str(),
                          MOVEFILE_REPLACE_EXISTING));
  const ULONGLONG replaced = GetTickCount64();
  ASSERT_TRUE(ClientSees(Centre(RGB(20, 20, 230)), kTimeoutMs));
  EXPECT_LT(GetTickCount64() - replaced, 2000u) << "shown anew within two seconds";

  // Slot 2, over the image: white glyphs, smooth at their edges, and the image between them.
  manager.PressKey(VK_DOWN);
  manager.PressKey('T');
  ASSERT_TRUE(DialogInFront(L"テキストをスロットに入れる"));
  Type(L"日本語のテキスト");
  int glyphs = 0, edges = 0, image = 0;
  EXPECT_TRUE(ClientSees([&](const Frame& f) {
    glyphs = edges = image = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const COLORREF c = PixelOf(f, x, y);
        if (Near(c, RGB(255, 255, 255))) ++glyphs;
        else if (Near(c, RGB(20, 20, 230))) ++image;
        else ++edges;
      }
    }
    return glyphs > 500 && edges > 200 && image > kWidth * kHeight / 2;
  }, kTimeoutMs)) << glyphs << " glyph, " << edges << " edge, " << image << " image pixels";
}

}  // namespace
