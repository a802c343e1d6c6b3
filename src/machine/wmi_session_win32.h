// The COM and WMI state of the process: COM is started once, before WinMain,
// and each property read connects, walks the class's instances and lets go of
// every interface before it returns.
#pragma once

#include "platform/windows_api.h"

#include <stdint.h>
#include <wbemcli.h>

#include "machine/property_text.h"

namespace machine {

class WmiSession {
 public:
  // Starts COM for the apartment-threaded model and sets the process's COM
  // security; `usable` records whether both succeeded.
  WmiSession();
  // Releases nothing (nothing is held between reads) and leaves COM started.
  virtual ~WmiSession();

  // 1 when the last instance of `className` examined has `propertyName`
  // (matched exactly) with a string value; its property text is then in
  // `outText`. 0 on every failure; `outText` then means nothing. A value that
  // is not a string counts as the property not being found.
  int ReadWmiProperty(const wchar_t* className, const wchar_t* propertyName,
                      char (&outText)[kPropertyTextSize]);

 private:
  // The one session lives in static storage and is never deleted. The deleting
  // destructor that a virtual destructor brings calls this one instead of the
  // library's global operator delete, which would pull the heap into the program.
  static void operator delete(void*) {}

  int WalkInstances(const wchar_t* className, const wchar_t* propertyName,
                    char (&outText)[kPropertyTextSize]);
  int LookUpInInstance(BSTR path, const wchar_t* propertyName, char (&outText)[kPropertyTextSize]);

  IWbemServices* services;
  IWbemLocator* locator;
  int32_t usable;
};

// The one session, constructed during static initialisation.
extern WmiSession g_wmiSession;

}  // namespace machine
