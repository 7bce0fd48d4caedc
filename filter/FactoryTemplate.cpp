#include "filter/FactoryTemplate.h"

#include <uuids.h>

#include "filter/CTVQSourceFilter.h"
#include "filter/FilterIdentity.h"

namespace tvq {
namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};

// The mapper's record wants a writable name; it only reads it.
const AMOVIESETUP_PIN kSetupPins[] = {{const_cast<LPWSTR>(kSetupPinName), FALSE, TRUE, FALSE,
                                       FALSE, &CLSID_NULL, nullptr, 1, kPinTypes}};

const AMOVIESETUP_FILTER kSetupFilter = {&CLSID_TessavueFilter, kFilterName, MERIT_DO_NOT_USE, 1,
                                         kSetupPins};

const REGPINMEDIUM kCaptureMediums[] = {{kKsMediumSetStandard, 0, 0}};

const REGFILTERPINS2 kCapturePins[] = {{REG_PINFLAG_B_OUTPUT, 1, 1, kPinTypes, 1, kCaptureMediums,
                                        &PIN_CATEGORY_CAPTURE}};

REGFILTER2 MakeCaptureRegistration() {
  REGFILTER2 rf2{};
  rf2.dwVersion = 2;
  rf2.dwMerit = MERIT_DO_NOT_USE;
  rf2.cPins2 = 1;
  rf2.rgPins2 = kCapturePins;
  return rf2;
}

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {kFilterName, &CLSID_TessavueFilter, CTVQSourceFilter::CreateInstance, nullptr, &kSetupFilter},
};
const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

const REGFILTER2 g_CaptureRegistration = MakeCaptureRegistration();

}  // namespace tvq
