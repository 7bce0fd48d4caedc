#include "filter/CTVQOutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "filter/VideoFormat.h"
#include "tests/common/ChildProcess.h"
#include "tests/filter/FakeSampleAllocator.h"
#include "tests/filter/CountingMallocSpy.h"
#include "tests/filter/DialogCanceller.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::AskFor;
using tvqtest::FakeAllocator;
using tvqtest::FakeMediaSample;
using tvqtest::LocalFilter;
using tvqtest::ScopedSettings;
using tvqtest::VideoSection;

// Frees a media type record handed out in task memory.
struct TaskMediaType {
  AM_MEDIA_TYPE* mt = nullptr;
  ~TaskMediaType() {
    if (mt == nullptr) return;
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
  }
  const VIDEOINFOHEADER& Vih() const {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
  }
  VIDEOINFOHEADER& Vih() { return *reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat); }
};

VIDEOINFOHEADER CurrentOffer(IAMStreamConfig* config) {
  TaskMediaType format;
  if (config->GetFormat(&format.mt) != S_OK || format.mt == nullptr) return VIDEOINFOHEADER{};
  return format.Vih();
}

// The real size of a named section, as the system reports it for a view of the whole of it.
SIZE_T SectionSize(const wchar_t* name) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (mapping == nullptr) return 0;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  MEMORY_BASIC_INFORMATION info{};
  if (view != nullptr) VirtualQuery(view, &info, sizeof(info));
  if (view != nullptr) UnmapViewOfFile(view);
  CloseHandle(mapping);
  return info.RegionSize;
}

HRESULT Fill(CTVQOutputPin* pin, FakeMediaSample* sample) { return pin->FillBuffer(sample); }

// --- Settings and construction ------------------------------------------------------------

TEST(OutputPinSettings, NoSettingsFileGivesTheDefaultFormatAndPixelObject) {
  ScopedSettings settings("");
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  const VIDEOINFOHEADER offer = CurrentOffer(f.config.Get());
  EXPECT_EQ(1024, offer.bmiHeader.biWidth);
  EXPECT_EQ(768, offer.bmiHeader.biHeight);
  EXPECT_EQ(2359296u, offer.bmiHeader.biSizeImage);
  EXPECT_EQ(666666, offer.AvgTimePerFrame);
  EXPECT_EQ(2359296u, SectionSize(tvq::kPixelObjectName));
}

TEST(OutputPinSettings, MissingRegistryValueAndCancelledDialogGiveTheDefaults) {
  tvqtest::DeleteIniFilePath();
  tvqtest::DialogCanceller canceller(tvqtest::SettingsDialogCaption(), 30000);
  LocalFilter f;
  EXPECT_TRUE(canceller.Stop()) << "the pin did not ask for the settings file";
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(1024, f.pin->DefaultFormat().header.biWidth);
  EXPECT_EQ(768, f.pin->DefaultFormat().header.biHeight);
  EXPECT_EQ(666666, f.pin->DefaultFormat().interval);
  EXPECT_EQ(2359296u, SectionSize(tvq::kPixelObjectName));
}

TEST(OutputPinSettings, SettingsFileGivesTheDefaultFormatAndNothingIsPublishedYet) {
  ScopedSettings settings(VideoSection(640, 480, "30"));
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  const VIDEOINFOHEADER offer = CurrentOffer(f.config.Get());
  EXPECT_EQ(640, offer.bmiHeader.biWidth);
  EXPECT_EQ(480, offer.bmiHeader.biHeight);
  EXPECT_EQ(333333, offer.AvgTimePerFrame);
  EXPECT_EQ(921600u, SectionSize(tvq::kPixelObjectName));
  const tvqtest::Published published = tvqtest::ReadPublished();
  EXPECT_EQ(0, published.header.biWidth);
  EXPECT_EQ(0, published.interval);
}

// --- IAMStreamConfig -------------------------------------------------------------------------

class StreamConfig : public testing::Test {
 protected:
  ScopedSettings m_settings{""};
  LocalFilter m_filter;
  IAMStreamConfig* Config() { return m_filter.config.Get(); }
};

