#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <memory>

#include "framework/CBaseObject.h"
#include "framework/CCritSec.h"
#include "framework/CMediaType.h"

class CBaseFilter;

// A pin: the connection protocol (agreeing a media type with the other pin, accepting and
// breaking a connection), pin queries and media type enumeration.
//
// A pin has no reference count of its own: AddRef and Release go to its filter, which deletes
// the pin. Threads: the graph's control threads; *m_pLock (the filter's lock) guards the
// connection (Connect, ReceiveConnection, Disconnect, ConnectionMediaType, SetSink).
// ConnectedTo, QueryPinInfo and QueryDirection take no lock.
class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  // The result is not written; the name is copied (an allocation failure leaves it null).
  CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
           const wchar_t* pinName, PIN_DIRECTION dir);
  ~CBasePin() override;

  TVQ_DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
  STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

  virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
  // Called by the filter's state changes, only on connected pins, under the filter's lock.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }
  virtual HRESULT Run(REFERENCE_TIME /*tStart*/) { return S_OK; }
  // S_OK accepts the type; anything else refuses it.
  virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
  virtual HRESULT SetMediaType(const CMediaType* pmt);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect() { return S_OK; }
  virtual HRESULT CompleteConnect(IPin* /*receivePin*/) { return S_OK; }
  // The pin's preferred types by position: S_OK, VFW_S_NO_MORE_ITEMS past the last one.
  virtual HRESULT GetMediaType(int position, CMediaType* pmt);

  bool IsConnected() const { return m_Connected != nullptr; }
  IPin* GetConnected() const { return m_Connected.Get(); }  // not AddRef'd
  const wchar_t* Name() const { return m_pName.get(); }
  CBaseFilter* Filter() const { return m_pFilter; }

  // IPin
  STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** ppPin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* pDir) override;
  STDMETHODIMP QueryId(LPWSTR* Id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
  // IQualityControl
  STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;
  STDMETHODIMP SetSink(IQualityControl* piqc) override;

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* pmt);
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* pmt, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* pmt);

  std::unique_ptr<wchar_t[]> m_pName;
  Microsoft::WRL::ComPtr<IPin> m_Connected;
  PIN_DIRECTION m_dir;
  CCritSec* m_pLock;                       // not owned: the filter's lock
  CBaseFilter* m_pFilter;                  // not counted: the filter owns this pin
  IQualityControl* m_pQSink = nullptr;     // not counted
  LONG m_TypeVersion = 1;
  CMediaType m_mt;                         // the connection type
  REFERENCE_TIME m_tStart = 0;
  REFERENCE_TIME m_tStop = MAXLONGLONG;
  double m_dRate = 1.0;
};
