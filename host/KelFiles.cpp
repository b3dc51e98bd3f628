#include "host/KelFiles.h"

#include <filesystem>
#include <system_error>

namespace kel {

namespace {
size_t NameStart(const std::string& Path) {
  const size_t Sep = Path.find_last_of("/\\");
  return Sep == std::string::npos ? 0 : Sep + 1;
}
}  // namespace

bool FileExists(const std::string& Path) {
  std::error_code Ec;
  return !Path.empty() && std::filesystem::is_regular_file(Path, Ec);
}

std::string ExtractFilePath(const std::string& Path) { return Path.substr(0, NameStart(Path)); }

std::string ExtractFileName(const std::string& Path) { return Path.substr(NameStart(Path)); }

std::string ExtractFileExt(const std::string& Path) {
  const size_t Dot = Path.rfind('.');
  return Dot == std::string::npos || Dot < NameStart(Path) ? std::string() : Path.substr(Dot);
}

}  // namespace kel
