#include "completion/MLInsightPackage.h"

#include <map>
#include <string>

#include "completion/HTMLCodCmplt.h"
#include "completion/HTMReg.h"
#include "css/CSSCodCmplt.h"

namespace kel {

namespace {

void Nothing() {}

// Each unit starts and stops once, however often the package is loaded.
std::map<std::string, int>& Counters() {
  static std::map<std::string, int> C;
  return C;
}

}  // namespace

const std::vector<TPackageUnit>& GetPackageInfoTable() {
  static const std::vector<TPackageUnit> Units = {
      {"MLParserUtils", Nothing, Nothing},
      {"DTDParser", Nothing, Nothing},
      {"XSDReader", Nothing, Nothing},
      {"MLParser", Nothing, Nothing},
      // The symbol manager is never freed: it lives until the process ends.
      {"HTMLCodCmplt", Nothing, ReleaseMarkupLanguageManager},
      {"CSSImpl", Nothing, Nothing},
      {"CSSUnitEditor", Nothing, Nothing},
      {"CSSSchemaLoader", Nothing, Nothing},
      {"CSSParser", Nothing, Nothing},
      {"CSSCodCmplt", Nothing, ReleaseCSSLanguageManager},
      {"HTMReg", Nothing, HTMRegFinalize},
  };
  return Units;
}

void PackageLoad() {
  for (const auto& U : GetPackageInfoTable())
    if (Counters()[U.Name]++ == 0) U.Initialize();
}

void PackageUnload() {
  const auto& Units = GetPackageInfoTable();
  for (auto It = Units.rbegin(); It != Units.rend(); ++It) {
    int& C = Counters()[It->Name];
    if (C > 0 && --C == 0) It->Finalize();
  }
}

}  // namespace kel
