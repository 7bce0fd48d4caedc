// The server's exported entry points.

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "filter/CClassFactory.h"
#include "filter/FactoryTemplate.h"
#include "filter/ServerModule.h"
#include "filter/ServerRegistration.h"
#include "framework/CBaseObject.h"

namespace {

void CallInitRoutines(BOOL loading) {
  for (int i = 0; i < tvq::g_cTemplates; ++i) {
    const tvq::CFactoryTemplate& t = tvq::g_Templates[i];
    if (t.m_lpfnInit) t.m_lpfnInit(loading, t.m_ClsID);
  }
}

const tvq::CFactoryTemplate* FindTemplate(REFCLSID clsid) {
  for (int i = 0; i < tvq::g_cTemplates; ++i) {
    if (*tvq::g_Templates[i].m_ClsID == clsid) return &tvq::g_Templates[i];
  }
  return nullptr;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    tvq::SetServerModule(instance);
    CallInitRoutines(TRUE);
  } else if (reason == DLL_PROCESS_DETACH) {
    CallInitRoutines(FALSE);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  const tvq::CFactoryTemplate* found = FindTemplate(clsid);
  if (!found) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) CClassFactory(found);
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  *ppv = static_cast<IClassFactory*>(factory);
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return (tvq::ServerLockCount() > 0 || CBaseObject::ObjectsActive() > 0) ? S_FALSE : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  const HRESULT hr = tvq::RegisterAllServers(true);
  if (FAILED(hr)) return hr;
  return tvq::RegisterCaptureDevice();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  const HRESULT hr = tvq::RegisterAllServers(false);
  if (FAILED(hr)) return hr;
  return tvq::UnregisterCaptureDevice();
}
