#include "channel/CSharedMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "channel/ChannelNames.h"
#include "channel/ChannelWait.h"
#include "tests/common/ChildProcess.h"

namespace {

using tvqtest::ChildProcess;

// Names of our own so that a test never meets a Manager or filter of the same session.
std::wstring UniqueName(const wchar_t* tag) {
  return std::wstring(L"TVQ_Test_") + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(GetTickCount64());
}

std::vector<unsigned char> Pattern(size_t size, unsigned char seed) {
  std::vector<unsigned char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
  return bytes;
}

HANDLE OpenEventByName(const std::wstring& name) {
  return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
}

// Child: creates or opens <name> with <size>, reads <size> bytes and checks they hold the
// pattern seeded with <readSeed>, then writes a pattern seeded with <writeSeed>.
int ChildExchange(const std::vector<std::wstring>& args) {
  if (args.size() < 4) return 10;
  const std::wstring name = args[0];
  const int size = std::stoi(args[1]);
  const int readSeed = std::stoi(args[2]);
  const int writeSeed = std::stoi(args[3]);
  CSharedMemory memory;
  if (!memory.Create(name.c_str(), size)) return 11;
  std::vector<unsigned char> in(size, 0);
  memory.Read(in.data(), size, INFINITE);
  if (readSeed >= 0 && in != Pattern(size, static_cast<unsigned char>(readSeed))) return 12;
  const auto out = Pattern(size, static_cast<unsigned char>(writeSeed));
  memory.Write(out.data(), size, INFINITE);
  return 0;
}
tvqtest::ChildMode exchangeMode(L"exchange", &ChildExchange);

// Child: takes the mutex of <name> and exits (or waits on <event> first) without releasing it.
int ChildHoldMutexAndExit(const std::vector<std::wstring>& args) {
  const std::wstring name = args[0];
  CSharedMemory memory;
  if (!memory.Create(name.c_str(), 64)) return 11;
  if (WaitForSingleObject(memory.MutexHandle(), INFINITE) != WAIT_OBJECT_0) return 12;
  const auto out = Pattern(64, 5);
  // Write while owning the mutex: the wait inside is recursive for the owning thread.
  memory.Write(out.data(), 64, INFINITE);
  HANDLE ready = OpenEventByName(args[1]);
  if (ready != nullptr) SetEvent(ready);
  Sleep(200);
  ExitProcess(0);  // the mutex is left owned: the next waiter sees WAIT_ABANDONED
}
tvqtest::ChildMode holdMode(L"hold-mutex", &ChildHoldMutexAndExit);

// Child: creates a 4 KB section <name>, signals <ready>, waits for <go>, then checks that the
// whole 4 KB hold the bytes the parent wrote through its bigger view.
int ChildSmallSection(const std::vector<std::wstring>& args) {
  CSharedMemory memory;
  if (!memory.Create(args[0].c_str(), 4096)) return 11;
  HANDLE ready = OpenEventByName(args[1]);
  HANDLE go = OpenEventByName(args[2]);
  if (ready == nullptr || go == nullptr) return 12;
  SetEvent(ready);
  if (WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 13;
  std::vector<unsigned char> in(4096, 0);
  memory.Read(in.data(), 4096, INFINITE);
  return in == std::vector<unsigned char>(4096, 0x11) ? 0 : 14;
}
tvqtest::ChildMode smallMode(L"small-section", &ChildSmallSection);

TEST(SharedMemory, NewObjectHasNoHandlesAndNoSize) {
  CSharedMemory memory;
  EXPECT_EQ(nullptr, memory.MappingHandle());
  EXPECT_EQ(nullptr, memory.MutexHandle());
  EXPECT_EQ(0, memory.Size());
}

TEST(SharedMemory, FreshSectionReadsAsZeros) {
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(UniqueName(L"zero").c_str(), 40));
  unsigned char header[40];
  std::memset(header, 0xCC, sizeof(header));
  EXPECT_TRUE(memory.Read(header, sizeof(header), INFINITE));
  for (unsigned char b : header) EXPECT_EQ(0, b);
}

TEST(SharedMemory, ReadIntoSmallerBufferCopiesOnlyCapacity) {
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(UniqueName(L"small").c_str(), 64));
  const auto pattern = Pattern(64, 1);
  ASSERT_TRUE(memory.Write(pattern.data(), 64, INFINITE));
  // Capacity 40 of a 48-byte buffer: the last 8 bytes must stay.
  std::vector<unsigned char> guarded(48, 0xEE);
  ASSERT_TRUE(memory.Read(guarded.data(), 40, INFINITE));
  EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + 40, guarded.begin()));
  for (int i = 40; i < 48; ++i) EXPECT_EQ(0xEE, guarded[i]);
}

