// The host's registry, backed by the options file. A key below the host's base
// key is a section named after the rest of its path, so reading
// "<base>\Code Insight" value "Auto Code Completions" looks up
//
//   [Code Insight]
//   Auto Code Completions=False
//
// The file is read afresh each time a key is opened: options take effect
// without a restart.
#pragma once

#include <map>
#include <string>

namespace kel {

class TKelRegistry {
 public:
  // Uses the installed host's base key and options file.
  TKelRegistry();
  TKelRegistry(std::string OptionsFileName, std::string BaseKey);

  // A key that may be created always opens (creating it writes nothing); a key
  // that may not be created opens only when its section is in the file.
  bool OpenKey(const std::string& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::string& Key) { return OpenKey(Key, false); }
  void CloseKey();
  bool ValueExists(const std::string& Name) const;
  // Empty when the value is absent (or no key is open).
  std::string ReadString(const std::string& Name) const;

  // The section that stands for Key: the path below the base key.
  std::string SectionFor(const std::string& Key) const;

 private:
  std::string FOptionsFileName;
  std::string FBaseKey;
  bool FOpen = false;
  // Names folded to lower case, as registry names compare.
  std::map<std::string, std::string> FValues;
};

}  // namespace kel
