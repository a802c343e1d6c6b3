// Fake WMI for tests of the reader: a locator, services, an enumerator and
// class objects that behave as WMI does where the reader relies on it, count
// the references handed out and note the calls made. FakeWmiTest hands them
// to the process's one WmiSession through the call table's CoCreateInstance.
#pragma once

#include <gtest/gtest.h>
#include <wchar.h>

#include <memory>
#include <string>
#include <vector>

#include "machine/wmi_session_win32.h"
#include "platform/win32_calls.h"

namespace fake_wmi {

constexpr wchar_t kClass[] = L"Win32_ComputerSystem";

// Counts the references the reader holds on one fake; none may stay held and
// none may be dropped twice.
template <typename Interface>
class Counted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs_ < 0) ADD_FAILURE() << "released more often than handed out";
    return static_cast<ULONG>(refs_ < 0 ? 0 : refs_);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  long refs() const { return refs_; }

 private:
  long refs_ = 0;
};

struct FakeProperty {
  std::wstring name;
  VARTYPE type;  // VT_BSTR, or another type to hand back a value that is no string
  std::wstring text;
  bool readFails = false;
};

inline FakeProperty Text(const std::wstring& name, const std::wstring& text) { return {name, VT_BSTR, text}; }

struct FakeInstance {
  std::wstring path;
  std::vector<FakeProperty> properties;
  bool late = false;  // does not come within the wait
  bool pathUnreadable = false;
};

// An object of the class. An enumerated instance answers only "__RELPATH";
// the object fetched by that path answers its properties like WMI: Get ignores
// letter case, and GetNames lists system properties unless told not to.
class FakeObject final : public Counted<IWbemClassObject> {
 public:
  FakeObject(const FakeInstance& instance, bool fetchedByPath)
      : instance_(instance), fetched_(fetchedByPath) {}

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE*, LONG*) override {
    EXPECT_EQ(flags, 0);
    if (_wcsicmp(name, L"__RELPATH") == 0) {
      if (instance_.pathUnreadable) return WBEM_E_FAILED;
      value->vt = VT_BSTR;
      value->bstrVal = SysAllocString(instance_.path.c_str());
      return S_OK;
    }
    if (!fetched_) return WBEM_E_NOT_FOUND;
    for (const FakeProperty& property : instance_.properties) {
      if (_wcsicmp(property.name.c_str(), name) != 0) continue;
      if (property.readFails) return WBEM_E_FAILED;
      value->vt = property.type;
      if (property.type == VT_BSTR)
        value->bstrVal = SysAllocStringLen(property.text.data(), static_cast<UINT>(property.text.size()));
      if (property.type == VT_I4) value->lVal = 42;
      return S_OK;
    }
    return WBEM_E_NOT_FOUND;
  }

  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR qualifier, LONG flags, VARIANT* qualifierValue,
                                     SAFEARRAY** names) override {
    EXPECT_EQ(qualifier, nullptr);
    EXPECT_EQ(qualifierValue, nullptr);
    if (!fetched_) return WBEM_E_FAILED;
    std::vector<std::wstring> listed;
    if ((flags & WBEM_FLAG_NONSYSTEM_ONLY) == 0) listed = {L"__CLASS", L"__RELPATH"};
    for (const FakeProperty& property : instance_.properties) listed.push_back(property.name);
    *names = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(listed.size()));
    for (LONG i = 0; i < static_cast<LONG>(listed.size()); ++i) {
      const BSTR name = SysAllocStringLen(listed[i].data(), static_cast<UINT>(listed[i].size()));
      SafeArrayPutElement(*names, &i, name);
      SysFreeString(name);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

 private:
  const FakeInstance& instance_;
  bool fetched_;
};

// What the reader asked for, to compare with the calls it must make.
struct CallLog {
  int locatorsCreated = 0;
  int connections = 0;
  int enumerations = 0;
  std::wstring namespacePath;
  std::wstring className;
  std::vector<std::wstring> fetchedPaths;
};

class FakeEnumerator final : public Counted<IEnumWbemClassObject> {
 public:
  FakeEnumerator(const std::vector<FakeInstance>& instances,
                 std::vector<std::unique_ptr<FakeObject>>& objects, bool nextFailsAtEnd)
      : instances_(instances), objects_(objects), nextFailsAtEnd_(nextFailsAtEnd) {}

  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                 ULONG* returned) override {
    EXPECT_EQ(timeout, 2000);
    EXPECT_EQ(count, 1u);
    *returned = 0;
    if (next_ == instances_.size()) return nextFailsAtEnd_ ? WBEM_E_FAILED : WBEM_S_FALSE;
    const FakeInstance& instance = instances_[next_++];
    if (instance.late) return WBEM_S_TIMEDOUT;
    objects_.push_back(std::make_unique<FakeObject>(instance, false));
    objects_.back()->AddRef();
    *objects = objects_.back().get();
    *returned = 1;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

 private:
  const std::vector<FakeInstance>& instances_;
  std::vector<std::unique_ptr<FakeObject>>& objects_;
  bool nextFailsAtEnd_;
  size_t next_ = 0;
};