TEST(SharedMemory, ReadIntoLargerBufferLeavesTheRestAlone) {
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(UniqueName(L"large").c_str(), 16));
  const auto pattern = Pattern(16, 9);
  ASSERT_TRUE(memory.Write(pattern.data(), 16, INFINITE));
  std::vector<unsigned char> buffer(32, 0xAB);
  ASSERT_TRUE(memory.Read(buffer.data(), 32, INFINITE));
  EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), buffer.begin()));
  for (int i = 16; i < 32; ++i) EXPECT_EQ(0xAB, buffer[i]);
}

TEST(SharedMemory, WriteOfLongerSourceCopiesOnlyTheObjectSize) {
  const std::wstring name = UniqueName(L"long");
  CSharedMemory writer;
  ASSERT_TRUE(writer.Create(name.c_str(), 8));
  // A 12-byte source whose tail must not be read: the 8 bytes land, nothing more.
  const auto source = Pattern(12, 3);
  ASSERT_TRUE(writer.Write(source.data(), 12, INFINITE));
  CSharedMemory reader;
  ASSERT_TRUE(reader.Create(name.c_str(), 8));
  std::vector<unsigned char> out(12, 0);
  ASSERT_TRUE(reader.Read(out.data(), 12, INFINITE));
  EXPECT_TRUE(std::equal(source.begin(), source.begin() + 8, out.begin()));
  for (int i = 8; i < 12; ++i) EXPECT_EQ(0, out[i]);
}

// A write at an offset lands there and stops at the recorded size and at the real section's
// end; a negative offset writes nothing.
TEST(SharedMemory, WriteAtLandsAtItsOffsetAndStaysInsideTheSection) {
  struct Row {
    int asked;   // the size this side asked for (the creator asked for one page)
    int offset;
    int length;
    int landed;  // bytes that land at offset
  };
  const Row rows[] = {{4096, 0, 16, 16},      {4096, 100, 16, 16}, {4096, 4090, 16, 6},
                      {4096, 4096, 16, 0},    {4096, -1, 16, 0},   {1 << 20, 4000, 1000, 96},
                      {1 << 20, 8192, 16, 0}, {64, 60, 16, 4}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.asked << " " << row.offset << " " << row.length);
    const std::wstring name = UniqueName(L"at");
    CSharedMemory creator;
    ASSERT_TRUE(creator.Create(name.c_str(), 4096));
    CSharedMemory writer;
    ASSERT_TRUE(writer.Create(name.c_str(), row.asked));
    const auto source = Pattern(row.length, 7);
    EXPECT_EQ(row.offset >= 0, writer.WriteAt(row.offset, source.data(), row.length, INFINITE));
    std::vector<unsigned char> back(4096, 0);
    ASSERT_TRUE(creator.Read(back.data(), 4096, INFINITE));
    const int start = row.offset < 0 ? 0 : row.offset;
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + row.landed, back.begin() + start));
    EXPECT_EQ(static_cast<long>(back.size()) - row.landed, std::count(back.begin(), back.end(), 0));
  }
}

TEST(SharedMemory, SecondCreateOnOpenObjectOnlyRecordsTheSize) {
  CSharedMemory memory;
  const std::wstring name = UniqueName(L"twice");
  ASSERT_TRUE(memory.Create(name.c_str(), 40));
  HANDLE mapping = memory.MappingHandle();
  HANDLE mutex = memory.MutexHandle();
  ASSERT_TRUE(memory.Create(name.c_str(), 8));
  EXPECT_EQ(mapping, memory.MappingHandle());
  EXPECT_EQ(mutex, memory.MutexHandle());
  EXPECT_EQ(8, memory.Size());
}