TEST_F(StreamConfig, OneCapabilityRecordOf128Bytes) {
  int count = 0;
  int size = 0;
  EXPECT_EQ(S_OK, Config()->GetNumberOfCapabilities(&count, &size));
  EXPECT_EQ(1, count);
  EXPECT_EQ(128, size);
  EXPECT_EQ(E_POINTER, Config()->GetNumberOfCapabilities(nullptr, &size));
  EXPECT_EQ(E_POINTER, Config()->GetNumberOfCapabilities(&count, nullptr));
}

TEST_F(StreamConfig, StreamCapsSpanOnePixelToTheSettingsAndTheRateRange) {
  for (int index : {0, -1}) {
    TaskMediaType mt;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(S_OK, Config()->GetStreamCaps(index, &mt.mt, reinterpret_cast<BYTE*>(&caps)));
    EXPECT_EQ(1024, caps.MaxOutputSize.cx);
    EXPECT_EQ(768, caps.MaxOutputSize.cy);
    EXPECT_EQ(1, caps.MinOutputSize.cx);
    EXPECT_EQ(1, caps.MinOutputSize.cy);
    EXPECT_EQ(666666, caps.MinFrameInterval);
    EXPECT_EQ(10000000, caps.MaxFrameInterval);
    EXPECT_EQ(FORMAT_VideoInfo, caps.guid);
    EXPECT_EQ(MEDIASUBTYPE_RGB24, mt.mt->subtype);
    EXPECT_EQ(1024, mt.Vih().bmiHeader.biWidth);
  }
}

TEST_F(StreamConfig, StreamCapsRefusals) {
  TaskMediaType mt;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  EXPECT_EQ(S_FALSE, Config()->GetStreamCaps(1, &mt.mt, reinterpret_cast<BYTE*>(&caps)));
  EXPECT_EQ(nullptr, mt.mt);
  EXPECT_EQ(E_NOTIMPL, Config()->GetStreamCaps(0, &mt.mt, nullptr));
  EXPECT_EQ(nullptr, mt.mt);
  EXPECT_EQ(E_POINTER, Config()->GetStreamCaps(0, nullptr, reinterpret_cast<BYTE*>(&caps)));
  EXPECT_EQ(E_POINTER, Config()->GetFormat(nullptr));
  // The index and the record decide before the out pointer does.
  EXPECT_EQ(S_FALSE, Config()->GetStreamCaps(1, nullptr, reinterpret_cast<BYTE*>(&caps)));
  EXPECT_EQ(E_NOTIMPL, Config()->GetStreamCaps(0, nullptr, nullptr));
}

TEST_F(StreamConfig, FailedAllocationsReportOutOfMemoryAndLeakNothing) {
  tvqtest::CountingMallocSpy spy;
  ASSERT_TRUE(spy.Install());
  for (int failing = 1; failing <= 2; ++failing) {
    spy.FailAllocation(failing);
    AM_MEDIA_TYPE* mt = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, Config()->GetFormat(&mt));
    EXPECT_EQ(nullptr, mt);
    spy.FailAllocation(failing);
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(E_OUTOFMEMORY, Config()->GetStreamCaps(0, &mt, reinterpret_cast<BYTE*>(&caps)));
    EXPECT_EQ(nullptr, mt);
    EXPECT_EQ(0u, spy.LiveBlocks()) << "allocation " << failing;
  }
  spy.FailAllocation(0);
}

TEST_F(StreamConfig, AcceptedFormatIsOfferedAndPublished) {
  ASSERT_EQ(S_OK, AskFor(Config(), 640, 480, 666666));
  const VIDEOINFOHEADER offer = CurrentOffer(Config());
  EXPECT_EQ(640, offer.bmiHeader.biWidth);
  EXPECT_EQ(480, offer.bmiHeader.biHeight);
  EXPECT_EQ(921600u, offer.bmiHeader.biSizeImage);

  CMediaType type;
  ASSERT_EQ(S_OK, m_filter.pin->GetMediaType(0, &type));
  EXPECT_EQ(921600u, type.lSampleSize);
  EXPECT_EQ(640, reinterpret_cast<VIDEOINFOHEADER*>(type.Format())->bmiHeader.biWidth);

  const tvqtest::Published published = tvqtest::ReadPublished();
  EXPECT_EQ(640, published.header.biWidth);
  EXPECT_EQ(480, published.header.biHeight);
  EXPECT_EQ(24, published.header.biBitCount);
  EXPECT_EQ(921600u, published.header.biSizeImage);
  EXPECT_EQ(666666, published.interval);

  // The capabilities stay those of the settings.
  TaskMediaType mt;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  ASSERT_EQ(S_OK, Config()->GetStreamCaps(0, &mt.mt, reinterpret_cast<BYTE*>(&caps)));
  EXPECT_EQ(1024, caps.MaxOutputSize.cx);
  EXPECT_EQ(640, mt.Vih().bmiHeader.biWidth);
}