// The instances of the one class the fake namespace holds, and every fake
// object handed out while reading them.
struct FakeWmi {
  std::vector<FakeInstance> instances;
  bool locatorFails = false;
  bool connectionFails = false;
  bool enumerationFails = false;
  bool nextFailsAtEnd = false;
  CallLog log;
  std::vector<std::unique_ptr<FakeObject>> objects;
  std::vector<std::unique_ptr<FakeEnumerator>> enumerators;
};

class FakeServices final : public Counted<IWbemServices> {
 public:
  explicit FakeServices(FakeWmi& wmi) : wmi_(wmi) {}

  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG flags, IWbemContext* context,
                                               IEnumWbemClassObject** instances) override {
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(SysStringLen(className), wcslen(className)) << "the class name must be a BSTR";
    ++wmi_.log.enumerations;
    wmi_.log.className = className;
    if (wmi_.enumerationFails || wmi_.log.className != kClass) return WBEM_E_INVALID_CLASS;
    wmi_.enumerators.push_back(
        std::make_unique<FakeEnumerator>(wmi_.instances, wmi_.objects, wmi_.nextFailsAtEnd));
    wmi_.enumerators.back()->AddRef();
    *instances = wmi_.enumerators.back().get();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext* context,
                                      IWbemClassObject** object, IWbemCallResult** callResult) override {
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(callResult, nullptr);
    wmi_.log.fetchedPaths.push_back(path);
    for (const FakeInstance& instance : wmi_.instances) {
      if (instance.path != path) continue;
      wmi_.objects.push_back(std::make_unique<FakeObject>(instance, true));
      wmi_.objects.back()->AddRef();
      *object = wmi_.objects.back().get();
      return S_OK;
    }
    return WBEM_E_NOT_FOUND;
  }

  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**,
                                          IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*,
                                            IEnumWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*,
                                             IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*,
                                                    IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                      IEnumWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                           IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                  IEnumWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                       IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                       IWbemClassObject**, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                            IWbemObjectSink*) override {
    return E_NOTIMPL;
  }

 private:
  FakeWmi& wmi_;
};

class FakeLocator final : public Counted<IWbemLocator> {
 public:
  FakeLocator(FakeWmi& wmi, FakeServices& services) : wmi_(wmi), services_(services) {}

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
                                          const BSTR locale, LONG securityFlags, const BSTR authority,
                                          IWbemContext* context, IWbemServices** services) override {
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(password, nullptr);
    EXPECT_EQ(locale, nullptr);
    EXPECT_EQ(securityFlags, 0);
    EXPECT_EQ(authority, nullptr);
    EXPECT_EQ(context, nullptr);
    ++wmi_.log.connections;
    wmi_.log.namespacePath = resource;
    // A failing connection leaves the out pointer as it was, as a careless
    // server may: the reader must not release what it never received.
    if (wmi_.connectionFails) return WBEM_E_ACCESS_DENIED;
    services_.AddRef();
    *services = &services_;
    return S_OK;
  }

 private:
  FakeWmi& wmi_;
  FakeServices& services_;
};

class FakeWmiTest : public testing::Test {
 protected:
  void SetUp() override {
    current = &wmi;
    locator = &locator_;
    original_ = platform::g_calls.CoCreateInstance;
    platform::g_calls.CoCreateInstance = &FakeCoCreateInstance;
  }

  void TearDown() override {
    platform::g_calls.CoCreateInstance = original_;
    ExpectNothingHeld();
  }

  void ExpectNothingHeld() {
    EXPECT_EQ(locator_.refs(), 0) << "locator";
    EXPECT_EQ(services_.refs(), 0) << "services";
    for (const auto& enumerator : wmi.enumerators) EXPECT_EQ(enumerator->refs(), 0) << "enumerator";
    for (const auto& object : wmi.objects) EXPECT_EQ(object->refs(), 0) << "class object";
  }

  FakeWmi wmi;

 private:
  static HRESULT WINAPI FakeCoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context,
                                             REFIID interfaceId, LPVOID* object) {
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_WbemLocator));
    EXPECT_TRUE(IsEqualIID(interfaceId, IID_IWbemLocator));
    EXPECT_EQ(outer, nullptr);
    EXPECT_EQ(context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    ++current->log.locatorsCreated;
    if (current->locatorFails) return REGDB_E_CLASSNOTREG;
    locator->AddRef();
    *object = locator;
    return S_OK;
  }

  static inline FakeWmi* current;
  static inline IWbemLocator* locator;
  FakeServices services_{wmi};
  FakeLocator locator_{wmi, services_};
  decltype(platform::g_calls.CoCreateInstance) original_ = nullptr;
};

}  // namespace fake_wmi
