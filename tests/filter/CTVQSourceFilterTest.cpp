#include "filter/CTVQSourceFilter.h"

#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include "filter/CClassFactory.h"
#include "filter/CTVQOutputPin.h"
#include "filter/FactoryTemplate.h"
#include "filter/FilterIdentity.h"
#include "framework/CBaseObject.h"
#include "tests/filter/FakeSampleAllocator.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::LocalFilter;
using tvqtest::ScopedSettings;

constexpr HRESULT kAnotherFilterRuns = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);

bool SingleInstanceMutexExists() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, tvq::kSingleInstanceMutexName);
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}

FILTER_STATE StateOf(IBaseFilter* filter) {
  FILTER_STATE state = State_Stopped;
  filter->GetState(0, &state);
  return state;
}

class SourceFilter : public testing::Test {
 protected:
  ScopedSettings m_settings{tvqtest::VideoSection(64, 48, "15")};
};

TEST_F(SourceFilter, GetStateSaysCannotCueOnlyWhilePaused) {
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  FILTER_STATE state = State_Running;
  EXPECT_EQ(S_OK, f.filter->GetState(0, &state));
  EXPECT_EQ(State_Stopped, state);
  ASSERT_EQ(S_OK, f.filter->Pause());
  EXPECT_EQ(VFW_S_CANT_CUE, f.filter->GetState(INFINITE, &state));
  EXPECT_EQ(State_Paused, state);
  ASSERT_EQ(S_OK, f.filter->Run(0));
  EXPECT_EQ(S_OK, f.filter->GetState(0, &state));
  EXPECT_EQ(State_Running, state);
  EXPECT_EQ(E_POINTER, f.filter->GetState(0, nullptr));
  EXPECT_EQ(S_OK, f.filter->Stop());
}

TEST_F(SourceFilter, HasOneOutputPinNamedOut) {
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  PIN_INFO info{};
  ASSERT_EQ(S_OK, f.outputPin->QueryPinInfo(&info));
  EXPECT_STREQ(L"Out", info.achName);
  EXPECT_EQ(PINDIR_OUTPUT, info.dir);
  info.pFilter->Release();
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(S_OK, f.filter->GetClassID(&clsid));
  EXPECT_EQ(tvq::CLSID_TessavueFilter, clsid);
}

TEST_F(SourceFilter, OnlyOneFilterMayBePausedOrRunningAtATime) {
  LocalFilter first;
  LocalFilter second;
  ASSERT_TRUE(first.IsValid() && second.IsValid());
  ASSERT_EQ(S_OK, first.filter->Pause());
  EXPECT_TRUE(SingleInstanceMutexExists());
  EXPECT_EQ(kAnotherFilterRuns, second.filter->Pause());
  EXPECT_EQ(kAnotherFilterRuns, second.filter->Run(0));
  EXPECT_EQ(State_Stopped, StateOf(second.filter.Get()));

  // Pausing again, and running, keep the mutex the first filter holds.
  EXPECT_EQ(S_OK, first.filter->Pause());
  EXPECT_EQ(S_OK, first.filter->Run(0));
  EXPECT_EQ(S_OK, first.filter->Pause());
  EXPECT_EQ(kAnotherFilterRuns, second.filter->Pause());

  EXPECT_EQ(S_OK, first.filter->Stop());
  EXPECT_FALSE(SingleInstanceMutexExists());
  EXPECT_EQ(S_OK, second.filter->Run(0));
  EXPECT_EQ(kAnotherFilterRuns, first.filter->Pause());
  EXPECT_EQ(S_OK, second.filter->Stop());
}

TEST_F(SourceFilter, AFilterDestroyedWithoutStopLetsOthersStart) {
  LocalFilter second;
  {
    LocalFilter first;
    ASSERT_TRUE(first.IsValid());
    ASSERT_EQ(S_OK, first.filter->Run(0));
    EXPECT_EQ(kAnotherFilterRuns, second.filter->Pause());
  }
  EXPECT_FALSE(SingleInstanceMutexExists());
  EXPECT_EQ(S_OK, second.filter->Pause());
  EXPECT_EQ(S_OK, second.filter->Stop());
}

