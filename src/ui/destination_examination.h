// Deciding whether a typed destination folder text can be used, apart from the
// platform: the four shell path operations and the file search come in through
// PathOperations. The Windows build passes the shell's own functions; the
// portable equivalents below give the same verdicts and are what the unit tests
// run.
#pragma once

namespace ui {

constexpr int kDestinationTextSize = 260;  // 259 bytes and the NUL

// Carried as the system error codes of the verdicts.
enum DestinationVerdict : unsigned {
  kDestinationAccepted = 0,   // ERROR_SUCCESS
  kDestinationInvalid = 123,  // ERROR_INVALID_NAME
  kDestinationExists = 183,   // ERROR_ALREADY_EXISTS
};

class PathOperations {
 public:
  // Non-zero when the text holds no path delimiter (no colon, no backslash).
  virtual int IsFileSpec(const char* text) const = 0;
  // Cuts the text down to its root; 1 (TRUE) when a root remained.
  virtual int StripToRoot(char* text) const = 0;
  // 0 to 25 for a text that begins with a drive letter and a colon, else -1.
  virtual int GetDriveNumber(const char* text) const = 0;
  // Removes one trailing backslash unless the text is a root.
  virtual void RemoveBackslash(char* text) const = 0;
  // Non-zero when a search for the name finds a file or folder.
  virtual int Exists(const char* name) const = 0;

 protected:
  ~PathOperations() = default;
};

// Examines `text` exactly as typed; the first step that decides ends it.
DestinationVerdict ExamineDestination(const char* text, const PathOperations& path);

// True for the first byte of a double-byte character in the ANSI code page.
using LeadByteTest = bool (*)(unsigned char byte);

// The shell's path rules over narrow text in a code page whose lead bytes
// `isLeadByte` names; Exists is left to the caller.
class PortablePathRules : public PathOperations {
 public:
  explicit PortablePathRules(LeadByteTest isLeadByte) : isLeadByte_(isLeadByte) {}
  int IsFileSpec(const char* text) const override;
  int StripToRoot(char* text) const override;
  int GetDriveNumber(const char* text) const override;
  void RemoveBackslash(char* text) const override;

 protected:
  ~PortablePathRules() = default;

 private:
  const char* NextCharacter(const char* at) const;
  bool IsRoot(const char* text) const;
  LeadByteTest isLeadByte_;
};

}  // namespace ui
