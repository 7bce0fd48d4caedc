#pragma once

#include <windows.h>
#include <unknwn.h>

// Every framework object counts itself in one module-wide, interlocked counter, which the
// module's unload query reads. Objects may be created and destroyed on any thread.
class CBaseObject {
 public:
  static LONG ObjectsActive();

 protected:
  CBaseObject();
  ~CBaseObject();
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;
};

// The object's own IUnknown, separate from the one its interfaces expose: when the object is
// aggregated its interfaces forward to the outer object, while the outer object holds this one.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

// Reference-counted object base: deletes itself when its count drops to zero. Every interface of
// a derived object forwards IUnknown to GetOwner() (see TVQ_DECLARE_IUNKNOWN), so all interfaces
// share one count and one identity.
class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  // The name only describes the object and is not kept. outer is not counted.
  CUnknown(const wchar_t* name, IUnknown* outer);
  virtual ~CUnknown() = default;

  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
  STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

  // The outer object when aggregated, otherwise this object's non-delegating IUnknown.
  IUnknown* GetOwner() const { return m_pUnknown; }

 private:
  IUnknown* const m_pUnknown;  // not counted
  LONG m_cRef = 0;             // changed only with interlocked operations
};

// Hands out an interface pointer with a reference, for QueryInterface implementations.
HRESULT GetInterface(IUnknown* unk, void** ppv);

// Inside the class body of a CUnknown that also derives from COM interfaces.
#define TVQ_DECLARE_IUNKNOWN                                              \
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {         \
    return GetOwner()->QueryInterface(riid, ppv);                         \
  }                                                                       \
  STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); } \
  STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }
