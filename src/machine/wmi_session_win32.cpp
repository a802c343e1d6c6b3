#include "machine/wmi_session_win32.h"

#include <wchar.h>

#include "platform/win32_calls.h"

namespace machine {
namespace {

constexpr wchar_t kNamespacePath[] = L"\\\\.\\root\\cimv2";
constexpr wchar_t kRelativePathProperty[] = L"__RELPATH";
constexpr LONG kInstanceWaitMs = 2000;

// Reads a string property into property text. Anything but a string is not
// taken as text. The value is cleared again, so its string does not leak.
int ReadStringProperty(IWbemClassObject* object, const wchar_t* propertyName,
                       char (&outText)[kPropertyTextSize]) {
  VARIANT value;
  VariantInit(&value);
  if (FAILED(object->Get(propertyName, 0, &value, nullptr, nullptr))) return 0;
  int read = 0;
  if (value.vt == VT_BSTR) {
    // A null BSTR is the empty string.
    const wchar_t* units = value.bstrVal != nullptr ? value.bstrVal : L"";
    ConvertToPropertyText(reinterpret_cast<const char16_t*>(units), outText);
    read = 1;
  }
  VariantClear(&value);
  return read;
}

}  // namespace

// Default priority: constructed after the call table and the DLL search
// restriction (both priority 101), so COM starts with the restricted search
// order already in place.
WmiSession g_wmiSession;

WmiSession::WmiSession() : services(nullptr), locator(nullptr), usable(1) {
  if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) != S_OK) usable = 0;
  if (CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_CONNECT,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr) != S_OK)
    usable = 0;
}

WmiSession::~WmiSession() = default;

int WmiSession::ReadWmiProperty(const wchar_t* className, const wchar_t* propertyName,
                                char (&outText)[kPropertyTextSize]) {
  if (!usable) return 0;
  int result = 0;
  if (platform::g_calls.CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                         reinterpret_cast<void**>(&locator)) == S_OK) {
    const BSTR namespacePath = SysAllocString(kNamespacePath);
    const HRESULT connected =
        locator->ConnectServer(namespacePath, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
    SysFreeString(namespacePath);
    if (connected == S_OK) result = WalkInstances(className, propertyName, outText);
  }
  if (services != nullptr) {
    services->Release();
    services = nullptr;
  }
  if (locator != nullptr) {
    locator->Release();
    locator = nullptr;
  }
  return result;
}

int WmiSession::WalkInstances(const wchar_t* className, const wchar_t* propertyName,
                              char (&outText)[kPropertyTextSize]) {
  IEnumWbemClassObject* instances = nullptr;
  const BSTR classNameText = SysAllocString(className);
  const HRESULT started = services->CreateInstanceEnum(classNameText, 0, nullptr, &instances);
  SysFreeString(classNameText);
  if (FAILED(started) || instances == nullptr) return 0;

  int result = 0;
  VARIANT path;
  VariantInit(&path);
  for (;;) {
    IWbemClassObject* instance = nullptr;
    ULONG returned = 0;
    if (FAILED(instances->Next(kInstanceWaitMs, 1, &instance, &returned)) || returned != 1) break;
    VariantClear(&path);
    const HRESULT read = instance->Get(kRelativePathProperty, 0, &path, nullptr, nullptr);
    instance->Release();
    // A path that is not a string names no object to fetch: skipped like an
    // unreadable one.
    if (FAILED(read) || path.vt != VT_BSTR) continue;
    result = LookUpInInstance(path.bstrVal, propertyName, outText);
  }
  // The last instance's path is freed too, not only the ones before it.
  VariantClear(&path);
  instances->Release();
  return result;
}

int WmiSession::LookUpInInstance(BSTR path, const wchar_t* propertyName, char (&outText)[kPropertyTextSize]) {
  IWbemClassObject* object = nullptr;
  if (FAILED(services->GetObject(path, 0, nullptr, &object, nullptr)) || object == nullptr) return 0;
  SAFEARRAY* names = nullptr;
  if (FAILED(object->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names)) || names == nullptr) {
    object->Release();
    return 0;
  }

  int outcome = 0;
  LONG lower = 0;
  LONG upper = 0;
  // Bounds that cannot be read leave nothing to walk.
  const bool bounded =
      SUCCEEDED(SafeArrayGetLBound(names, 1, &lower)) && SUCCEEDED(SafeArrayGetUBound(names, 1, &upper));
  const size_t nameLength = wcslen(propertyName);
  for (LONG index = lower; bounded && index <= upper; ++index) {
    BSTR name = nullptr;
    if (FAILED(SafeArrayGetElement(names, &index, &name))) continue;
    // Unit for unit over the whole BSTR, so a name with a NUL inside it is no match.
    if (SysStringLen(name) == nameLength && wmemcmp(name, propertyName, nameLength) == 0 &&
        ReadStringProperty(object, propertyName, outText))
      outcome = 1;
    SysFreeString(name);
  }
  SafeArrayDestroy(names);
  object->Release();
  return outcome;
}

}  // namespace machine
