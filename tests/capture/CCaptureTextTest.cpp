#include "manager/capture/CCaptureText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "manager/capture/CTextDialog.h"
#include "manager/capture/TextRendering.h"
#include "tests/common/ChildProcess.h"
#include "tests/composition/MenuDriver.h"

namespace {

struct Coverage {
  int opaque = 0;
  int partial = 0;
  int top = INT_MAX;
  int bottom = -1;
};

// What a drawn text covers beyond the box's own alpha.
Coverage Measure(const CImage& picture, BYTE boxAlpha) {
  Coverage c;
  for (int y = 0; y < picture.Height(); ++y) {
    const BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    for (int x = 0; x < picture.Width(); ++x) {
      const BYTE alpha = row[x * 4 + 3];
      EXPECT_LE(std::max({row[x * 4], row[x * 4 + 1], row[x * 4 + 2]}), alpha) << "premultiplied";
      if (alpha == boxAlpha) continue;
      ++(alpha == 255 ? c.opaque : c.partial);
      c.top = std::min(c.top, y);
      c.bottom = std::max(c.bottom, y);
    }
  }
  return c;
}

// A hand-edited style line: unknown keys and unreadable values keep the defaults, numbers are
// kept inside their ranges. (Whole records, escaped texts included: SlotKindsTest.)
TEST(TextStyle, AHandEditedLineKeepsDefaultsAndRanges) {
  const tvq::TextStyle read =
      tvq::TextStyle::FromRecord(L"Size=400;Color=#00ff00;Outline=-3;Box=yes;What=1;BoxOpacity=");
  EXPECT_EQ(100, read.sizePercent);
  EXPECT_EQ(RGB(0, 255, 0), read.color);
  EXPECT_EQ(0, read.outlinePercent);
  EXPECT_FALSE(read.box);
  EXPECT_EQ(tvq::TextStyle().boxOpacityPercent, read.boxOpacityPercent);
  EXPECT_EQ(tvq::TextStyle().font, read.font);
}

// Smooth glyph edges over the box, in the text's colour, at the size asked for; Japanese glyphs
// are glyphs of their own (two orders of the same characters differ), and twice the slot draws
// the text twice as tall rather than stretching it.
TEST(TextRendering, SmoothGlyphsOverTheBoxAtTheSlotsOwnSize) {
  tvq::TextStyle style;
  style.color = RGB(255, 255, 255);
  style.outlinePercent = 8;
  style.box = true;
  style.boxColor = RGB(0, 0, 255);
  style.boxOpacityPercent = 50;
  CImage small, large, swapped;
  ASSERT_TRUE(tvq::RenderText(L"日本語 Text", style, 320, 80, small));
  ASSERT_EQ(320, small.Width());
  ASSERT_EQ(32, small.BitsPerPixel());
  const BYTE* corner = small.Bits();
  EXPECT_EQ(128, corner[3]) << "the box at half opacity";
  EXPECT_EQ(128, corner[0]) << "blue, premultiplied";
  EXPECT_EQ(0, corner[2]);
  const Coverage c = Measure(small, 128);
  EXPECT_GT(c.opaque, 200) << "glyphs and their outline";
  EXPECT_GT(c.partial, 50) << "anti-aliased edges";

  ASSERT_TRUE(tvq::RenderText(L"日本語 Text", style, 640, 160, large));
  const Coverage twice = Measure(large, 128);
  EXPECT_NEAR(2.0 * (c.bottom - c.top), twice.bottom - twice.top, 6.0);
  ASSERT_TRUE(tvq::RenderText(L"語本日 Text", style, 320, 80, swapped));
  EXPECT_FALSE(std::equal(small.Bits(), small.Bits() + small.BufferBytes(), swapped.Bits()));

  style.box = false;
  ASSERT_TRUE(tvq::RenderText(L"日本語 Text", style, 320, 80, small));
  EXPECT_EQ(0, small.Bits()[3]) << "no box: clear where there is no text";
  EXPECT_FALSE(tvq::RenderText(L"", style, 320, 80, small));
}

TEST(TextSource, DrawsAgainOnlyWhenItsTextStyleOrSizeChanged) {
  CCaptureText text;
  ASSERT_TRUE(text.Open(L"字幕\r\nsecond line", tvq::TextStyle()));
  EXPECT_STREQ(L"字幕…", text.Name());
  EXPECT_TRUE(text.Capture()) << "the first drawing is told once";
  EXPECT_FALSE(text.Capture());
  EXPECT_FALSE(text.FitTo(CCaptureText::kFirstWidth, CCaptureText::kFirstHeight));
  EXPECT_FALSE(text.Capture());
  EXPECT_TRUE(text.FitTo(300, 50));
  EXPECT_TRUE(text.Capture());
  EXPECT_EQ(300, text.Picture().Width());
  EXPECT_EQ(50, text.Picture().Height());
  EXPECT_FALSE(text.Capture());
  EXPECT_FALSE(text.Open(L"", tvq::TextStyle()));
  EXPECT_EQ(L"字幕\r\nsecond line", text.Text()) << "a refused text leaves the source as it was";
}

// The real dialog, shown on this thread and driven from another with real keys: Enter confirms,
// Shift+Enter breaks the line, Esc cancels, and what no slot can show is refused inside it.
TEST(TextDialog, KeysConfirmBreakAndCancelAndRefusalsStayInsideTheDialog) {
  const auto key = [](WORD vk, bool shift = false) {
    if (shift) tvqtest::PressKey(VK_SHIFT, false);
    tvqtest::PressKey(vk, false);
    tvqtest::PressKey(vk, true);
    if (shift) tvqtest::PressKey(VK_SHIFT, true);
  };
  const auto refuses = [](HWND dialog, const wchar_t* reason) {
    return tvqtest::WaitUntil([&] {
      wchar_t text[256] = L"";
      GetDlgItemTextW(dialog, CTextDialog::kProblem, text, 256);
      return std::wstring(text).find(reason) != std::wstring::npos;
    }, 3000);
  };
  std::wstring lines;
  for (int line = 0; line < 10000; ++line) lines += L"line " + std::to_wstring(line) + L"\r\n";
  const struct {
    const char* name;
    std::function<void(HWND)> drive;
    bool confirmed;
    std::wstring text;
  } rows[] = {
      {"typed", [&](HWND) { key('A'); key(VK_RETURN, true); key('B'); key(VK_RETURN); }, true,
       L"a\r\nb"},
      {"Esc", [&](HWND) { key(VK_ESCAPE); }, false, L"kept"},
      {"refused, then corrected", [&](HWND dialog) {
         SetDlgItemTextW(dialog, CTextDialog::kTextBox, L"");
         key(VK_RETURN);
         EXPECT_TRUE(refuses(dialog, L"テキストが空です"));
         SetDlgItemTextW(dialog, CTextDialog::kTextBox, lines.c_str());
         key(VK_RETURN);
         EXPECT_TRUE(refuses(dialog, L"テキストが長すぎます"));
         SetDlgItemTextW(dialog, CTextDialog::kTextBox, L"ok");
         SetDlgItemTextW(dialog, CTextDialog::kBoxColor, L"blue");
         key(VK_RETURN);
         EXPECT_TRUE(refuses(dialog, L"箱の色は RRGGBB"));
         SetDlgItemTextW(dialog, CTextDialog::kBoxColor, L"#102030");
         key(VK_RETURN);
       }, true, L"ok"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CTextDialog dialog(L"kept", tvq::TextStyle());
    std::thread driver([&] {
      HWND window = nullptr;
      const bool shown = tvqtest::WaitUntil([&] {
        window = FindWindowW(L"#32770", CTextDialog::kNewTitle);
        return window != nullptr && GetForegroundWindow() == window;
      }, 5000);
      if (shown) row.drive(window);
    });
    EXPECT_EQ(row.confirmed, dialog.Show(nullptr, false));
    driver.join();
    EXPECT_EQ(row.text, dialog.Text());
  }
}

}  // namespace
