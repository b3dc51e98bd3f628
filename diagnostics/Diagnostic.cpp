#include "diagnostics/Diagnostic.h"

#include <algorithm>
#include <cctype>

#include "host/KelHostAPI.h"
#include "host/KelRegistry.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

constexpr TRule RuleTable[] = {
    {"unknown-doctype", TSeverity::Hint, "a DOCTYPE whose schema we do not have"},
    {"schema-message", TSeverity::Warning, "what loading the document's schema found wrong in its files"},
    {"unknown-element", TSeverity::Error, "an element the document type does not declare"},
    {"misplaced-element", TSeverity::Error, "an element its parent's content model does not allow"},
    {"missing-child", TSeverity::Error, "a child the element's content model requires, not written"},
    {"unknown-attribute", TSeverity::Error, "an attribute the element does not declare"},
    {"missing-attribute", TSeverity::Error, "a required attribute not written"},
    {"invalid-value", TSeverity::Error, "a value outside the attribute's list, or not of its type"},
    {"duplicate-attribute", TSeverity::Error, "an attribute written twice in one tag"},
    {"duplicate-id", TSeverity::Error, "an ID another element has already"},
    {"unknown-id", TSeverity::Error, "a reference to an ID no element has"},
    {"stray-end-tag", TSeverity::Error, "an end tag that closes no open element"},
    {"unclosed-element", TSeverity::Error, "an element whose required end tag never comes"},
    {"undefined-entity", TSeverity::Error, "a reference to an entity the schema does not declare"},
    {"not-well-formed", TSeverity::Error,
     "in an XML document, an attribute without a value or with one unquoted"},
    {"unterminated-tag", TSeverity::Error, "a tag, comment or section without its closing delimiter"},
    {"unknown-property", TSeverity::Error,
     "a property css.xml does not know, or a descriptor its at-rule does not take"},
    {"unknown-at-rule", TSeverity::Warning, "an at-rule css.xml does not know"},
    {"duplicate-property", TSeverity::Warning, "a property set to the same value twice in one block"},
    {"empty-rule", TSeverity::Warning, "a rule with nothing in its block"},
    {"invalid-important", TSeverity::Error, "a misspelt !important"},
    {"unclosed-block", TSeverity::Error, "a block or comment of a style sheet never closed"},
};

TSeverity SeverityNamed(std::string_view Name, bool& Known) {
  Known = true;
  for (const TSeverity S :
       {TSeverity::Off, TSeverity::Error, TSeverity::Warning, TSeverity::Information, TSeverity::Hint})
    if (SameText(Name, SeverityName(S))) return S;
  if (SameText(Name, "on")) return TSeverity::Error;  // marked by the caller
  Known = false;
  return TSeverity::Off;
}

const TRule* RuleNamed(std::string_view Name) {
  for (const TRule& R : RuleTable)
    if (Name == R.Name) return &R;
  return nullptr;
}

std::string_view Trim(std::string_view S) {
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t')) S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t')) S.remove_suffix(1);
  return S;
}

}  // namespace

std::span<const TRule> Rules() { return RuleTable; }

const char* SeverityName(TSeverity Severity) {
  switch (Severity) {
    case TSeverity::Off:
      return "off";
    case TSeverity::Error:
      return "error";
    case TSeverity::Warning:
      return "warning";
    case TSeverity::Information:
      return "information";
    case TSeverity::Hint:
      return "hint";
  }
  return "off";
}

TCheckRules TCheckRules::FromOptions() {
  TCheckRules Set;
  TKelRegistry Registry;
  const auto Host = KelHostServices();
  if (!Host || !Registry.OpenKeyReadOnly(Host->GetBaseRegistryKey() + "\\Diagnostics")) return Set;
  for (const TRule& R : RuleTable)
    if (Registry.ValueExists(R.Name)) Set.Apply(std::string(R.Name) + "=" + Registry.ReadString(R.Name));
  return Set;
}

std::string TCheckRules::Apply(std::string_view Settings) {
  std::string Wrong;
  while (!Settings.empty()) {
    const size_t Comma = std::min(Settings.find(','), Settings.size());
    const std::string_view Entry = Trim(Settings.substr(0, Comma));
    Settings.remove_prefix(std::min(Comma + 1, Settings.size()));
    if (Entry.empty()) continue;
    const size_t Eq = Entry.find('=');
    const std::string_view Name = Trim(Entry.substr(0, Eq));
    bool Known = false;
    const std::string_view Value = Eq == std::string_view::npos ? "on" : Trim(Entry.substr(Eq + 1));
    TSeverity S = SeverityNamed(Value, Known);
    const TRule* Rule = RuleNamed(Name);
    if (!Rule || !Known) {
      Wrong += (Wrong.empty() ? "" : ", ") + std::string(Entry);
      continue;
    }
    if (SameText(Value, "on")) S = Rule->Severity;
    FChanged[std::string(Name)] = S;
  }
  return Wrong;
}

TSeverity TCheckRules::Severity(std::string_view Rule) const {
  if (const auto It = FChanged.find(Rule); It != FChanged.end()) return It->second;
  const TRule* R = RuleNamed(Rule);
  return R ? R->Severity : TSeverity::Off;
}

bool HasTemplateText(std::string_view S) {
  for (const std::string_view Open : {"<%", "<?", "{{", "{%", "${"})
    if (S.find(Open) != std::string_view::npos) return true;
  return false;
}

std::string Quoted(std::string_view S) {
  constexpr size_t Longest = 60;
  std::string R;
  for (const char C : S) {
    if (R.size() == Longest) return "\"" + R + "…\"";
    if (C != ' ' && C != '\t' && C != '\n' && C != '\r' && C != '\f')
      R += C;
    else if (!R.empty() && R.back() != ' ')
      R += ' ';
  }
  while (!R.empty() && R.back() == ' ') R.pop_back();
  return "\"" + R + "\"";
}

std::string Nearest(std::string_view Word, const std::vector<std::string>& Candidates) {
  const auto Lower = [](std::string_view S) {
    std::string R(S);
    for (char& C : R) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return R;
  };
  const std::string W = Lower(Word);
  const size_t Most = std::max<size_t>(1, W.size() / 3);
  std::string Best;
  size_t BestCost = Most + 1;
  std::vector<size_t> Row;
  for (const std::string& C : Candidates) {
    const std::string L = Lower(C);
    if (L == W || (L.size() > W.size() ? L.size() - W.size() : W.size() - L.size()) > Most) continue;
    Row.resize(L.size() + 1);
    for (size_t J = 0; J <= L.size(); ++J) Row[J] = J;
    for (size_t I = 1; I <= W.size(); ++I) {
      size_t Diagonal = Row[0];
      Row[0] = I;
      for (size_t J = 1; J <= L.size(); ++J) {
        const size_t Up = Row[J];
        Row[J] = std::min({Row[J] + 1, Row[J - 1] + 1, Diagonal + (W[I - 1] == L[J - 1] ? 0 : 1)});
        Diagonal = Up;
      }
    }
    if (Row[L.size()] < BestCost) {
      BestCost = Row[L.size()];
      Best = C;
    }
  }
  return Best;
}

void TDiagnostics::Add(std::string_view Rule, uint32_t Start, uint32_t End, std::string Message,
                       std::optional<TFix> Fix) {
  const TSeverity S = FRules.Severity(Rule);
  if (S == TSeverity::Off) return;
  if (FItems.size() >= FMax) {
    ++FDropped;
    return;
  }
  FItems.push_back({Start, std::max(Start, End), S, std::string(Rule), std::move(Message), std::move(Fix)});
}

}  // namespace kel