// ffmpeg's -video_size changes biWidth and biHeight and leaves the image size stale; the client
// then connects with exactly the type it gave SetFormat.
TEST_F(StreamConfig, StaleImageSizeIsAcceptedAndRecomputedEverywhere) {
  TaskMediaType chosen;
  ASSERT_EQ(S_OK, Config()->GetFormat(&chosen.mt));
  chosen.Vih().bmiHeader.biWidth = 320;
  chosen.Vih().bmiHeader.biHeight = 240;
  chosen.Vih().AvgTimePerFrame = 2000000;
  ASSERT_EQ(S_OK, Config()->SetFormat(chosen.mt));
  EXPECT_EQ(230400u, CurrentOffer(Config()).bmiHeader.biSizeImage);
  EXPECT_EQ(230400u, tvqtest::ReadPublished().header.biSizeImage);
  EXPECT_EQ(2000000, tvqtest::ReadPublished().interval);

  EXPECT_EQ(S_OK, m_filter.outputPin->QueryAccept(chosen.mt));
  chosen.Vih().AvgTimePerFrame = 1000000;
  EXPECT_EQ(S_FALSE, m_filter.outputPin->QueryAccept(chosen.mt)) << "not the type chosen";
}

TEST_F(StreamConfig, RefusedFormatChangesNeitherOfferNorChannel) {
  ASSERT_EQ(S_OK, AskFor(Config(), 640, 480, 1000000));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, AskFor(Config(), 1025, 480, 1000000));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, AskFor(Config(), 640, -480, 1000000));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, AskFor(Config(), 320, 240, 333333));
  TaskMediaType wrongDepth;
  ASSERT_EQ(S_OK, Config()->GetFormat(&wrongDepth.mt));
  wrongDepth.Vih().bmiHeader.biBitCount = 32;
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, Config()->SetFormat(wrongDepth.mt));
  EXPECT_EQ(E_POINTER, Config()->SetFormat(nullptr));

  const VIDEOINFOHEADER offer = CurrentOffer(Config());
  EXPECT_EQ(640, offer.bmiHeader.biWidth);
  EXPECT_EQ(1000000, offer.AvgTimePerFrame);
  const tvqtest::Published published = tvqtest::ReadPublished();
  EXPECT_EQ(640, published.header.biWidth);
  EXPECT_EQ(1000000, published.interval);
}

TEST(StreamConfigAt30, ShorterIntervalIsAcceptedWhenTheSettingsAllowIt) {
  ScopedSettings settings(VideoSection(1024, 768, "30"));
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(S_OK, AskFor(f.config.Get(), 640, 480, 333333));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, AskFor(f.config.Get(), 640, 480, 333332));
}

TEST_F(StreamConfig, OnlyTheOfferedTypeIsAcceptableForAConnection) {
  CMediaType offered;
  ASSERT_EQ(S_OK, m_filter.pin->GetMediaType(0, &offered));
  EXPECT_EQ(S_OK, m_filter.pin->CheckMediaType(&offered));

  ASSERT_EQ(S_OK, AskFor(Config(), 640, 480, 666666));
  EXPECT_EQ(E_FAIL, m_filter.pin->CheckMediaType(&offered));
  CMediaType chosen;
  ASSERT_EQ(S_OK, m_filter.pin->GetMediaType(0, &chosen));
  EXPECT_EQ(S_OK, m_filter.pin->CheckMediaType(&chosen));
  EXPECT_EQ(S_FALSE, m_filter.outputPin->QueryAccept(&offered));
}

TEST_F(StreamConfig, InactiveReturnsToTheDefaultWithoutPublishing) {
  ASSERT_EQ(S_OK, AskFor(Config(), 640, 480, 1000000));
  EXPECT_EQ(S_OK, m_filter.pin->Inactive());
  EXPECT_EQ(1024, CurrentOffer(Config()).bmiHeader.biWidth);
  EXPECT_EQ(666666, CurrentOffer(Config()).AvgTimePerFrame);
  EXPECT_EQ(640, tvqtest::ReadPublished().header.biWidth);
}

