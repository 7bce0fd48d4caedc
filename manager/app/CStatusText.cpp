#include "manager/app/CStatusText.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "manager/app/CSlotKeys.h"
#include "manager/app/CaptureMethodLabels.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/ISlotWaits.h"
#include "manager/composition/SlotKinds.h"
#include "manager/composition/SlotLayout.h"

namespace {

constexpr wchar_t kSelectedMark[] = L"◆";
constexpr wchar_t kPickedMark[] = L"◇";
constexpr wchar_t kBlankMark[] = L"　";

constexpr wchar_t kHeading[] = L"【ステータス】\n";
constexpr wchar_t kOutputLine[] = L"%d×%d（%2.2ffps）\n";
constexpr wchar_t kSlotListHeading[] = L"----\n【入力映像】\n";
constexpr wchar_t kSlotHead[] = L"%ls%3d. ";
constexpr wchar_t kNoSourceText[] = L"（未設定）\n";
constexpr wchar_t kDetailLine[] =
    L"　　　《%ls／Dev(%ls)／Pos(x:%d,y:%d)／Size(w:%d/h:%d)／Trim(l:%d,t:%d,r:%d,b:%d)／"
    L"Fps(%.1f)";
constexpr wchar_t kDetailLineEnd[] = L"》";
constexpr wchar_t kFieldSeparator[] = L"／";
constexpr wchar_t kActiveState[] = L"入力中";
constexpr wchar_t kPausedState[] = L"停止中";
constexpr wchar_t kWaitingState[] = L"待機中";
// A slot that waits for a recorded source has no placement yet: its state and kind only.
constexpr wchar_t kWaitingLine[] = L"　　　《%ls／Dev(%ls)》";
constexpr wchar_t kUsageHeading[] = L"----\n【使い方】\n";

// The kind as the detail line names it: its record name.
const wchar_t* KindName(int kind) {
  const tvq::SlotKindRow* row = tvq::FindSlotKind(kind);
  return row != nullptr ? row->recordName : L"";
}

struct MenuRow {
  const wchar_t* prefix;
  const wchar_t* label;
  const wchar_t* help;
};

constexpr MenuRow kMenuRows[CSlotKeys::kMenuRowCount] = {
    {L"　　　├", L"移動", L"　　　│└◆［↑↓］上下／［←→］左右"},
    {L"　　　├", L"サイズ", L"　　　│└◆［↑↓］高さ／［←→］幅"},
    {L"　　　├", L"トリム（上左）", L"　　　│└◆［↑↓］上端／［←→］左端"},
    {L"　　　├", L"トリム（下右）", L"　　　│└◆［↑↓］下端／［←→］右端"},
    {L"　　　└", L"キャプチャレート", L"　　　　└◆［↑↓］増減"},
};

constexpr wchar_t kKeyList[] =
    L"［↑↓］：カーソル移動\n"
    L"［C］：カメラ映像入力\n"
    L"［W］：ウインドウ映像入力\n"
    L"［D］：デスクトップ映像入力\n"
    L"［I］：画像入力\n"
    L"［T］：テキスト入力\n"
    L"［SPACE］：映像の一時停止／入力再開\n"
    L"［ENTER］：メニューを開く\n"
    L"［BACKSPACE］：メニューを閉じる\n"
    L"［DELETE］：映像入力の削除\n"
    L"［R］：映像のリフレッシュ\n";

constexpr size_t kFormatBufferLength = 256;
// Values from a hand-edited file (a rate of 1e300) can outgrow the usual buffer; the line is
// then formatted again in a larger one instead of being cut or lost.
constexpr size_t kLargestFormatBufferLength = 4096;

}  // namespace

void CStatusText::Build(int canvasWidth, int canvasHeight, double outputFrameRate,
                        const ISlotTable& slots, const CSlotKeys& keys,
                        const ISlotWaits* waits) {
  m_text.SetSize(0);
  m_slotStarts.clear();
  Append(kHeading);
  AppendFormatted(kOutputLine, canvasWidth, canvasHeight, outputFrameRate);
  Append(kSlotListHeading);
  const int count = slots.SlotCount();
  for (int slot = 0; slot < count; ++slot) {
    m_slotStarts.push_back(m_text.Size());
    AppendSlot(slot, canvasWidth, canvasHeight, slots, keys, waits);
  }
  m_slotStarts.push_back(m_text.Size());
  Append(kUsageHeading);
  Append(kKeyList);
}

