#include "manager/composition/PictureKinds.h"

#include "manager/capture/CCaptureImage.h"
#include "manager/capture/CCaptureText.h"

namespace tvq {
namespace {

// The file dialog and the text dialog belong over the Manager's window, active when a key or a
// menu asked for them.
HWND Owner() { return GetActiveWindow(); }

// ---------------------------------------------------------------------------------------------
// Images: found again by path.

bool ChooseImage(ICaptureSource& source) {
  return static_cast<CCaptureImage&>(source).Select(Owner());
}

void ReadImageKeys(const IRecordKeys& keys, SlotRecord& record) {
  record.imagePath = keys.ReadText(L"Path");
}

void WriteImageKeys(IRecordKeys& keys, const SlotRecord& record) {
  keys.WriteText(L"Path", record.imagePath);
}

void DescribeImage(const ICaptureSource& source, SlotRecord& record) {
  record.imagePath = static_cast<const CCaptureImage&>(source).Path();
}

const std::wstring& ImagePath(const SlotRecord& record) { return record.imagePath; }

bool ReopenImage(ISlotReopening& context, int slot, const SlotRecord& record) {
  if (!FileStamp::Of(record.imagePath).exists) return false;
  return context.FillSlotQuietly(slot, record.kind, [&record](ICaptureSource& source) {
    return static_cast<CCaptureImage&>(source).Open(record.imagePath);
  });
}

// A file that is there but is no picture would only be decoded in vain; one on a drive not
// mounted yet may come.
bool ImageMayStillCome(ISlotReopening&, const SlotRecord& record) {
  return !record.imagePath.empty() && !FileStamp::Of(record.imagePath).exists;
}

bool ReattachImage(ISlotReopening& context, int slot, const SlotRecord&) {
  return context.ReopenSlotSource(
      slot, [](ICaptureSource& source) { return static_cast<CCaptureImage&>(source).Reload(); });
}

// ---------------------------------------------------------------------------------------------
// Texts: the text itself is the record; nothing to wait for.

bool ChooseText(ICaptureSource& source) {
  return static_cast<CCaptureText&>(source).Select(Owner());
}

void ReadTextKeys(const IRecordKeys& keys, SlotRecord& record) {
  record.text = UnescapeLine(keys.ReadText(L"Text"));
  record.textStyle = TextStyle::FromRecord(keys.ReadText(L"Style"));
}

void WriteTextKeys(IRecordKeys& keys, const SlotRecord& record) {
  keys.WriteText(L"Text", EscapeLine(record.text));
  keys.WriteText(L"Style", record.textStyle.ToRecord());
}

void DescribeText(const ICaptureSource& source, SlotRecord& record) {
  const CCaptureText& text = static_cast<const CCaptureText&>(source);
  record.text = text.Text();
  record.textStyle = text.Style();
}

const std::wstring& TextOf(const SlotRecord& record) { return record.text; }

bool ReopenText(ISlotReopening& context, int slot, const SlotRecord& record) {
  return context.FillSlotQuietly(slot, record.kind, [&record](ICaptureSource& source) {
    return static_cast<CCaptureText&>(source).Open(record.text, record.textStyle);
  });
}

bool TextNeverComesLater(ISlotReopening&, const SlotRecord&) { return false; }

}  // namespace

SlotKindRow ImageKindRow(int kind) {
  return {kind, L"Image", kImageFileName, kDefaultWindowCaptureRate, 'I', nullptr,
          L"画像...", nullptr,
          ChooseImage, ReadImageKeys, WriteImageKeys, DescribeImage, ImagePath, ReopenImage,
          ImageMayStillCome, ReattachImage};
}

SlotKindRow TextKindRow(int kind) {
  return {kind, L"Text", kTextFileName, kDefaultWindowCaptureRate, 'T', nullptr,
          L"テキスト...", L"テキストの編集...",
          ChooseText, ReadTextKeys, WriteTextKeys, DescribeText, TextOf, ReopenText,
          TextNeverComesLater, nullptr};
}

}  // namespace tvq
