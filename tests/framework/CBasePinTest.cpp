#include "framework/CBaseOutputPin.h"

#include <gtest/gtest.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include "tests/framework/SourceFixture.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::SourceFixture;
using tvqtest::TestStream;

CMediaType StreamType(TestStream* stream) {
  CMediaType mt;
  stream->GetMediaType(&mt);
  return mt;
}

using Connection = SourceFixture;

TEST_F(Connection, ConnectsWithItsOwnTypeAndItsOwnAllocator) {
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(1u, m_input.m_offeredSubtypes.size());
  EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB24, m_input.m_offeredSubtypes[0]));
  EXPECT_NE(nullptr, m_input.m_notifiedAllocator);

  IPin* connected = nullptr;
  EXPECT_EQ(S_OK, m_pin->ConnectedTo(&connected));
  EXPECT_EQ(static_cast<IPin*>(&m_input), connected);
  connected->Release();
  CMediaType mt;
  EXPECT_EQ(S_OK, m_pin->ConnectionMediaType(&mt));
  EXPECT_TRUE(mt == StreamType(m_stream));

  EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Connect());
  EXPECT_EQ(1u, m_input.m_offeredSubtypes.size());
}

TEST_F(Connection, UsesTheAllocatorTheInputPinOffers) {
  ComPtr<IMemAllocator> offered;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&offered)));
  m_input.m_offeredAllocator = offered.Get();
  ASSERT_EQ(S_OK, Connect());
  EXPECT_EQ(offered.Get(), m_input.m_notifiedAllocator);
  ALLOCATOR_PROPERTIES props = {};
  offered->GetProperties(&props);
  EXPECT_EQ(2, props.cBuffers);
  EXPECT_EQ(static_cast<long>(TestStream::kFrameBytes), props.cbBuffer);
}

TEST_F(Connection, RefusedFullTypeIsTheOnlyOneTried) {
  CMediaType rgb32 = StreamType(m_stream);
  rgb32.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, m_pin->Connect(&m_input, &rgb32));
  EXPECT_TRUE(m_input.m_offeredSubtypes.empty());
  EXPECT_FALSE(m_stream->IsConnected());
}

TEST_F(Connection, WithoutATypeTheDownstreamPreferencesComeFirst) {
  CMediaType refused = StreamType(m_stream);
  refused.SetSubtype(&MEDIASUBTYPE_RGB565);
  CMediaType preferred = StreamType(m_stream);
  preferred.SetSampleSize(777);  // equal to ours but for the sample size
  m_input.m_preferred.m_types = {refused, preferred};
  ASSERT_EQ(S_OK, Connect());
  CMediaType mt;
  m_pin->ConnectionMediaType(&mt);
  EXPECT_EQ(777u, mt.lSampleSize);
  EXPECT_EQ(1u, m_input.m_offeredSubtypes.size());
}

TEST_F(Connection, APreferenceEnumeratorThatNeverEndsDoesNotHangTheSearch) {
  m_input.m_preferred.m_succeedWithNothing = true;
  EXPECT_EQ(S_OK, Connect());  // our own type after the downstream pin's empty answer
  ASSERT_EQ(S_OK, m_pin->Disconnect());
  m_input.Disconnect();

  // One that offers a type we refuse over and over: the search gives up on it after a bound.
  CMediaType refused = StreamType(m_stream);
  refused.SetSubtype(&MEDIASUBTYPE_RGB565);
  m_input.m_preferred.m_succeedWithNothing = false;
  m_input.m_preferred.m_types = {refused};
  m_input.m_preferred.m_repeatForEver = true;
  EXPECT_EQ(S_OK, Connect());
  CMediaType mt;
  m_pin->ConnectionMediaType(&mt);
  EXPECT_EQ(MEDIASUBTYPE_RGB24, mt.subtype);
}

TEST_F(Connection, FailuresLeaveThePinUnconnectedWithTheirCodes) {
  m_input.m_dir = PINDIR_OUTPUT;
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, Connect());
  m_input.m_dir = PINDIR_INPUT;
  // A pin that cannot tell its direction is not taken for an input pin.
  m_input.m_knowsDirection = false;
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, Connect());
  m_input.m_knowsDirection = true;

  m_input.m_receiveConnectionResult = E_FAIL;  // a general refusal
  EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, Connect());
  m_input.m_receiveConnectionResult = VFW_E_NO_TRANSPORT;  // a specific one is passed on
  EXPECT_EQ(VFW_E_NO_TRANSPORT, Connect());
  m_input.m_receiveConnectionResult = S_OK;

  // An allocator that cannot be sized undoes the downstream half of the connection too.
  m_stream->m_decideBufferResult = E_OUTOFMEMORY;
  EXPECT_EQ(E_OUTOFMEMORY, Connect());
  EXPECT_EQ(1, m_input.m_disconnects);
  EXPECT_FALSE(m_stream->IsConnected());
  EXPECT_EQ(0, m_input.References());

  EXPECT_EQ(E_POINTER, m_pin->Connect(nullptr, nullptr));
}

