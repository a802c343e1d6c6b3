// Linked only into unpacker_faults.exe. During ordinary static initialisation,
// which runs after the call table was filled, this reads UNPACKER_FAULTS and
// puts a failing stand-in into each table entry that it names:
//
//   UNPACKER_FAULTS=ReadFile:1          the 1st ReadFile fails
//   UNPACKER_FAULTS=ReadFile:3+         the 3rd and every later one fail
//   UNPACKER_FAULTS=WriteFile:2@112     the 2nd fails with last error 112
//   UNPACKER_FAULTS=SHFileOperationA:1=0   the 1st returns 0 and does nothing
//   UNPACKER_FAULTS=GetTempPathA:1,ReadFile:2   several rules
//
// A failing call does not reach Windows: it returns the entry's failure value
// (or the rule's "=value"), sets every DWORD it hands back through a pointer
// (bytes read or written) to 0 and every pointer it hands back to null, and
// sets the last error (default 31, ERROR_GEN_FAILURE). A variable that cannot
// be understood ends the process at once with exit code kBadFaultSpecExitCode,
// so that a mistyped rule fails the test instead of passing silently.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <type_traits>

#include "platform/win32_calls.h"

namespace {

constexpr UINT kBadFaultSpecExitCode = 86;
constexpr DWORD kDefaultError = ERROR_GEN_FAILURE;
constexpr int kMaxRules = 16;

struct Rule {
  long first;   // 1-based number of the first failing call
  bool onward;  // every call from `first` on, not only that one
  DWORD error;
  bool hasResult;  // return `result` instead of the entry's failure value
  long result;
};

struct EntryState {
  long calls;
  int ruleCount;
  Rule rules[kMaxRules];
};

// The rule that makes the current call fail, or null; counts the call either way.
const Rule* RuleForNextCall(EntryState& state) {
  const long number = ++state.calls;
  for (int i = 0; i < state.ruleCount; ++i) {
    const Rule& rule = state.rules[i];
    if (number == rule.first || (rule.onward && number > rule.first)) return &rule;
  }
  return nullptr;
}

template <typename T>
void ClearOutput(T) {}
inline void ClearOutput(DWORD* count) {
  if (count != nullptr) *count = 0;
}
inline void ClearOutput(void** object) {
  if (object != nullptr) *object = nullptr;
}

template <typename Result>
Result FromInteger(long value) {
  if constexpr (std::is_pointer_v<Result>)
    return reinterpret_cast<Result>(static_cast<intptr_t>(value));
  else
    return static_cast<Result>(value);
}

// One stand-in per table entry, made from the entry's own function type.
template <auto Entry, typename Fn>
struct Injected;

template <auto Entry, typename Result, typename... Args>
struct Injected<Entry, Result(WINAPI*)(Args...)> {
  static inline Result(WINAPI* original)(Args...);
  static inline Result failure;
  static inline EntryState state;

  static Result WINAPI Call(Args... args) {
    const Rule* rule = RuleForNextCall(state);
    if (rule == nullptr) return original(args...);
    (ClearOutput(args), ...);
    SetLastError(rule->error);
    return rule->hasResult ? FromInteger<Result>(rule->result) : failure;
  }

  static EntryState* Install(Result failureValue) {
    failure = failureValue;
    original = platform::g_calls.*Entry;
    platform::g_calls.*Entry = &Call;
    return &state;
  }
};

struct Injectable {
  const char* name;
  EntryState* (*install)();
};

#define INJECTABLE(name, failureValue)                                                               \
  Injectable {                                                                                       \
#name, [] {                                                                                        \
      return Injected<&platform::Win32Calls::name, decltype(platform::Win32Calls::name)>::Install( \
          failureValue);                                                                               \
    } \
  }

// One line per entry of platform::Win32Calls: its name and what it returns
// when it fails.
const Injectable kInjectables[] = {
    INJECTABLE(CreateFileA, INVALID_HANDLE_VALUE),
    INJECTABLE(ReadFile, FALSE),
    INJECTABLE(GetTempPathA, 0),
    INJECTABLE(WriteFile, FALSE),
    INJECTABLE(GetTempFileNameA, 0),
    INJECTABLE(CreateDirectoryA, FALSE),
    INJECTABLE(SHFileOperationA, ERROR_ACCESS_DENIED),
    INJECTABLE(FindFirstFileA, INVALID_HANDLE_VALUE),
    INJECTABLE(CoCreateInstance, E_FAIL),
    INJECTABLE(DialogBoxParamA, -1),
};

[[noreturn]] void RefuseSpec(const char* spec) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  constexpr char kPrefix[] = "unpacker_faults: cannot use UNPACKER_FAULTS=";
  WriteFile(err, kPrefix, sizeof kPrefix - 1, &written, nullptr);
  WriteFile(err, spec, static_cast<DWORD>(strlen(spec)), &written, nullptr);
  WriteFile(err, "\n", 1, &written, nullptr);
  ExitProcess(kBadFaultSpecExitCode);
}

EntryState* InstallByName(const char* name, size_t length) {
  for (const Injectable& injectable : kInjectables) {
    if (strlen(injectable.name) == length && strncmp(injectable.name, name, length) == 0) {
      static EntryState* installed[sizeof kInjectables / sizeof kInjectables[0]];
      EntryState*& slot = installed[&injectable - kInjectables];
      if (slot == nullptr) slot = injectable.install();
      return slot;
    }
  }
  return nullptr;
}

// Parses "Name:N[+][@error][=result]" rules separated by commas.
void InstallFaults() {
  char spec[1024];
  const DWORD length = GetEnvironmentVariableA("UNPACKER_FAULTS", spec, sizeof spec);
  if (length == 0) return;
  if (length >= sizeof spec) RefuseSpec("(longer than 1023 characters)");

  for (const char* p = spec; *p != '\0';) {
    const char* colon = strchr(p, ':');
    if (colon == nullptr) RefuseSpec(spec);
    EntryState* state = InstallByName(p, static_cast<size_t>(colon - p));
    if (state == nullptr || state->ruleCount == kMaxRules) RefuseSpec(spec);

    char* end = nullptr;
    Rule rule = {strtol(colon + 1, &end, 10), false, kDefaultError, false, 0};
    if (end == colon + 1 || rule.first < 1) RefuseSpec(spec);
    if (*end == '+') {
      rule.onward = true;
      ++end;
    }
    if (*end == '@') {
      const char* code = end + 1;
      rule.error = strtoul(code, &end, 10);
      if (end == code) RefuseSpec(spec);
    }
    if (*end == '=') {
      const char* value = end + 1;
      rule.hasResult = true;
      rule.result = strtol(value, &end, 0);
      if (end == value) RefuseSpec(spec);
    }
    if (*end != ',' && *end != '\0') RefuseSpec(spec);
    state->rules[state->ruleCount++] = rule;
    p = *end == ',' ? end + 1 : end;
  }
}

struct FaultInstaller {
  FaultInstaller() { InstallFaults(); }
} g_faultInstaller;

}  // namespace
