// The table of kinds: every row must be reachable by its number, record name and key, and a
// record of every kind must come back from its keys as it went in.
#include "manager/composition/SlotKinds.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

class MapKeys : public tvq::IRecordKeys {
 public:
  std::wstring ReadText(const wchar_t* key) const override {
    const auto found = values.find(key);
    return found != values.end() ? found->second : std::wstring();
  }
  void WriteText(const wchar_t* key, const std::wstring& value) override { values[key] = value; }

  std::map<std::wstring, std::wstring> values;
};

tvq::SlotRecord FullRecord(int kind) {
  tvq::SlotRecord record;
  record.kind = kind;
  record.paused = true;
  record.camera.devicePath = L"\\\\?\\usb#vid_1234";
  record.camera.friendlyName = L"USB カメラ";
  record.camera.crossbarOutput = 0;
  record.camera.crossbarInput = 2;
  record.camera.format = {640, 480, GUID{0xe436eb7d, 0x524f, 0x11ce, {}}, 333333};
  record.title = L" タイトル ";
  record.className = L"Notepad";
  record.executable = L"notepad.exe";
  record.imagePath = L"C:\\ロゴ\\logo.png";
  record.text = L" 山田 太郎\r\n\"Sales\" \\n is no break\t営業部 ";
  record.textStyle.font = L"MS UI Gothic";
  record.textStyle.outlinePercent = 12;
  record.textStyle.box = true;
  return record;
}

TEST(SlotKinds, EveryRowIsFoundOnceByNumberNameAndKeyAndItsRecordComesBack) {
  std::set<std::wstring> names;
  std::set<UINT> keys;
  for (const tvq::SlotKindRow& row : tvq::SlotKinds()) {
    SCOPED_TRACE(row.recordName);
    EXPECT_NE(tvq::kEmptySlot, row.kind);
    EXPECT_EQ(&row, tvq::FindSlotKind(row.kind));
    EXPECT_EQ(&row, tvq::FindSlotKindByRecordName(row.recordName));
    EXPECT_EQ(&row, tvq::FindSlotKindByKey(row.fillKey));
    EXPECT_TRUE(names.insert(row.recordName).second);
    EXPECT_TRUE(keys.insert(row.fillKey).second);
    EXPECT_GT(row.defaultCaptureRate, 0.0);

    MapKeys stored;
    tvq::WriteSlotRecord(stored, FullRecord(row.kind));
    const tvq::SlotRecord back = tvq::ReadSlotRecord(stored);
    EXPECT_EQ(row.kind, back.kind);
    EXPECT_TRUE(back.paused);
    // What a kind keeps it gets back; what it does not keep stays empty.
    MapKeys again;
    tvq::WriteSlotRecord(again, back);
    EXPECT_EQ(stored.values, again.values);
    EXPECT_EQ(tvq::RecordedName(FullRecord(row.kind)), tvq::RecordedName(back));
    // Every value stays on one line of the file.
    for (const auto& value : stored.values) {
      EXPECT_EQ(std::wstring::npos, value.second.find_first_of(L"\r\n")) << row.recordName;
    }
  }
  EXPECT_EQ(nullptr, tvq::FindSlotKind(tvq::kEmptySlot));
  EXPECT_EQ(nullptr, tvq::FindSlotKindByRecordName(L""));
  EXPECT_EQ(nullptr, tvq::FindSlotKindByKey('R'));
}

TEST(SlotKinds, RecordsOfNoKindReadEmptyAndWriteNothing) {
  for (const wchar_t* kind : {L"", L"camera", L"Nothing", L"4"}) {
    SCOPED_TRACE(kind);
    MapKeys stored;
    stored.values = {{L"Kind", kind}, {L"Paused", L"1"}, {L"Title", L"x"}};
    EXPECT_EQ(tvq::kEmptySlot, tvq::ReadSlotRecord(stored).kind);
  }
  MapKeys written;
  tvq::WriteSlotRecord(written, tvq::SlotRecord());
  EXPECT_TRUE(written.values.empty());
  EXPECT_EQ(L"", tvq::RecordedName(tvq::SlotRecord()));
}

}  // namespace
