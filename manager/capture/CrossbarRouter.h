#pragma once

#include <strmif.h>

#include "manager/capture/CameraPrompt.h"

namespace tvq {

// The crossbar in front of a capture device: the user picks an output pin and an input pin, and
// both that pair and the related pair the crossbar reports are routed. Keeps the pin counts and
// the choice after routing.
//
// Threads: the GUI thread only.
class CrossbarRouter {
 public:
  // Asks about each output pin (Yes/No/Cancel), then each input pin (Yes/No), naming deviceName
  // in the captions, and routes. False on Cancel, on No throughout, or when the crossbar refuses
  // a route (reported through prompt).
  bool Route(IAMCrossbar& crossbar, CameraPrompt& prompt, const wchar_t* deviceName);
  // Routes without asking: the given output and input pins, or for -1 the first video pin of
  // that direction, and their related pins where the crossbar allows it. False when a pin is out
  // of range or the crossbar refuses the video route.
  bool RouteQuietly(IAMCrossbar& crossbar, long outputPin, long inputPin, CameraPrompt& prompt);

  // The display name of a crossbar connector type (PhysicalConnectorType).
  static const wchar_t* PhysicalTypeName(long type);

  long OutputPinCount() const { return m_outputPinCount; }
  long ChosenOutputPin() const { return m_chosenOutputPin; }
  long RelatedOutputPin() const { return m_relatedOutputPin; }
  long InputPinCount() const { return m_inputPinCount; }
  long ChosenInputPin() const { return m_chosenInputPin; }
  long RelatedInputPin() const { return m_relatedInputPin; }

 private:
  static long FirstVideoPin(IAMCrossbar& crossbar, bool input, long count);
  bool ChoosePin(IAMCrossbar& crossbar, const CameraPrompt& prompt, const wchar_t* deviceName,
                 bool input);

  long m_outputPinCount = 0;
  long m_chosenOutputPin = 0;
  long m_relatedOutputPin = 0;
  long m_inputPinCount = 0;
  long m_chosenInputPin = 0;
  long m_relatedInputPin = 0;
};

}  // namespace tvq
