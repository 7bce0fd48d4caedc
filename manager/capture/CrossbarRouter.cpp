#include "manager/capture/CrossbarRouter.h"

#include <string>

#include "manager/capture/CaptureText.h"

namespace tvq {

namespace {

constexpr size_t kPinTextUnits = 1024;

}  // namespace

bool CrossbarRouter::Route(IAMCrossbar& crossbar, CameraPrompt& prompt, const wchar_t* deviceName) {
  m_outputPinCount = -1;
  m_inputPinCount = -1;
  crossbar.get_PinCounts(&m_outputPinCount, &m_inputPinCount);
  if (!ChoosePin(crossbar, prompt, deviceName, false) ||
      !ChoosePin(crossbar, prompt, deviceName, true)) {
    return false;
  }
  // The chosen pair routes the picture; the related pair routes the sound that goes with it.
  HRESULT hr = crossbar.CanRoute(m_chosenOutputPin, m_chosenInputPin);
  if (hr != S_OK) return prompt.Report(hr);
  hr = crossbar.CanRoute(m_relatedOutputPin, m_relatedInputPin);
  if (hr != S_OK) return prompt.Report(hr);
  hr = crossbar.Route(m_chosenOutputPin, m_chosenInputPin);
  if (hr != S_OK) return prompt.Report(hr);
  hr = crossbar.Route(m_relatedOutputPin, m_relatedInputPin);
  if (hr != S_OK) return prompt.Report(hr);
  return true;
}

bool CrossbarRouter::RouteQuietly(IAMCrossbar& crossbar, long outputPin, long inputPin,
                                  CameraPrompt& prompt) {
  m_outputPinCount = -1;
  m_inputPinCount = -1;
  crossbar.get_PinCounts(&m_outputPinCount, &m_inputPinCount);
  if (outputPin < 0) outputPin = FirstVideoPin(crossbar, false, m_outputPinCount);
  if (inputPin < 0) inputPin = FirstVideoPin(crossbar, true, m_inputPinCount);
  if (outputPin < 0 || outputPin >= m_outputPinCount || inputPin < 0 ||
      inputPin >= m_inputPinCount) {
    return false;
  }
  long type = 0;
  m_chosenOutputPin = outputPin;
  m_chosenInputPin = inputPin;
  m_relatedOutputPin = -1;
  m_relatedInputPin = -1;
  crossbar.get_CrossbarPinInfo(FALSE, outputPin, &m_relatedOutputPin, &type);
  crossbar.get_CrossbarPinInfo(TRUE, inputPin, &m_relatedInputPin, &type);
  HRESULT hr = crossbar.CanRoute(outputPin, inputPin);
  if (hr == S_OK) hr = crossbar.Route(outputPin, inputPin);
  if (hr != S_OK) return prompt.Report(hr);
  // The sound that goes with the picture, where there is any: its route is no reason to fail.
  if (crossbar.CanRoute(m_relatedOutputPin, m_relatedInputPin) == S_OK) {
    crossbar.Route(m_relatedOutputPin, m_relatedInputPin);
  }
  return true;
}

// Video connector types are numbered below the audio ones (PhysConn_Audio_Tuner, 0x1000).
long CrossbarRouter::FirstVideoPin(IAMCrossbar& crossbar, bool input, long count) {
  for (long i = 0; i < count; ++i) {
    long related = -1;
    long type = -1;
    if (SUCCEEDED(crossbar.get_CrossbarPinInfo(input ? TRUE : FALSE, i, &related, &type)) &&
        type >= 0 && type < PhysConn_Audio_Tuner) {
      return i;
    }
  }
  return -1;
}

// Asks about each crossbar pin of one direction until one is answered Yes. Output pins can be
// cancelled; input pins are Yes or No only.
bool CrossbarRouter::ChoosePin(IAMCrossbar& crossbar, const CameraPrompt& prompt,
                               const wchar_t* deviceName, bool input) {
  const long count = input ? m_inputPinCount : m_outputPinCount;
  const std::wstring caption = FitText(
      std::wstring(input ? L"入力ピンの選択（" : L"出力ピンの選択（") +
          (deviceName != nullptr ? deviceName : L"") + L"）",
      kPinTextUnits);
  for (long i = 0; i < count; ++i) {
    long related = -1;
    long type = -1;
    crossbar.get_CrossbarPinInfo(input ? TRUE : FALSE, i, &related, &type);
    const std::wstring question = FitText(
        std::wstring(input ? L"入力ピン（" : L"出力ピン（") + std::to_wstring(i + 1) + L"/" +
            std::to_wstring(count) + L"）: " + PhysicalTypeName(type) + L" を選択しますか？\n" +
            (input ? L"Related: " : L"関連ピン: ") + std::to_wstring(related),
        kPinTextUnits);
    const int answer = prompt.Ask(question.c_str(), caption.c_str(),
                                  (input ? MB_YESNO : MB_YESNOCANCEL) | MB_ICONQUESTION);
    if (answer == IDYES) {
      (input ? m_chosenInputPin : m_chosenOutputPin) = i;
      (input ? m_relatedInputPin : m_relatedOutputPin) = related;
      return true;
    }
    if (!input && answer != IDNO) return false;
  }
  return false;
}

const wchar_t* CrossbarRouter::PhysicalTypeName(long type) {
  switch (type) {
    case PhysConn_Video_Tuner: return L"Video Tuner";
    case PhysConn_Video_Composite: return L"Video Composite";
    case PhysConn_Video_SVideo: return L"S-Video";
    case PhysConn_Video_RGB: return L"Video RGB";
    case PhysConn_Video_YRYBY: return L"Video YRYBY";
    case PhysConn_Video_SerialDigital: return L"Video Serial Digital";
    case PhysConn_Video_ParallelDigital: return L"Video Parallel Digital";
    case PhysConn_Video_SCSI: return L"Video SCSI";
    case PhysConn_Video_AUX: return L"Video AUX";
    case PhysConn_Video_1394: return L"Video 1394";
    case PhysConn_Video_USB: return L"Video USB";
    case PhysConn_Video_VideoDecoder: return L"Video Decoder";
    case PhysConn_Video_VideoEncoder: return L"Video Encoder";
    case PhysConn_Audio_Tuner: return L"Audio Tuner";
    case PhysConn_Audio_Line: return L"Audio Line";
    case PhysConn_Audio_Mic: return L"Audio Microphone";
    case PhysConn_Audio_AESDigital: return L"Audio AES/EBU Digital";
    case PhysConn_Audio_SPDIFDigital: return L"Audio S/PDIF";
    case PhysConn_Audio_SCSI: return L"Audio SCSI";
    case PhysConn_Audio_AUX: return L"Audio AUX";
    case PhysConn_Audio_1394: return L"Audio 1394";
    case PhysConn_Audio_USB: return L"Audio USB";
    case PhysConn_Audio_AudioDecoder: return L"Audio Decoder";
    default: return L"Unknown Type";
  }
}

}  // namespace tvq