// A downstream pin that takes any connection and hands out the allocator it was given. It lives
// on the test's stack, longer than the filter connected to it.
class AllocatorOfferingPin : public IPin, public IMemInputPin {
 public:
  explicit AllocatorOfferingPin(IMemAllocator* allocator) : m_allocator(allocator) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
      *ppv = static_cast<IPin*>(this);
    } else if (riid == IID_IMemInputPin) {
      *ppv = static_cast<IMemInputPin*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP Disconnect() override { return S_OK; }
  STDMETHODIMP ConnectedTo(IPin**) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
    *dir = PINDIR_INPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return S_OK; }
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override {
    m_allocator->AddRef();
    *allocator = m_allocator;
    return S_OK;
  }
  STDMETHODIMP NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Receive(IMediaSample*) override { return S_OK; }
  STDMETHODIMP ReceiveMultiple(IMediaSample**, long, long* done) override {
    *done = 0;
    return S_OK;
  }
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

 private:
  IMemAllocator* m_allocator;
};

TEST_F(SourceFilter, AStartThatFailsLetsOthersStart) {
  tvqtest::FakeAllocator allocator;  // its Commit fails, and with it the pin's activation
  AllocatorOfferingPin downstream(&allocator);
  LocalFilter second;
  LocalFilter first;
  ASSERT_TRUE(first.IsValid() && second.IsValid());
  ASSERT_EQ(S_OK, first.outputPin->Connect(&downstream, nullptr));

  EXPECT_TRUE(FAILED(first.filter->Run(0)));
  EXPECT_EQ(State_Stopped, StateOf(first.filter.Get()));
  EXPECT_FALSE(SingleInstanceMutexExists());
  EXPECT_EQ(S_OK, second.filter->Pause());
  EXPECT_EQ(S_OK, second.filter->Stop());
}

// --- Class factory -------------------------------------------------------------------------------

class ClassFactory : public SourceFilter {
 protected:
  void SetUp() override {
    m_before = CBaseObject::ObjectsActive();
    m_factory = new CClassFactory(&tvq::g_Templates[0]);
    m_factory->AddRef();
  }
  void TearDown() override {
    m_factory->Release();
    EXPECT_EQ(m_before, CBaseObject::ObjectsActive()) << "objects left alive";
  }
  LONG m_before = 0;
  CClassFactory* m_factory = nullptr;
};

TEST_F(ClassFactory, CreatesTheFilterWithTheAskedInterface) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)));
  ComPtr<IEnumPins> pins;
  EXPECT_EQ(S_OK, filter->EnumPins(&pins));
}

TEST_F(ClassFactory, UnknownInterfaceFailsAndFreesTheObject) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_factory->CreateInstance(nullptr, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(m_before + 1, CBaseObject::ObjectsActive()) << "only the factory stays alive";
}

TEST_F(ClassFactory, AggregationOffersOnlyTheInnerUnknown) {
  ComPtr<IUnknown> outer;
  ComPtr<IBaseFilter> standalone;
  ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_PPV_ARGS(&standalone)));
  ASSERT_EQ(S_OK, standalone.As(&outer));
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_factory->CreateInstance(outer.Get(), IID_IBaseFilter, &object));
  EXPECT_EQ(nullptr, object);
  ComPtr<IUnknown> inner;
  EXPECT_EQ(S_OK, m_factory->CreateInstance(outer.Get(), IID_PPV_ARGS(&inner)));
}

TEST_F(ClassFactory, AnswersOnlyForItsOwnInterfaces) {
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, m_factory->QueryInterface(IID_PPV_ARGS(&unknown)));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_factory->QueryInterface(IID_IBaseFilter, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(E_POINTER, m_factory->QueryInterface(IID_IUnknown, nullptr));
  EXPECT_EQ(E_POINTER, m_factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
}

}  // namespace
