#include "host/KelRegistry.h"

#include <ini.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/KelHostAPI.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

struct TSectionValues {
  std::string Section;  // lower case
  bool Found = false;
  std::map<std::string, std::string>* Values;
};

int Collect(void* User, const char* Section, const char* Name, const char* Value) {
  auto* S = static_cast<TSectionValues*>(User);
  if (LowerCase(Section) != S->Section) return 1;
  S->Found = true;
  if (Name) (*S->Values)[LowerCase(Name)] = Value ? Value : "";
  return 1;
}

std::string StripLeadingSeparators(std::string S) {
  size_t I = 0;
  while (I < S.size() && (S[I] == '\\' || S[I] == '/')) ++I;
  S.erase(0, I);
  while (!S.empty() && (S.back() == '\\' || S.back() == '/')) S.pop_back();
  return S;
}

}  // namespace

TKelRegistry::TKelRegistry() {
  if (auto Host = KelHostServices()) {
    FOptionsFileName = Host->GetOptionsFileName();
    FBaseKey = Host->GetBaseRegistryKey();
  }
}

TKelRegistry::TKelRegistry(std::string OptionsFileName, std::string BaseKey)
    : FOptionsFileName(std::move(OptionsFileName)), FBaseKey(std::move(BaseKey)) {}

std::string TKelRegistry::SectionFor(const std::string& Key) const {
  const std::string K = StripLeadingSeparators(Key);
  const std::string Base = StripLeadingSeparators(FBaseKey);
  if (!Base.empty() && StartsWithText(K, Base) && (K.size() == Base.size() || K[Base.size()] == '\\'))
    return StripLeadingSeparators(K.substr(Base.size()));
  return K;
}

bool TKelRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  CloseKey();
  TSectionValues S{LowerCase(SectionFor(Key)), false, &FValues};
  std::string Text;
  // Only a regular file of sane size is read: a FIFO or /dev/zero named as the
  // options file must not hang every request.
  std::error_code Ec;
  if (!FOptionsFileName.empty() && std::filesystem::is_regular_file(FOptionsFileName, Ec) &&
      std::filesystem::file_size(FOptionsFileName, Ec) <= (4u << 20) && !Ec) {
    std::ifstream In(FOptionsFileName, std::ios::binary);
    std::ostringstream Buf;
    Buf << In.rdbuf();
    Text = Buf.str();
  }
  // Values such as "htm;shtml" hold semicolons: only whole-line comments count.
  ini_allow_inline_comments = false;
  // Extension lists can be long; let the line buffer grow instead of cutting.
  ini_use_stack = false;
  ini_allow_realloc = true;
  ini_max_line = 1 << 20;
  if (!Text.empty()) ini_parse_string(Text.c_str(), Collect, &S);
  FOpen = S.Found || CanCreate;
  if (!FOpen) FValues.clear();
  return FOpen;
}

void TKelRegistry::CloseKey() {
  FOpen = false;
  FValues.clear();
}

bool TKelRegistry::ValueExists(const std::string& Name) const {
  return FOpen && FValues.count(LowerCase(Name)) > 0;
}

std::string TKelRegistry::ReadString(const std::string& Name) const {
  if (!FOpen) return {};
  auto It = FValues.find(LowerCase(Name));
  return It == FValues.end() ? std::string() : It->second;
}

}  // namespace kel
