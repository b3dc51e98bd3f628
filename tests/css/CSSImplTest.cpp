// The string set, the node chain and the symbol table's sorting, filtering and lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "css/CSSImpl.h"

namespace kel {
namespace {

using Names = std::vector<std::string>;

class FixedPos : public TKibitzPosSource {
 public:
  TKibitzPos Pos = TKibitzPos::kpProperty;
  TKibitzPos GetKibitzPos() const override { return Pos; }
};

Names Visible(const TCSSSymbolTable& T) {
  Names R;
  for (int32_t I = 0; I < T.GetKibitzPropCount(); ++I) R.push_back(T.GetKibitzProp(I));
  return R;
}

TEST(CSSSymbolTable, FilterRangesNarrowAndReset) {
  FixedPos P;
  TCSSSymbolTable T(&P);
  for (const char* N : {"cursor", "background", "color", "border", "zoom", "Z-index"}) T.NewProperty(N);
  T.AlphaSort();
  T.ResetKibitz();
  const std::pair<const char*, Names> Steps[] = {
      {"c", {"color", "cursor"}},
      {"cu", {"cursor"}},
      {"c", {"color", "cursor"}},
      {"C", {"color", "cursor"}},
      {"zz", {}},
      {"z", {"Z-index", "zoom"}},
      {"", {"background", "border", "color", "cursor", "Z-index", "zoom"}},
      {"q", {}},
      {"b", {"background", "border"}},
  };
  for (const auto& [F, Expected] : Steps) {
    T.SetFilter(F);
    EXPECT_EQ(Visible(T), Expected) << F;
  }
  T.SetFilter("z");
  EXPECT_EQ(T.GetFilter(), "Z") << "a final z is kept as Z";
  T.SetFilter("c");
  const std::pair<const char*, int32_t> Finds[] = {{"co", 0}, {"cp", 1}, {"zz", -1}, {"a", 0}};
  for (const auto& [S, Index] : Finds) EXPECT_EQ(T.FindIdent(S), Index) << S;
  P.Pos = TKibitzPos::kpRule;
  EXPECT_EQ(T.FindIdent("co"), -1) << "no list outside names and values";
}

TEST(CSSSymbolTable, TheMostUsedComeFirstAndPrefixedNamesOnceADashIsTyped) {
  FixedPos P;
  TCSSSymbolTable T(&P);
  for (const auto& [N, Relevance] : std::vector<std::pair<const char*, int>>{
           {"direction", 51}, {"display", 96}, {"d", 50}, {"-webkit-box-shadow", 50}, {"color", 95}})
    T.NewProperty(N)->Relevance = Relevance;
  T.LookupProperty("-webkit-box-shadow")->Vendor = true;
  T.AlphaSort();
  T.ResetKibitz();
  const std::pair<const char*, Names> Steps[] = {
      {"", {"display", "color", "direction", "d"}},
      {"d", {"display", "direction", "d"}},
      {"-", {"-webkit-box-shadow"}},
  };
  for (const auto& [F, Expected] : Steps) {
    T.SetFilter(F);
    EXPECT_EQ(Visible(T), Expected) << F;
  }
  T.SetFilter("d");
  EXPECT_EQ(T.FindIdent("di"), 0) << "display, the most used";
  EXPECT_EQ(T.FindIdent("dir"), 1);
}

TEST(CSSSymbolTable, ValuesAreSortedOnFirstUseAndShowTheirEditors) {
  FixedPos P;
  P.Pos = TKibitzPos::kpExpr;
  TCSSSymbolTable T(&P);
  TCSSProperty* Width = T.NewProperty("width");
  for (const char* N : {"inherit", "auto", "length"}) Width->AddValue(T.NewValue(N));
  Width->AddValue(T.LookupValue("auto"));
  T.LookupValue("length")->Kind = TCSSValueKind::cssVkType;
  EXPECT_EQ(Width->GetValueCount(), 3) << "each value once";
  EXPECT_EQ(T.GetKibitzValueCount(), 0) << "no property, no values";
  T.SetKibitzProperty(Width);
  T.SetFilter("");
  Names V;
  for (int32_t I = 0; I < T.GetKibitzValueCount(); ++I) V.push_back(T.GetKibitzValue(I));
  EXPECT_EQ(V, (Names{"auto", "inherit", "length..."}));
  T.SetFilter("in");
  EXPECT_EQ(T.GetKibitzValueCount(), 1);
  EXPECT_EQ(T.GetKibitzValue(0), "inherit");
  T.ResetKibitz();
  EXPECT_EQ(Width->GetKibitzValueCount(), 3) << "the property's range is full again";
  EXPECT_EQ(T.GetKibitzProperty(), nullptr);
}

// The generic families open font-family's list; a typed prefix lists one
// alphabetical run, which is what the ranges of the filter need.
TEST(CSSSymbolTable, LeadingValuesOpenTheUnfilteredList) {
  FixedPos P;
  P.Pos = TKibitzPos::kpExpr;
  TCSSSymbolTable T(&P);
  TCSSProperty* Family = T.NewProperty("font-family");
  for (const char* N : {"Source Sans", "serif", "Arial", "monospace", "sans-serif", "calc()"})
    Family->AddValue(T.NewValue(N));
  for (const char* N : {"serif", "monospace", "sans-serif"}) Family->Lead.push_back(T.LookupValue(N));
  const auto Shown = [&T] {
    Names V;
    for (int32_t I = 0; I < T.GetKibitzValueCount(); ++I) V.push_back(T.GetKibitzValue(I));
    return V;
  };
  T.SetKibitzProperty(Family);
  T.SetFilter("");
  EXPECT_EQ(Shown(), (Names{"monospace", "sans-serif", "serif", "Arial", "calc()", "Source Sans"}));
  const std::pair<const char*, Names> Filters[] = {
      {"s", {"sans-serif", "serif", "Source Sans"}},
      {"se", {"serif"}},
      {"", {"monospace", "sans-serif", "serif", "Arial", "calc()", "Source Sans"}},
      {"a", {"Arial"}},
      {"m", {"monospace"}},
  };
  for (const auto& [Filter, Expected] : Filters) {
    T.SetFilter(Filter);
    EXPECT_EQ(Shown(), Expected) << '"' << Filter << '"';
  }
}

}  // namespace
}  // namespace kel
