// The package entry: the table of the package's units with their start-up
// and shut-down, run in table order on load and in reverse on unload, each
// once. A front end loads the package, calls IDERegister, and unloads it
// when it stops.
//
// Example: PackageLoad(); IDERegister(); ... PackageUnload() leaves the host
// without our managers and drops the markup manager.
#pragma once

#include <vector>

namespace kel {

struct TPackageUnit {
  const char* Name;
  void (*Initialize)();
  void (*Finalize)();
};

const std::vector<TPackageUnit>& GetPackageInfoTable();
void PackageLoad();
void PackageUnload();

}  // namespace kel
