// What the checks report and the rules that switch them: a problem is a
// byte range of the document with its rule's name, a severity and a message.
// Rules are on at their own severity unless the options file's [Diagnostics]
// section or the command line says otherwise.
//
// Example: TCheckRules R; R.Apply("unknown-attribute=off,duplicate-id=warning");
// then R.Severity("unknown-attribute") is Off and "duplicate-id" a warning.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kel {

// In the protocol's order: 1 error … 4 hint.
enum class TSeverity : uint8_t { Off, Error, Warning, Information, Hint };

// The one edit that mends a problem: [Start, End) becomes Text.
struct TFix {
  std::string Title;
  uint32_t Start = 0, End = 0;
  std::string Text;
};

struct TDiagnostic {
  uint32_t Start = 0, End = 0;  // byte offsets of the document
  TSeverity Severity = TSeverity::Error;
  std::string Rule;
  std::string Message;
  std::optional<TFix> Fix;
};

// Whether S holds text a template language fills in (<%= %>, <?php ?>,
// {{ }}, {% %}, ${ }): what it stands in is never judged.
bool HasTemplateText(std::string_view S);
// S for a message: quoted, on one line, at most 60 characters.
std::string Quoted(std::string_view S);

// The candidate nearest to Word (ignoring case) within a third of its
// length in edits, else empty: "hreff" → "href", "middle" → nothing.
std::string Nearest(std::string_view Word, const std::vector<std::string>& Candidates);

struct TRule {
  const char* Name;
  TSeverity Severity;  // by default
  const char* Summary;
};

// Every rule, in the order the README lists them.
std::span<const TRule> Rules();

const char* SeverityName(TSeverity Severity);

class TCheckRules {
 public:
  // Rules at their own severities.
  TCheckRules() = default;
  // The host's options file's [Diagnostics] section applied on top.
  static TCheckRules FromOptions();
  // "name=off,name=warning,…": an empty string if every entry was
  // understood, else what was not.
  std::string Apply(std::string_view Settings);
  TSeverity Severity(std::string_view Rule) const;
  bool On(std::string_view Rule) const { return Severity(Rule) != TSeverity::Off; }

 private:
  std::map<std::string, TSeverity, std::less<>> FChanged;
};

// The problems of one document, at most Max of them: past it they are only
// counted (a page of a million unclosed elements gives a bounded answer).
class TDiagnostics {
 public:
  explicit TDiagnostics(const TCheckRules& Rules, size_t Max = 1000) : FRules(Rules), FMax(Max) {}
  bool On(std::string_view Rule) const { return FRules.On(Rule); }
  // A problem of Rule, unless the rule is off.
  void Add(std::string_view Rule, uint32_t Start, uint32_t End, std::string Message,
           std::optional<TFix> Fix = std::nullopt);
  const std::vector<TDiagnostic>& Items() const { return FItems; }
  std::vector<TDiagnostic> Take() { return std::move(FItems); }
  // How many were found past Max.
  size_t Dropped() const { return FDropped; }

 private:
  const TCheckRules& FRules;
  size_t FMax;
  std::vector<TDiagnostic> FItems;
  size_t FDropped = 0;
};

}  // namespace kel