TEST(SharedMemory, CopiesStayInsideTheRealSectionWhenTheOtherSideAskedForLess) {
  // The creator asked for one page; this side believes the section is 1 MB.
  const std::wstring name = UniqueName(L"bounded");
  CSharedMemory creator;
  ASSERT_TRUE(creator.Create(name.c_str(), 4096));
  CSharedMemory opener;
  ASSERT_TRUE(opener.Create(name.c_str(), 1 << 20));
  std::vector<unsigned char> big(1 << 20, 0x5A);
  EXPECT_TRUE(opener.Write(big.data(), 1 << 20, INFINITE));
  std::vector<unsigned char> back(1 << 20, 0);
  EXPECT_TRUE(opener.Read(back.data(), 1 << 20, INFINITE));
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(0x5A, back[i]);
  for (int i = 4096; i < (1 << 20); i += 4096) ASSERT_EQ(0, back[i]);
}

TEST(SharedMemory, FailedCreateCopiesNothingAndReportsTrue) {
  CSharedMemory memory;
  // A mapping named like an existing mutex cannot be created.
  const std::wstring name = UniqueName(L"clash");
  HANDLE clash = CreateMutexW(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, clash);
  EXPECT_FALSE(memory.Create(name.c_str(), 64));
  EXPECT_EQ(nullptr, memory.MappingHandle());
  EXPECT_EQ(0, memory.Size());
  unsigned char buffer[16];
  std::memset(buffer, 0x77, sizeof(buffer));
  EXPECT_TRUE(memory.Read(buffer, sizeof(buffer), INFINITE));
  EXPECT_TRUE(memory.Write(buffer, sizeof(buffer), INFINITE));
  for (unsigned char b : buffer) EXPECT_EQ(0x77, b);
  CloseHandle(clash);
}

TEST(SharedMemory, ClosedObjectCopiesNothing) {
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(UniqueName(L"closed").c_str(), 16));
  memory.Close();
  EXPECT_EQ(nullptr, memory.MappingHandle());
  EXPECT_EQ(nullptr, memory.MutexHandle());
  unsigned char buffer[16] = {1, 2, 3};
  EXPECT_TRUE(memory.Read(buffer, sizeof(buffer), INFINITE));
  EXPECT_EQ(1, buffer[0]);
  memory.Close();  // a second close finds nothing to close
}

TEST(SharedMemory, OverlongNameIsCutAndStillUsable) {
  std::wstring name = UniqueName(L"long_name_");
  name.append(600, L'x');
  CSharedMemory a;
  CSharedMemory b;
  ASSERT_TRUE(a.Create(name.c_str(), 16));
  ASSERT_TRUE(b.Create(name.c_str(), 16));
  const auto pattern = Pattern(16, 4);
  ASSERT_TRUE(a.Write(pattern.data(), 16, INFINITE));
  std::vector<unsigned char> out(16, 0);
  ASSERT_TRUE(b.Read(out.data(), 16, INFINITE));
  EXPECT_EQ(pattern, out);
  // Names that differ only after the cut meet in the same object.
  std::wstring other = name.substr(0, CSharedMemory::kMaxNameLength) + L"different tail";
  CSharedMemory c;
  ASSERT_TRUE(c.Create(other.c_str(), 16));
  std::vector<unsigned char> again(16, 0);
  ASSERT_TRUE(c.Read(again.data(), 16, INFINITE));
  EXPECT_EQ(pattern, again);
}

TEST(SharedMemory, ReadTimesOutWhileTheOtherSideHoldsTheMutex) {
  const std::wstring name = UniqueName(L"timeout");
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(name.c_str(), 16));
  const std::wstring mutexName = L"Mutex of " + name;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  struct Args { std::wstring name; HANDLE ready; HANDLE release; } args{mutexName, ready, release};
  HANDLE holder = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* a = static_cast<Args*>(p);
        HANDLE m = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, a->name.c_str());
        WaitForSingleObject(m, INFINITE);
        SetEvent(a->ready);
        WaitForSingleObject(a->release, INFINITE);
        ReleaseMutex(m);
        CloseHandle(m);
        return 0;
      },
      &args, 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 10000));
  unsigned char buffer[16] = {0x42};
  EXPECT_FALSE(memory.Read(buffer, sizeof(buffer), 20));
  EXPECT_EQ(0x42, buffer[0]);
  EXPECT_FALSE(SharedMemoryHold(memory, 20).Held());
  SetEvent(release);
  WaitForSingleObject(holder, 10000);
  EXPECT_TRUE(memory.Read(buffer, sizeof(buffer), 1000));
  {
    SharedMemoryHold hold(memory, 1000);
    ASSERT_TRUE(hold.Held());
    EXPECT_TRUE(memory.Write(buffer, sizeof(buffer), 0)) << "the holder's own copies get in";
  }
  CloseHandle(holder);
  CloseHandle(ready);
  CloseHandle(release);
}