TEST_F(StreamConfig, ActivePublishesTheCurrentFormat) {
  ASSERT_EQ(S_OK, AskFor(Config(), 320, 240, 1000000));
  tvqtest::ClearPublished();
  // Not connected: the base activation does nothing, the publication happens all the same.
  EXPECT_EQ(S_OK, m_filter.pin->Active());
  const tvqtest::Published published = tvqtest::ReadPublished();
  EXPECT_EQ(320, published.header.biWidth);
  EXPECT_EQ(240, published.header.biHeight);
  EXPECT_EQ(1000000, published.interval);
}

// --- Interfaces of the pin ------------------------------------------------------------------

TEST_F(StreamConfig, BothAddedInterfacesAreReachableFromEveryInterfaceOfThePin) {
  ComPtr<IUnknown> identity;
  ASSERT_EQ(S_OK, m_filter.outputPin.As(&identity));
  ComPtr<IKsPropertySet> properties;
  EXPECT_EQ(S_OK, identity.As(&properties));
  ComPtr<IAMStreamConfig> config;
  EXPECT_EQ(S_OK, identity.As(&config));
  ComPtr<IPin> pinAgain;
  EXPECT_EQ(S_OK, properties.As(&pinAgain));
  EXPECT_EQ(m_filter.outputPin.Get(), pinAgain.Get());
  ComPtr<IUnknown> identityAgain;
  EXPECT_EQ(S_OK, config.As(&identityAgain));
  EXPECT_EQ(identity.Get(), identityAgain.Get());

  GUID category = GUID_NULL;
  DWORD returned = 0;
  EXPECT_EQ(S_OK, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                                  sizeof(category), &returned));
  EXPECT_EQ(PIN_CATEGORY_CAPTURE, category);
  EXPECT_EQ(E_NOTIMPL, properties->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0,
                                       &category, sizeof(category)));
}

TEST_F(StreamConfig, ReferencesOnTheAddedInterfacesCountOnTheFilter) {
  const ULONG before = m_filter.filter->AddRef();
  m_filter.filter->Release();
  m_filter.config->AddRef();
  const ULONG during = m_filter.filter->AddRef();
  m_filter.filter->Release();
  m_filter.config->Release();
  EXPECT_EQ(before + 1, during);
}

// --- DecideBufferSize --------------------------------------------------------------------------

class BufferSize : public StreamConfig {
 protected:
  void ConnectWith(LONG width, LONG height) {
    ASSERT_EQ(S_OK, AskFor(Config(), width, height, 666666));
    CMediaType type;
    ASSERT_EQ(S_OK, m_filter.pin->GetMediaType(0, &type));
    ASSERT_EQ(S_OK, m_filter.pin->SetMediaType(&type));
  }
  FakeAllocator m_allocator;
};

TEST_F(BufferSize, NoBufferCountAsksForTwoOfTheAgreedSampleSize) {
  ConnectWith(640, 480);
  ALLOCATOR_PROPERTIES props{0, 0, 16, 8};
  EXPECT_EQ(S_OK, m_filter.pin->DecideBufferSize(&m_allocator, &props));
  EXPECT_EQ(2, m_allocator.requested.cBuffers);
  EXPECT_EQ(921600, m_allocator.requested.cbBuffer);
  EXPECT_EQ(16, m_allocator.requested.cbAlign);
  EXPECT_EQ(8, m_allocator.requested.cbPrefix);
}

TEST_F(BufferSize, RequestedCountIsKeptAndTheConnectionSizeWinsOverALaterChoice) {
  ConnectWith(640, 480);
  ASSERT_EQ(S_OK, AskFor(Config(), 320, 240, 666666));
  ALLOCATOR_PROPERTIES props{5, 100, 1, 0};
  EXPECT_EQ(S_OK, m_filter.pin->DecideBufferSize(&m_allocator, &props));
  EXPECT_EQ(5, m_allocator.requested.cBuffers);
  EXPECT_EQ(921600, m_allocator.requested.cbBuffer);
}