// Counted from the text itself, so a source name with a line feed in it cannot shift the lines.
int CStatusText::SlotOfLine(int line) const {
  if (line < 0) return -1;
  int start = 0;
  for (int seen = 0; seen < line && start < Length(); ++start) {
    if (Text()[start] == L'\n') ++seen;
  }
  if (start >= Length()) return -1;
  for (size_t slot = 0; slot + 1 < m_slotStarts.size(); ++slot) {
    if (start >= m_slotStarts[slot] && start < m_slotStarts[slot + 1]) {
      return static_cast<int>(slot);
    }
  }
  return -1;
}

void CStatusText::AppendSlot(int slot, int canvasWidth, int canvasHeight,
                             const ISlotTable& slots, const CSlotKeys& keys,
                             const ISlotWaits* waits) {
  const tvq::SlotRecord* waiting = waits != nullptr ? waits->WaitingFor(slot) : nullptr;
  const bool selected = slot == keys.SelectedSlot();
  const wchar_t* mark = !selected ? kBlankMark : keys.IsMenuOpen() ? kPickedMark : kSelectedMark;
  AppendFormatted(kSlotHead, mark, slot + 1);
  const tvq::SlotKindRow* row = tvq::FindSlotKind(slots.Kind(slot));
  if (row == nullptr) {
    if (waiting == nullptr) {
      Append(kNoSourceText);
    } else {
      Append(tvq::RecordedName(*waiting));
      Append(L"\n");
      AppendFormatted(kWaitingLine, kWaitingState, KindName(waiting->kind));
      Append(L"\n");
    }
    return;
  }
  if (row->fixedName != nullptr) {
    Append(row->fixedName);
  } else {
    Append(slots.SourceName(slot));
  }
  Append(L"\n");
  AppendDetailLine(slot, canvasWidth, canvasHeight, slots, waiting != nullptr);
  Append(L"\n");
  if (selected && keys.IsMenuOpen()) AppendMenuRows(keys);
}

void CStatusText::AppendDetailLine(int slot, int canvasWidth, int canvasHeight,
                                   const ISlotTable& slots, bool waiting) {
  const SCIInfo& info = slots.Placement(slot);
  const tvq::PixelRect place = tvq::DestinationRect(info, canvasWidth, canvasHeight);
  const wchar_t* state =
      waiting ? kWaitingState : slots.IsActive(slot) ? kActiveState : kPausedState;
  AppendFormatted(kDetailLine, state,
                  KindName(slots.Kind(slot)), place.x, place.y, place.width, place.height,
                  static_cast<int>(info.TrimLeft), static_cast<int>(info.TrimTop),
                  static_cast<int>(info.TrimRight), static_cast<int>(info.TrimBottom),
                  info.CapturePerSecond);
  // After the placement: the copying method that runs, for a source that has more than one.
  if (const tvq::ICaptureMethodChoice* choice = slots.MethodChoice(slot)) {
    Append(kFieldSeparator);
    Append(tvq::RunningMethodText(*choice));
  }
  Append(kDetailLineEnd);
}

void CStatusText::AppendMenuRows(const CSlotKeys& keys) {
  for (int row = 0; row < CSlotKeys::kMenuRowCount; ++row) {
    const bool picked = row + 1 == keys.EditField();
    Append(kMenuRows[row].prefix);
    Append(picked ? kPickedMark : row == keys.MenuCursor() ? kSelectedMark : kBlankMark);
    Append(kMenuRows[row].label);
    Append(L"\n");
    if (picked) {
      Append(kMenuRows[row].help);
      Append(L"\n");
    }
  }
}

void CStatusText::Append(const wchar_t* text) {
  m_text.Append(static_cast<int>(std::wcslen(text)), text);
}

void CStatusText::Append(const std::wstring& text) {
  m_text.Append(static_cast<int>(text.size()), text.data());
}

void CStatusText::AppendFormatted(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(kFormatBufferLength);
  for (;;) {
    va_list args;
    va_start(args, format);
    const int length = std::vswprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    // Depending on the runtime, a text that does not fit gives -1 or the length it would need.
    if (length >= 0 && static_cast<size_t>(length) < buffer.size()) {
      m_text.Append(length, buffer.data());
      return;
    }
    if (buffer.size() >= kLargestFormatBufferLength) return;
    size_t next = length >= 0 ? static_cast<size_t>(length) + 1 : buffer.size() * 4;
    if (next > kLargestFormatBufferLength) next = kLargestFormatBufferLength;
    buffer.resize(next);
  }
}
