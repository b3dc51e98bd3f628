#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/MLTags.h"
#include "symbols/MLSymbolManager.h"

namespace kel {
namespace {

std::vector<std::string> Children(IKelMLTag& T) {
  std::vector<std::string> R;
  for (int32_t I = 0; I < T.GetTagCount(); ++I) R.push_back(T.GetTags(I)->GetName());
  return R;
}

std::vector<std::string> Attributes(IKelMLTag& T) {
  std::vector<std::string> R;
  for (int32_t I = 0; I < T.GetAttributeCount(); ++I) R.push_back(T.GetAttribute(I)->GetName());
  return R;
}

std::vector<std::string> Values(IKelMLTagAttribute& A) {
  std::vector<std::string> R;
  for (int32_t I = 0; I < A.GetCount(); ++I) R.push_back(A.GetValue(I));
  return R;
}

using Names = std::vector<std::string>;

TKelPtr<THTMLTag> TagWithChildren(const Names& ChildNames, TMLSymbolManager* M = nullptr) {
  auto T = MakeKel<THTMLTag>("tr", M, 1);
  for (const auto& N : ChildNames) T->AddTag(MakeKel<THTMLTag>(N, M, 2).get());
  T->AlphaSort();
  T->SetFilter("");
  return T;
}

TKelPtr<THTMLAttribute> AttributeWithValues(const Names& V) {
  auto A = MakeKel<THTMLAttribute>("align", 5);
  for (const auto& N : V) A->AddValue(N);
  return A;
}

// Each step filters the list left by the steps before it.
struct FilterCase {
  const char* Name;
  Names List;
  std::vector<std::pair<std::string, Names>> Steps;
};

const FilterCase FilterCases[] = {
    {"NarrowsThenResetsOnAShorterFilter",
     {"tfoot", "td", "tbody", "table"},
     {{"tab", {"table"}}, {"tb", {"tbody"}}, {"", {"table", "tbody", "td", "tfoot"}}}},
    {"OneLetterAtATime",
     {"a", "abbr", "acronym", "address", "b"},
     {{"a", {"a", "abbr", "acronym", "address"}},
      {"ab", {"abbr"}},
      {"abb", {"abbr"}},
      {"abbx", {}},
      {"abbxy", {}}}},
    {"IgnoresLetterCase", {"TD", "th", "Tr"}, {{"T", {"TD", "th", "Tr"}}, {"tH", {"th"}}}},
    {"FinalZKeepsNamesThatContinueWithUnderscore",
     {"xyz", "xyz_a", "xyza", "xy_", "xy{", "xz"},
     {{"xyz", {"xyz", "xyza", "xyz_a"}}}},
    {"FilterAboveEveryName", {"a", "b"}, {{"zz", {}}, {"", {"a", "b"}}}},
    {"FilterBelowEveryName", {"b", "c"}, {{"a", {}}}},
    {"ADifferentWordOfTheSameLengthStartsAfresh", {"ta", "tb"}, {{"ta", {"ta"}}, {"tb", {"tb"}}}},
};

void PrintTo(const FilterCase& C, std::ostream* Os) { *Os << C.Name; }

class TagFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(TagFilter, ChildrenRange) {
  const auto T = TagWithChildren(GetParam().List);
  for (const auto& [Filter, Expected] : GetParam().Steps) {
    T->SetFilter(Filter);
    EXPECT_EQ(Children(*T), Expected) << "filter " << Filter;
    EXPECT_EQ(T->GetPureTagCount(), static_cast<int32_t>(Expected.size()));
  }
}

TEST_P(TagFilter, AttributesRange) {
  auto T = MakeKel<THTMLTag>("td", nullptr, 1);
  for (const auto& N : GetParam().List) T->AddAttribute(MakeKel<THTMLAttribute>(N, 3).get());
  T->AlphaSort();
  T->SetShowAttributes(true);
  for (const auto& [Filter, Expected] : GetParam().Steps) {
    T->SetFilter(Filter);
    EXPECT_EQ(Attributes(*T), Expected) << "filter " << Filter;
  }
}

TEST_P(TagFilter, AttributeValues) {
  const auto A = AttributeWithValues(GetParam().List);
  for (const auto& [Filter, Expected] : GetParam().Steps) {
    A->SetFilter(Filter);
    EXPECT_EQ(Values(*A), Expected) << "filter " << Filter;
  }
}

TEST_P(TagFilter, Entities) {
  TAsciiCharList L;
  int32_t Code = 100;
  for (const auto& N : GetParam().List) L.AddEntity(N, Code++);
  L.AlphaSort();
  for (const auto& [Filter, Expected] : GetParam().Steps) {
    L.SetFilter(Filter);
    Names Got;
    for (int32_t I = 0; I < L.GetCount(); ++I) Got.push_back(L.GetItem(I));
    EXPECT_EQ(Got, Expected) << "filter " << Filter;
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, TagFilter, ::testing::ValuesIn(FilterCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(AttributeValues, ALoneTypeKeywordOrEditorEntryIgnoresEveryFilter) {
  for (const char* Only : {"CDATA", "NUMBER", "color...", "URI..."}) {
    const auto A = AttributeWithValues({Only});
    A->SetFilter("zzz");
    EXPECT_EQ(Values(*A), Names{Only});
  }
  // An ordinary single value is filtered like any list.
  const auto A = AttributeWithValues({"left"});
  A->SetFilter("r");
  EXPECT_EQ(A->GetCount(), 0);
}

TEST(AttributeValues, AddKeepsTheListSortedAndSingle) {
  const auto A = AttributeWithValues({"right", "Center", "left", "right"});
  EXPECT_EQ(Values(*A), (Names{"Center", "left", "right"}));
  A->SetValue(0, "centre");
  EXPECT_EQ(A->GetValue(0), "centre");
  EXPECT_EQ(A->GetValue(3), "");
  EXPECT_EQ(A->GetValue(-1), "");
  A->SetFilter("l");
  EXPECT_EQ(A->FindSymbol("l"), 0);
  // FindSymbol looks past the range, up to the end of the whole list.
  EXPECT_EQ(A->FindSymbol("ri"), 1);
  EXPECT_EQ(A->FindSymbol("x"), -1);
  // Values that differ in case only stay in the order they came; one added
  // after the list was read takes its sorted place too.
  const auto B = AttributeWithValues({"b", "A", "a", "b", "A"});
  EXPECT_EQ(Values(*B), (Names{"A", "a", "b"}));
  B->AddValue("B");
  B->AddValue("a");
  EXPECT_EQ(Values(*B), (Names{"A", "a", "b", "B"}));
  // A DTD's enumeration of 100,000 values, given twice in falling order:
  // one sort, not an insertion each.
  Names Many;
  for (int Round = 0; Round < 2; ++Round)
    for (int I = 99'999; I >= 0; --I) Many.push_back("v" + std::to_string(100'000 + I));
  const auto C = AttributeWithValues(Many);
  ASSERT_EQ(C->GetCount(), 100'000);
  EXPECT_EQ(C->GetValue(0), "v100000");
  EXPECT_EQ(C->GetValue(99'999), "v199999");
}

TEST(TagCase, NamesFollowTheManagersCaseAttributesDoNot) {
  TMLSymbolManager M;
  auto T = MakeKel<THTMLTag>("Td", &M, 1);
  T->AddAttribute(MakeKel<THTMLAttribute>("vAlign", 2).get());
  EXPECT_EQ(T->GetName(), "td");  // a new manager hands names out in lower case
  M.SetTagCase(TTagCase::tcUpperCase);
  EXPECT_EQ(T->GetName(), "TD");
  EXPECT_EQ(T->FindAttribute("valign")->GetName(), "vAlign");
  M.SetTagCase(TTagCase::tcNormal);
  EXPECT_EQ(T->GetName(), "Td");
  EXPECT_EQ(MakeKel<TNamedTag>("Blink", nullptr, -1)->GetName(), "Blink");
  EXPECT_EQ(MakeKel<TNamedTag>("Blink", &M, -1)->GetName(), "Blink");
}

}  // namespace
}  // namespace kel