// A connection made with the stale image size of a client's SetFormat still gets whole pictures.
TEST_F(BufferSize, AStaleImageSizeInTheConnectionAsksForTheWholePicture) {
  TaskMediaType chosen;
  ASSERT_EQ(S_OK, Config()->GetFormat(&chosen.mt));
  chosen.Vih().bmiHeader.biWidth = 640;
  chosen.Vih().bmiHeader.biHeight = 480;
  ASSERT_EQ(S_OK, Config()->SetFormat(chosen.mt));
  const CMediaType type(*chosen.mt);
  ASSERT_EQ(S_OK, m_filter.pin->CheckMediaType(&type));
  ASSERT_EQ(S_OK, m_filter.pin->SetMediaType(&type));
  ALLOCATOR_PROPERTIES props{0, 0, 1, 0};
  EXPECT_EQ(S_OK, m_filter.pin->DecideBufferSize(&m_allocator, &props));
  EXPECT_EQ(921600, m_allocator.requested.cbBuffer);
}

TEST_F(BufferSize, SmallerBuffersOrAFailingAllocatorFail) {
  ConnectWith(640, 480);
  ALLOCATOR_PROPERTIES props{0, 0, 1, 0};
  m_allocator.grantedSize = 921599;
  EXPECT_EQ(E_FAIL, m_filter.pin->DecideBufferSize(&m_allocator, &props));
  m_allocator.grantedSize = -1;
  m_allocator.setResult = VFW_E_ALREADY_COMMITTED;
  EXPECT_EQ(VFW_E_ALREADY_COMMITTED, m_filter.pin->DecideBufferSize(&m_allocator, &props));
  EXPECT_EQ(E_POINTER, m_filter.pin->DecideBufferSize(nullptr, &props));
  EXPECT_EQ(E_POINTER, m_filter.pin->DecideBufferSize(&m_allocator, nullptr));
}

// --- FillBuffer ---------------------------------------------------------------------------------

// 1000 frames per second: each sample leaves 1 ms after the one before.
class FastFill : public testing::Test {
 protected:
  ScopedSettings m_settings{VideoSection(64, 48, "1000")};
  LocalFilter m_filter;
};

TEST_F(FastFill, NullSampleOrUnobtainableBufferEndTheStream) {
  EXPECT_EQ(E_POINTER, m_filter.pin->FillBuffer(nullptr));
  FakeMediaSample sample(16);
  sample.failPointer = true;
  EXPECT_EQ(S_FALSE, Fill(m_filter.pin, &sample));
  EXPECT_FALSE(sample.timeSet);
}

TEST_F(FastFill, TimeStampsCountFramesAndRestartAfterInactive) {
  const REFERENCE_TIME i = 10000;
  for (REFERENCE_TIME n = 0; n < 3; ++n) {
    FakeMediaSample sample(16);
    ASSERT_EQ(S_OK, Fill(m_filter.pin, &sample));
    EXPECT_EQ(n * i, sample.start);
    EXPECT_EQ((n + 1) * i, sample.stop);
    EXPECT_TRUE(sample.syncPoint);
    EXPECT_EQ(0, sample.otherCalls) << "only the sync point and the times are set";
  }
  ASSERT_EQ(S_OK, m_filter.pin->Inactive());
  FakeMediaSample sample(16);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &sample));
  EXPECT_EQ(0, sample.start);
  EXPECT_EQ(i, sample.stop);
}

TEST_F(FastFill, ANewIntervalAppliesFromTheNextSample) {
  FakeMediaSample first(16);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &first));
  ASSERT_EQ(S_OK, AskFor(m_filter.config.Get(), 64, 48, 20000));
  FakeMediaSample second(16);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &second));
  EXPECT_EQ(20000, second.start);
  EXPECT_EQ(40000, second.stop);
}

TEST_F(FastFill, WithoutAManagerFramesAreBlack) {
  FakeMediaSample sample(tvq::Rgb24ImageSize(64, 48), 0xCD);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &sample));
  for (BYTE b : sample.Buffer()) ASSERT_EQ(0, b);
}

