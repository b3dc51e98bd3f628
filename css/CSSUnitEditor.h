// The value editors of style sheets: list entries such as "length..." or
// "color..." that ask the user for a value instead of inserting their name.
// Unit editors carry the units their dialog offers, in schema order.
//
// Example: a TCSSLengthEditor whose units are em, ex, px has the name
// "length..." and GetUnitList().GetItem(2) == "px".
#pragma once

#include <string>
#include <vector>

#include "css/CSSImpl.h"

namespace kel {

class TCSSColorEditor : public TCSSEditor {
 public:
  TCSSColorEditor() : TCSSEditor("color...") {}
  // The host's web colour dialog.
  bool Execute() override;
};

class TCSSURIEditor : public TCSSEditor {
 public:
  TCSSURIEditor() : TCSSEditor("uri...") {}
  // A file-open dialog; the value is url(path), with file:/// before a drive letter.
  bool Execute() override;
};

// The unit dialog: "Value:" (a number field with a spinner, "0" at first)
// and "Units:" (a drop-down list), OK and Cancel. The host shows it its way.
class TUnitEditorForm {
 public:
  std::string Caption = "Unit";
  std::string ValueEdit = "0";
  std::vector<std::string> UnitCombo;
  int32_t ItemIndex = -1;
  // True on OK; ValueEdit and ItemIndex then hold what was chosen.
  bool ShowModal();
};

class TCSSUnitEditor : public TCSSEditor {
 public:
  TCSSUnitEditor() : TCSSEditor("") {}
  TCSSStringList& GetUnitList() { return Units; }
  // The value followed directly by the chosen unit ("12px").
  bool Execute() override;

 protected:
  TCSSStringList Units;
};

class TCSSAngleEditor : public TCSSUnitEditor {
 public:
  TCSSAngleEditor() { Name = "angle..."; }
};
class TCSSLengthEditor : public TCSSUnitEditor {
 public:
  TCSSLengthEditor() { Name = "length..."; }
};
class TCSSPercentageEditor : public TCSSUnitEditor {
 public:
  TCSSPercentageEditor() { Name = "percentage..."; }
};
class TCSSTimeEditor : public TCSSUnitEditor {
 public:
  TCSSTimeEditor() { Name = "time..."; }
};
class TCSSFrequencyEditor : public TCSSUnitEditor {
 public:
  TCSSFrequencyEditor() { Name = "frequency..."; }
};
class TCSSResolutionEditor : public TCSSUnitEditor {
 public:
  TCSSResolutionEditor() { Name = "resolution..."; }
};
// A share of a grid's free space (fr).
class TCSSFractionEditor : public TCSSUnitEditor {
 public:
  TCSSFractionEditor() { Name = "fraction..."; }
};

}  // namespace kel