TEST(ChannelWait, AboutOneFrameIntervalAndNeverOverHalfASecond) {
  const struct {
    double intervalMs;
    DWORD waitMs;
  } cases[] = {{33.3333, 34}, {66.6666, 67}, {16.0, 16}, {0.1, 1}, {499.5, 500}, {1000.0, 500},
               {0.0, 500}, {-5.0, 500}, {std::numeric_limits<double>::infinity(), 500},
               {std::numeric_limits<double>::quiet_NaN(), 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.intervalMs);
    EXPECT_EQ(c.waitMs, tvq::ChannelWaitMs(c.intervalMs));
  }
}

TEST(SharedMemoryTwoProcesses, HeaderIntervalAndFrameCrossInBothDirections) {
  struct Object { const wchar_t* tag; int size; };
  for (const Object& object : {Object{L"bih", 40}, Object{L"tpf", 8}, Object{L"data", 921600}}) {
    SCOPED_TRACE(testing::Message() << object.size);
    const std::wstring name = UniqueName(object.tag);
    CSharedMemory memory;
    ASSERT_TRUE(memory.Create(name.c_str(), object.size));
    const auto mine = Pattern(object.size, 17);
    ASSERT_TRUE(memory.Write(mine.data(), object.size, INFINITE));

    ChildProcess child = ChildProcess::StartSelf(
        L"exchange", {name, std::to_wstring(object.size), L"17", L"99"});
    ASSERT_TRUE(child.IsValid());
    DWORD code = 1;
    ASSERT_TRUE(child.Wait(30000, &code));
    EXPECT_EQ(0u, code) << "the child did not see the parent's bytes";

    std::vector<unsigned char> theirs(object.size, 0);
    ASSERT_TRUE(memory.Read(theirs.data(), object.size, INFINITE));
    EXPECT_EQ(Pattern(object.size, 99), theirs);
  }
}

TEST(SharedMemoryTwoProcesses, DifferentSizesStayWithinTheRealSection) {
  // The child creates a 4 KB section first; this side then asks for 64 KB of the same name.
  const std::wstring name = UniqueName(L"sizes");
  const std::wstring readyName = name + L"_ready";
  const std::wstring goName = name + L"_go";
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, goName.c_str());
  ChildProcess child = ChildProcess::StartSelf(L"small-section", {name, readyName, goName});
  ASSERT_TRUE(child.IsValid());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));

  CSharedMemory big;
  ASSERT_TRUE(big.Create(name.c_str(), 65536));
  std::vector<unsigned char> frame(65536, 0x11);
  EXPECT_TRUE(big.Write(frame.data(), 65536, INFINITE));
  std::vector<unsigned char> back(65536, 0);
  EXPECT_TRUE(big.Read(back.data(), 65536, INFINITE));
  EXPECT_EQ(0x11, back[4095]);
  EXPECT_EQ(0, back[4096]);

  SetEvent(go);
  DWORD code = 1;
  ASSERT_TRUE(child.Wait(30000, &code));
  EXPECT_EQ(0u, code) << "the small side did not read the frame's first 4 KB";
  CloseHandle(ready);
  CloseHandle(go);
}

TEST(SharedMemoryTwoProcesses, MutexAbandonedByAnExitedChildCountsAsAcquired) {
  const std::wstring name = UniqueName(L"abandon");
  const std::wstring readyName = name + L"_ready";
  CSharedMemory memory;
  ASSERT_TRUE(memory.Create(name.c_str(), 64));
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
  ChildProcess child = ChildProcess::StartSelf(L"hold-mutex", {name, readyName});
  ASSERT_TRUE(child.IsValid());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
  DWORD code = 1;
  ASSERT_TRUE(child.Wait(30000, &code));

  std::vector<unsigned char> out(64, 0);
  EXPECT_TRUE(memory.Read(out.data(), 64, 5000));
  EXPECT_EQ(Pattern(64, 5), out);
  // The mutex was released after the abandoned wait: a second access does not block.
  EXPECT_TRUE(memory.Write(out.data(), 64, 1000));
  CloseHandle(ready);
}

}  // namespace
