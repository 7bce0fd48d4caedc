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

TEST(TextStyle, RecordsAndEscapedLinesComeBackAsWritten) {
  for (const std::wstring text : {L"山田 太郎\r\n営業部", L" \"quoted\" \\ back\tslash ",
                                  L"\\n is no line break", L"one\nline feed", L"　全角"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    const std::wstring line = tvq::EscapeLine(text);
    EXPECT_EQ(std::wstring::npos, line.find_first_of(L"\r\n\""));
    EXPECT_NE(L' ', line.front());
    EXPECT_NE(L' ', line.back());
    EXPECT_EQ(text, tvq::UnescapeLine(line));
  }
  tvq::TextStyle style;
  style.font = L"MS UI Gothic";
  style.bold = false;
  style.sizePercent = 55;
  style.color = RGB(1, 2, 3);
  style.outlinePercent = 12;
  style.outlineColor = RGB(250, 128, 0);
  style.box = true;
  style.boxColor = RGB(0, 0, 160);
  style.boxOpacityPercent = 35;
  EXPECT_TRUE(style == tvq::TextStyle::FromRecord(style.ToRecord())) << style.ToRecord();
  // A hand-edited line: unknown keys and unreadable values keep the defaults, numbers are kept
  // inside their ranges.
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

// The real dialog, driven from another thread with real keys while it runs on this one.
class TextDialogDrive : public testing::Test {
 protected:
  static void Press(WORD key, bool shift = false) {
    INPUT inputs[4] = {};
    int count = 0;
    const auto add = [&](WORD vk, DWORD flags) {
      inputs[count].type = INPUT_KEYBOARD;
      inputs[count].ki.wVk = vk;
      inputs[count++].ki.dwFlags = flags;
    };
    if (shift) add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(count, inputs, sizeof(INPUT));
  }
  static std::wstring Problem(HWND dialog) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(dialog, CTextDialog::kProblem, text, 256);
    return text;
  }
  static bool Refuses(HWND dialog, const wchar_t* reason) {
    return tvqtest::WaitUntil(
        [&] { return Problem(dialog).find(reason) != std::wstring::npos; }, 3000);
  }

  // Shows the dialog here while drive works on it from a thread of its own.
  bool Show(CTextDialog& dialog, const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
      HWND window = nullptr;
      if (!tvqtest::WaitUntil([&] {
            window = FindWindowW(L"#32770", CTextDialog::kNewTitle);
            return window != nullptr && GetForegroundWindow() == window;
          }, 5000)) {
        return;
      }
      drive(window);
    });
    const bool confirmed = dialog.Show(nullptr, false);
    driver.join();
    return confirmed;
  }
};

TEST_F(TextDialogDrive, EnterConfirmsShiftEnterBreaksTheLineAndEscCancels) {
  CTextDialog typed(L"", tvq::TextStyle());
  EXPECT_TRUE(Show(typed, [](HWND) {
    Press('A');
    Press(VK_RETURN, true);
    Press('B');
    Press(VK_RETURN);
  }));
  EXPECT_EQ(L"a\r\nb", typed.Text());
  CTextDialog cancelled(L"kept", tvq::TextStyle());
  EXPECT_FALSE(Show(cancelled, [](HWND) { Press(VK_ESCAPE); }));
  EXPECT_EQ(L"kept", cancelled.Text());
}

// Refusals stay inside the dialog, which goes on taking corrections.
TEST_F(TextDialogDrive, WhatNoSlotCanShowIsRefusedInTheDialogItself) {
  std::wstring lines;
  for (int line = 0; line < 10000; ++line) lines += L"line " + std::to_wstring(line) + L"\r\n";
  CTextDialog dialog(L"", tvq::TextStyle());
  EXPECT_TRUE(Show(dialog, [&](HWND window) {
    HWND box = GetDlgItem(window, CTextDialog::kTextBox);
    Press(VK_RETURN);
    EXPECT_TRUE(Refuses(window, L"テキストが空です"));
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lines.c_str()));
    Press(VK_RETURN);
    EXPECT_TRUE(Refuses(window, L"テキストが長すぎます"));
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ok"));
    SetDlgItemTextW(window, CTextDialog::kBoxColor, L"blue");
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Refuses(window, L"箱の色は RRGGBB"));
    SetDlgItemTextW(window, CTextDialog::kBoxColor, L"#102030");
    CheckDlgButton(window, CTextDialog::kBox, BST_CHECKED);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  }));
  EXPECT_EQ(L"ok", dialog.Text());
  EXPECT_TRUE(dialog.Style().box);
  EXPECT_EQ(RGB(0x10, 0x20, 0x30), dialog.Style().boxColor);
}

}  // namespace
