// The user's store: every title, camera record, pause and placement comes back exactly; a writer
// killed at random instants leaves the old file or the new one. Damaged files are read through
// the real start-up (SceneSwitchTest).
#include "manager/app/CSceneStore.h"

#include <windows.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/Lifetime.h"
#include "manager/app/StoreFile.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/TempDir.h"

namespace {

using tvq::CSceneStore;
using tvq::SceneSlot;
using tvqtest::TempDir;

SceneSlot WindowSlot(const std::wstring& title, bool paused = false) {
  SceneSlot slot;
  slot.record.kind = tvq::kWindowSlot;
  slot.record.title = title;
  slot.record.className = L"Chrome_WidgetWin_1";
  slot.record.executable = L"C:\\Program Files\\app\\new\\table.exe";
  slot.record.paused = paused;
  return slot;
}

SceneSlot CameraSlot() {
  SceneSlot slot;
  slot.record.kind = tvq::kCameraSlot;
  slot.record.paused = true;
  tvq::CameraRequest& camera = slot.record.camera;
  camera.devicePath = L"\\\\?\\usb#vid_046d&pid_0825#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
  camera.friendlyName = L"Logi カメラ \"HD\"";
  camera.crossbarOutput = 0;
  camera.crossbarInput = 3;
  camera.format = {1280, 720, MEDIASUBTYPE_YUY2, 333333};
  slot.hasPlacement = true;
  slot.placement = {0.1500000000000000, -0.01, 0.3333333333333333, 2.0, -5, 7, 2147483647, 0,
                    29.97};
  return slot;
}

// Every field of the slot as the store writes it: a store holding nothing else, formatted.
std::wstring Described(const SceneSlot& slot) {
  CSceneStore store(L"");
  store.SetCurrentSlot(0, slot);
  return store.Format();
}

struct RoundTripRow {
  const char* name;
  SceneSlot slot;
};

std::vector<RoundTripRow> RoundTripRows() {
  std::wstring longTitle;
  for (int i = 0; i < 5000; ++i) longTitle += static_cast<wchar_t>(L'a' + i % 26);
  return {
      {"zero-width space", WindowSlot(L"Microsoft\u200B Edge")},
      {"emoji", WindowSlot(L"\U0001F600 slides \U0001F3AC")},
      {"Japanese", WindowSlot(L"会議資料 － PowerPoint スライド ショー")},
      {"blanks around", WindowSlot(L"  \t padded title \t  ")},
      {"double quotes", WindowSlot(L"\"quoted\"")},
      {"single quotes", WindowSlot(L"'quoted'")},
      {"CR/LF", WindowSlot(L"line one\r\nline two\nline three\r")},
      {"escapes typed", WindowSlot(L"C:\\new\\table \\\\n \\0 =[Slot1]\\")},
      {"NUL inside", WindowSlot(std::wstring(L"a\0b", 3))},
      {"5000 characters", WindowSlot(longTitle)},
      {"paused window", WindowSlot(L"paused", true)},
      {"camera with placement", CameraSlot()},
  };
}

// Every row as a slot of the current slots and of a scene, saved, flushed and read again.
void ExpectRoundTrip(const std::wstring& path) {
  const std::vector<RoundTripRow> rows = RoundTripRows();
  {
    CSceneStore store(path);
    ASSERT_EQ(tvq::StoreFileRead::kMissing, store.Load());
    tvq::Scene scene;
    for (size_t i = 0; i < rows.size(); ++i) {
      store.SetCurrentSlot(static_cast<int>(i), rows[i].slot);
      scene.SetSlot(static_cast<int>(rows.size() - 1 - i), rows[i].slot);
    }
    store.SaveScene(9, scene);
    store.RenameScene(9, rows[0].slot.record.title + L"\r\n ");
    store.SetCurrentSceneNumber(9);
    store.SetTransition({true, 1750});
    ASSERT_TRUE(store.Flush());
  }
  CSceneStore store(path);
  ASSERT_EQ(tvq::StoreFileRead::kRead, store.Load());
  EXPECT_EQ(9, store.CurrentSceneNumber());
  EXPECT_EQ(rows[0].slot.record.title + L"\r\n ", store.SceneAt(9).name);
  EXPECT_EQ(L"シーン1", store.SceneAt(1).name);
  EXPECT_TRUE(store.Transition().fade);
  EXPECT_EQ(1750, store.Transition().fadeMs);
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    const SceneSlot* current = store.CurrentSlots().SlotAt(static_cast<int>(i));
    const SceneSlot* saved = store.SceneAt(9).SlotAt(static_cast<int>(rows.size() - 1 - i));
    ASSERT_NE(nullptr, current);
    ASSERT_NE(nullptr, saved);
    EXPECT_EQ(rows[i].slot.record.title, current->record.title);
    EXPECT_EQ(Described(rows[i].slot), Described(*current));
    EXPECT_EQ(Described(rows[i].slot), Described(*saved));
  }
}

