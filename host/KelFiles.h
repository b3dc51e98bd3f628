// File names as the engine meets them: web addresses, Windows paths and
// POSIX paths alike, so both "/" and "\" separate folders.
//
// Example: ExtractFilePath("C:\\site\\page.aspx") == "C:\\site\\",
// ExtractFileName("/a/b/asp.xsd") == "asp.xsd", ExtractFileExt("x/Page.AsCx")
// == ".AsCx", and FileExists("") is false.
#pragma once

#include <string>

namespace kel {

bool FileExists(const std::string& Path);
// The folder part with its final separator; empty without a folder.
std::string ExtractFilePath(const std::string& Path);
std::string ExtractFileName(const std::string& Path);
// The extension of the name with its dot; empty when the name has none.
std::string ExtractFileExt(const std::string& Path);

}  // namespace kel
