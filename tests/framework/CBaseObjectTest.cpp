#include "framework/CBaseObject.h"

#include <gtest/gtest.h>
#include <objidl.h>

#include "tests/common/ComStub.h"

namespace {

// A framework object with one interface of its own.
class Persist : public CUnknown, public IPersist {
 public:
  explicit Persist(IUnknown* outer, bool* destroyed = nullptr)
      : CUnknown(L"Persist", outer), m_destroyed(destroyed) {}
  ~Persist() override {
    if (m_destroyed) *m_destroyed = true;
  }
  TVQ_DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }

 private:
  bool* m_destroyed;
};

IUnknown* NonDelegating(Persist* object) {
  return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(object));
}

TEST(ObjectCount, ConstructionCountsAndDestructionUncounts) {
  const LONG before = CBaseObject::ObjectsActive();
  bool destroyed = false;
  auto* object = new Persist(nullptr, &destroyed);
  EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());
  EXPECT_EQ(1u, object->NonDelegatingAddRef());
  EXPECT_EQ(0u, object->NonDelegatingRelease());
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(ReferenceCount, EveryInterfaceSharesOneCountAndOneIdentity) {
  bool destroyed = false;
  auto* object = new Persist(nullptr, &destroyed);
  IPersist* persist = nullptr;
  ASSERT_EQ(S_OK, object->NonDelegatingQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
  EXPECT_EQ(2u, persist->AddRef());

  IUnknown* fromInterface = nullptr;
  ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromInterface)));
  EXPECT_EQ(NonDelegating(object), fromInterface);
  EXPECT_EQ(NonDelegating(object), object->GetOwner());

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, persist->QueryInterface(IID_IDispatch, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(E_POINTER, persist->QueryInterface(IID_IUnknown, nullptr));

  EXPECT_EQ(2u, fromInterface->Release());
  EXPECT_EQ(1u, persist->Release());
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(0u, persist->Release());
  EXPECT_TRUE(destroyed);
}

TEST(ReferenceCount, AggregatedObjectForwardsToItsOwner) {
  tvqtest::ComStub<IUnknown> outer;
  Persist* object = new Persist(&outer);
  EXPECT_EQ(static_cast<IUnknown*>(&outer), object->GetOwner());
  IPersist* persist = nullptr;
  ASSERT_EQ(S_OK, object->NonDelegatingQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
  // The interface's reference went to the outer object.
  EXPECT_EQ(1, outer.References());
  persist->Release();
  EXPECT_EQ(0, outer.References());
  // The outer object holds the inner one through its non-delegating IUnknown.
  object->NonDelegatingAddRef();
  EXPECT_EQ(0u, object->NonDelegatingRelease());
}

TEST(ReferenceCount, GetInterfaceRejectsNullAndCountsTheReference) {
  tvqtest::ComStub<IUnknown> stub;
  EXPECT_EQ(E_POINTER, GetInterface(&stub, nullptr));
  void* out = nullptr;
  EXPECT_EQ(S_OK, GetInterface(&stub, &out));
  EXPECT_EQ(static_cast<IUnknown*>(&stub), out);
  EXPECT_EQ(1, stub.References());
}

}  // namespace