TEST(SceneStore, EveryTitleRecordAndPlacementComesBackExactlyUnderEveryLocale) {
  // The file is UTF-16 and parsed by hand: neither the code page nor the thread's locale may
  // change a character (this machine's code page is not Japanese; the thread's locale varies).
  SCOPED_TRACE("code page " + std::to_string(GetACP()));
  const LCID original = GetThreadLocale();
  for (LANGID language : {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                          MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)}) {
    SCOPED_TRACE("thread locale " + std::to_string(language));
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    TempDir folder;
    ExpectRoundTrip(folder.File(L"Tessavue\\deeper\\Scenes.ini"));
  }
  SetThreadLocale(original);
}

TEST(SceneStore, HotkeyModifiersAreReadAsWrittenAndUnusableOnesSwitchTheirKeysOff) {
  struct Row {
    const wchar_t* text;
    unsigned int modifiers;
  };
  const Row rows[] = {
      {L"Ctrl+Alt", MOD_CONTROL | MOD_ALT},
      {L" control + SHIFT ", MOD_CONTROL | MOD_SHIFT},
      {L"Win+Alt", MOD_WIN | MOD_ALT},
      {L"Shift", 0},  // Shift and a digit types "!": never taken from other programs
      {L"", 0},
      {L"Ctrl+AltGr", 0},
      {L"Ctrl++Alt", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::string(row.text, row.text + wcslen(row.text)));
    CSceneStore store(L"");
    store.Parse(L"[Hotkeys]\r\nOn=1\r\nSwitch=" + std::wstring(row.text) + L"\r\n");
    EXPECT_EQ(row.modifiers, store.Hotkeys().switchModifiers);
    EXPECT_EQ(static_cast<unsigned>(MOD_CONTROL | MOD_ALT | MOD_SHIFT),
              store.Hotkeys().saveModifiers);
    CSceneStore again(L"");
    again.Parse(store.Format());
    EXPECT_EQ(row.modifiers, again.Hotkeys().switchModifiers);
  }
  CSceneStore off(L"");
  off.Parse(L"[Hotkeys]\r\nOn=0\r\n");
  EXPECT_FALSE(off.Hotkeys().enabled);
}

std::wstring StoreText(int variant) {
  CSceneStore store(L"");
  tvq::Scene scene;
  for (int slot = 0; slot < 40; ++slot) {
    scene.SetSlot(slot, WindowSlot(std::wstring(2000, static_cast<wchar_t>(L'A' + variant))));
  }
  store.SaveScene(variant + 1, scene);
  store.RenameScene(1, L"turn " + std::to_wstring(variant));
  return store.Format();
}

// Writes the two stores in turn, as fast as it can, until killed; the event is set once the
// writes have begun.
int WriteStoresForEver(const std::vector<std::wstring>& args) {
  if (args.size() != 2) return 2;
  HANDLE writing = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[1].c_str());
  const std::wstring texts[2] = {StoreText(0), StoreText(1)};
  CSceneStore store(args[0]);
  for (int turn = 0;; ++turn) {
    store.Parse(texts[turn % 2]);
    store.RenameScene(1, L"turn " + std::to_wstring(turn % 2));
    if (!store.Flush()) return 3;
    if (turn == 1 && writing != nullptr) SetEvent(writing);
  }
}
const tvqtest::ChildMode kWriterMode(L"store-writer", &WriteStoresForEver);

TEST(SceneStore, AWriterKilledAtRandomInstantsLeavesTheOldOrTheNewFile) {
  TempDir folder;
  const std::wstring path = folder.File(L"Scenes.ini");
  const std::wstring texts[2] = {StoreText(0), StoreText(1)};
  ASSERT_TRUE(tvq::ReplaceStoreFile(path, texts[0]));
  std::mt19937 random(2929);
  int seen[2] = {0, 0};
  const std::wstring eventName = L"TVQ store writer " + std::to_wstring(GetCurrentProcessId());
  tvq::UniqueKernelHandle writing(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ASSERT_TRUE(writing.IsValid());
  for (int kill = 0; kill < 40; ++kill) {
    SCOPED_TRACE(kill);
    ResetEvent(writing.Get());
    tvqtest::ChildProcess writer =
        tvqtest::ChildProcess::StartSelf(L"store-writer", {path, eventName});
    ASSERT_TRUE(writer.IsValid());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writing.Get(), 10000));
    // A random instant: the writer is somewhere inside one of its writes (each takes a few ms).
    Sleep(std::uniform_int_distribution<DWORD>(0, 25)(random));
    writer.Kill();
    ASSERT_TRUE(writer.Wait(10000, nullptr));
    std::wstring text;
    ASSERT_EQ(tvq::StoreFileRead::kRead, tvq::ReadStoreFile(path, text));
    CSceneStore store(L"");
    store.Parse(text);
    const std::wstring formatted = store.Format();
    const int variant = formatted == texts[0] ? 0 : formatted == texts[1] ? 1 : -1;
    ASSERT_NE(-1, variant) << "a file of neither content, " << text.size() << " characters";
    ++seen[variant];
  }
  EXPECT_GT(seen[1], 0) << "the writer never finished a write: the test checked nothing";
  CSceneStore store(path);
  store.Load();
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((path + L".*.tmp").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a killed writer's temporary file stayed";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

}  // namespace
