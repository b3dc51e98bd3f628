// The host's editor-type registrations: which file extensions belong to an
// editor type. The style-sheet manager asks it whether it handles a file:
// GetExtensionsForTypeID("Quorvel.EditOptions.StyleSheet") == "css", and
// MatchExtensions("site/Main.CSS", "css") is true.
//
// A user adds extensions in the options file:
//
//   [Editor Types]
//   Quorvel.EditOptions.StyleSheet=css;scss
#pragma once

#include <string>

namespace kel {

class TEnvironmentOptions {
 public:
  // Semicolon-separated extensions without dots; empty for an unknown type.
  static std::string GetExtensionsForTypeID(const std::string& TypeID);
  // True when the file's extension (letter case aside) is one of the list's;
  // entries may be written "css", ".css" or "*.css".
  static bool MatchExtensions(const std::string& FileName, const std::string& Extensions);
};

// The options-file section that overrides the defaults.
inline constexpr const char* kelEditorTypesKey = "Editor Types";

}  // namespace kel
