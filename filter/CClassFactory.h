#pragma once

#include <windows.h>
#include <unknwn.h>

#include "filter/FactoryTemplate.h"
#include "framework/CBaseObject.h"
#include "framework/CSimpleUnknown.h"

// One class factory per DllGetClassObject call, creating objects of its template's class. It
// counts as a live object, so the module stays loaded while a factory exists.
//
// Threads: any (the server is registered "Both"); the reference count is atomic.
class CClassFactory final : public CSimpleUnknown<IClassFactory, IID_IClassFactory>,
                            public CBaseObject {
 public:
  explicit CClassFactory(const tvq::CFactoryTemplate* factoryTemplate);

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ~CClassFactory() override = default;

  const tvq::CFactoryTemplate* m_template;  // one of the server's constant templates
};
