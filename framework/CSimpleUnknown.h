#pragma once

#include <windows.h>
#include <unknwn.h>

// IUnknown for a small object that exposes one interface and is never aggregated (the
// enumerators, the class factory). The count is interlocked, so any thread may hold and release
// the object; the object deletes itself through its virtual destructor when the count reaches 0.
// The first count differs by caller: enumerators are born holding their creator's reference,
// a class factory is born unreferenced and counted by its first query.
template <typename Interface, const IID& kInterfaceId>
class CSimpleUnknown : public Interface {
 public:
  CSimpleUnknown(const CSimpleUnknown&) = delete;
  CSimpleUnknown& operator=(const CSimpleUnknown&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == kInterfaceId) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
  }

  // The count is read once, from the decrement: reading it again after another thread's
  // Release could see a deleted object.
  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

 protected:
  explicit CSimpleUnknown(LONG initialCount) : m_cRef(initialCount) {}
  virtual ~CSimpleUnknown() = default;

 private:
  LONG m_cRef;  // interlocked only
};