TEST_F(Connection, ConnectingAndDisconnectingNeedTheFilterStopped) {
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ(VFW_E_NOT_STOPPED, m_pin->Disconnect());
  ASSERT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(S_OK, m_pin->Disconnect());
  EXPECT_EQ(S_FALSE, m_pin->Disconnect());
  m_input.Disconnect();
  EXPECT_EQ(0, m_input.References());
  ASSERT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ(VFW_E_NOT_STOPPED, Connect());
  CMediaType mt = StreamType(m_stream);
  EXPECT_EQ(VFW_E_NOT_STOPPED, m_pin->ReceiveConnection(&m_input, &mt));
}

TEST_F(Connection, ReceiveConnectionChecksTheOfferedType) {
  CMediaType mt = StreamType(m_stream);
  EXPECT_EQ(E_POINTER, m_pin->ReceiveConnection(&m_input, nullptr));
  EXPECT_EQ(E_POINTER, m_pin->ReceiveConnection(nullptr, &mt));
  // An output pin offered a connection by another output pin.
  m_input.m_dir = PINDIR_OUTPUT;
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, m_pin->ReceiveConnection(&m_input, &mt));
  m_input.m_dir = PINDIR_INPUT;
  mt.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, m_pin->ReceiveConnection(&m_input, &mt));
  EXPECT_FALSE(m_stream->IsConnected());
  EXPECT_EQ(0, m_input.References());
}

using PinQueries = SourceFixture;

TEST_F(PinQueries, UnconnectedPinAnswers) {
  IPin* connected = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pin->ConnectedTo(&connected));
  EXPECT_EQ(nullptr, connected);
  CMediaType mt;
  mt.SetType(&MEDIATYPE_Video);
  EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pin->ConnectionMediaType(&mt));
  EXPECT_TRUE(IsEqualGUID(GUID_NULL, mt.majortype));
  EXPECT_EQ(1u, mt.lSampleSize);

  ComPtr<IMediaSample> sample;
  EXPECT_EQ(E_NOINTERFACE, m_stream->GetDeliveryBuffer(sample.GetAddressOf(), nullptr, nullptr, 0));
  EXPECT_EQ(VFW_E_NOT_CONNECTED, m_stream->Deliver(nullptr));
  EXPECT_EQ(VFW_E_NOT_CONNECTED, m_stream->DeliverEndOfStream());
  EXPECT_EQ(VFW_E_NOT_CONNECTED, m_stream->DeliverNewSegment(0, 1, 1.0));
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_stream->CBaseOutputPin::Active());
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_stream->CBaseOutputPin::Inactive());
}

TEST_F(PinQueries, InfoDirectionAndInputPinOnlyCalls) {
  PIN_INFO info;
  ASSERT_EQ(S_OK, m_pin->QueryPinInfo(&info));
  EXPECT_STREQ(L"Out", info.achName);
  EXPECT_EQ(PINDIR_OUTPUT, info.dir);
  EXPECT_EQ(m_filter.Get(), info.pFilter);
  info.pFilter->Release();
  PIN_DIRECTION dir = PINDIR_INPUT;
  EXPECT_EQ(S_OK, m_pin->QueryDirection(&dir));
  EXPECT_EQ(PINDIR_OUTPUT, dir);
  EXPECT_EQ(E_POINTER, m_pin->QueryDirection(nullptr));
  EXPECT_EQ(E_POINTER, m_pin->QueryPinInfo(nullptr));

  EXPECT_EQ(E_UNEXPECTED, m_pin->EndOfStream());
  EXPECT_EQ(E_UNEXPECTED, m_pin->BeginFlush());
  EXPECT_EQ(E_UNEXPECTED, m_pin->EndFlush());
  EXPECT_EQ(S_OK, m_pin->NewSegment(0, 10, 1.0));
  EXPECT_EQ(E_NOTIMPL, m_pin->QueryInternalConnections(nullptr, nullptr));
  ComPtr<IQualityControl> quality;
  ASSERT_EQ(S_OK, m_pin->QueryInterface(IID_PPV_ARGS(&quality)));
  EXPECT_EQ(E_NOTIMPL, quality->Notify(nullptr, Quality{}));
  EXPECT_EQ(S_OK, quality->SetSink(nullptr));
}

TEST_F(PinQueries, AcceptsOnlyItsOwnTypeAsQueryAcceptAndGetMediaTypeSay) {
  CMediaType mt = StreamType(m_stream);
  mt.SetSampleSize(1);
  EXPECT_EQ(S_OK, m_stream->CheckMediaType(&mt));
  EXPECT_EQ(S_OK, m_pin->QueryAccept(&mt));
  mt.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_EQ(E_FAIL, m_stream->CheckMediaType(&mt));
  EXPECT_EQ(S_FALSE, m_pin->QueryAccept(&mt));
  EXPECT_EQ(E_POINTER, m_pin->QueryAccept(nullptr));

  EXPECT_EQ(S_OK, m_stream->GetMediaType(0, &mt));
  EXPECT_EQ(VFW_S_NO_MORE_ITEMS, m_stream->GetMediaType(1, &mt));
  EXPECT_EQ(E_INVALIDARG, m_stream->GetMediaType(-1, &mt));
}

}  // namespace