TEST_F(FastFill, TheSampleReceivesThePixelObjectUpToTheSmallerSize) {
  const int frameBytes = static_cast<int>(tvq::Rgb24ImageSize(64, 48));
  std::vector<BYTE> frame(frameBytes);
  for (int k = 0; k < frameBytes; ++k) frame[k] = static_cast<BYTE>(k * 7 + 1);
  CSharedMemory manager;
  ASSERT_TRUE(manager.Create(tvq::kPixelObjectName, frameBytes));
  manager.Write(frame.data(), frameBytes, INFINITE);

  FakeMediaSample smaller(1000, 0xCD);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &smaller));
  EXPECT_EQ(0, std::memcmp(frame.data(), smaller.Buffer().data(), 1000));

  FakeMediaSample larger(frameBytes + 500, 0xCD);
  ASSERT_EQ(S_OK, Fill(m_filter.pin, &larger));
  EXPECT_EQ(0, std::memcmp(frame.data(), larger.Buffer().data(), frameBytes));
  for (int k = frameBytes; k < frameBytes + 500; ++k) ASSERT_EQ(0xCD, larger.Buffer()[k]);
}

// The Manager's settings may disagree with the filter's: then the section is as large as the
// Manager made it, whatever the pin asked for.
constexpr int kSmallSection = 65536;

int HoldSmallPixelObject(const std::vector<std::wstring>& args) {
  if (args.size() != 2) return 2;
  CSharedMemory pixels;
  if (!pixels.Create(tvq::kPixelObjectName, kSmallSection)) return 3;
  std::vector<BYTE> pattern(kSmallSection, 0x5A);
  pixels.Write(pattern.data(), kSmallSection, INFINITE);
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[0].c_str());
  HANDLE done = OpenEventW(SYNCHRONIZE, FALSE, args[1].c_str());
  if (ready == nullptr || done == nullptr) return 4;
  SetEvent(ready);
  WaitForSingleObject(done, 60000);
  return 0;
}
tvqtest::ChildMode g_holdSmallPixelObject(L"hold-small-pixel-object", &HoldSmallPixelObject);

TEST(PixelObjectFromAnotherProcess, CopiesNeverReachPastASmallerSection) {
  ScopedSettings settings("");
  const std::wstring readyName = L"tvq_test_small_section_ready";
  const std::wstring doneName = L"tvq_test_small_section_done";
  tvq::UniqueKernelHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  tvq::UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, doneName.c_str()));
  tvqtest::ChildProcess manager =
      tvqtest::ChildProcess::StartSelf(L"hold-small-pixel-object", {readyName, doneName});
  ASSERT_TRUE(manager.IsValid());
  HANDLE waits[2] = {ready.Get(), manager.Handle()};
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, 30000));

  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  FakeMediaSample sample(2359296, 0xCD);
  // The copy is bounded by the real section, not by the 2,359,296 bytes the pin asked for.
  ASSERT_EQ(S_OK, Fill(f.pin, &sample));
  for (int k = 0; k < kSmallSection; ++k) ASSERT_EQ(0x5A, sample.Buffer()[k]) << k;
  for (size_t k = kSmallSection; k < sample.Buffer().size(); ++k) {
    ASSERT_EQ(0xCD, sample.Buffer()[k]) << k;
  }
  SetEvent(done.Get());
  DWORD exitCode = 1;
  EXPECT_TRUE(manager.Wait(30000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(PixelObjectMissing, FramesAreNoiseBetween0And254) {
  ScopedSettings settings(VideoSection(64, 48, "1000"));
  // A mutex of the same name keeps the pin from creating the section.
  tvq::UniqueKernelHandle squatter(CreateMutexW(nullptr, FALSE, tvq::kPixelObjectName));
  ASSERT_TRUE(squatter.IsValid());
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  FakeMediaSample sample(256 * 1024, 0xFF);
  ASSERT_EQ(S_OK, Fill(f.pin, &sample));
  int counts[256] = {};
  for (BYTE b : sample.Buffer()) ++counts[b];
  EXPECT_EQ(0, counts[255]);
  int distinct = 0;
  for (int v = 0; v < 255; ++v) distinct += counts[v] > 0 ? 1 : 0;
  EXPECT_EQ(255, distinct) << "noise should use every value from 0 to 254";
}

TEST(FillPacing, TheFirstSampleLeavesOneIntervalAfterItsFillBegan) {
  ScopedSettings settings(VideoSection(64, 48, "15"));
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  FakeMediaSample sample(16);
  const ULONGLONG start = GetTickCount64();
  ASSERT_EQ(S_OK, Fill(f.pin, &sample));
  const ULONGLONG elapsed = GetTickCount64() - start;
  // 66.7 ms; the tick counter may be up to ~16 ms coarse.
  EXPECT_GE(elapsed, 48u);
  EXPECT_EQ(666666, sample.stop);
}

}  // namespace
