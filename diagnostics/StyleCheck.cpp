#include "diagnostics/StyleCheck.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "css/CSSCodCmplt.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

// At-rules whose blocks hold style rules and declarations of properties.
constexpr std::string_view Conditional[] = {"media",    "supports",       "container", "layer", "scope",
                                            "document", "starting-style", "when",      "else"};

class TSheetChecker {
 public:
  TSheetChecker(std::string_view Text, const TCSSTree& Sheet, bool Declarations,
                const IKelCSSCodeInsightManager& Schema, TDiagnostics& Out)
      : FText(Text), FSheet(Sheet), FDeclarations(Declarations), FSchema(Schema), FOut(Out) {}

  void Run() {
    const auto& Properties = FSchema.PropertyNames();
    if (Properties.empty()) return;  // css.xml was not read: nothing to judge by
    for (uint32_t I = 0; I < FSheet.Nodes.size(); ++I) {
      const TCSSItem& N = FSheet.Nodes[I];
      if (HasTemplateText(Of(N.Range))) continue;
      switch (N.Kind) {
        case TCSSItemKind::Declaration:
          Declaration(N);
          break;
        case TCSSItemKind::Rule:
          Block(N, "rule");
          if (N.Terminated && Blank(N.Block) && N.Next == I + 1)
            FOut.Add("empty-rule", N.Name.Start, N.Name.End, "The rule " + Quoted(Of(N.Name)) + " is empty");
          break;
        case TCSSItemKind::AtRule:
          AtRule(N);
          Block(N, "at-rule");
          break;
        case TCSSItemKind::Comment:
          if (!N.Terminated)
            FOut.Add("unclosed-block", N.Range.Start, std::min(N.Range.Start + 2, N.Range.End),
                     "The comment is never closed with \"*/\"");
          break;
      }
    }
  }

 private:
  std::string_view Of(TMLRange R) const { return FText.substr(R.Start, R.End - R.Start); }
  bool Blank(TMLRange R) const {
    const std::string_view S = Of(R);
    return std::all_of(S.begin(), S.end(), IsCSSBlank);
  }

  void Block(const TCSSItem& N, const char* What) {
    if (!N.Terminated && N.Block.Start > N.Name.Start)
      FOut.Add("unclosed-block", N.Name.Start, N.Name.End,
               std::string("The ") + What + " " + Quoted(Of(N.Name)) + " is never closed with \"}\"");
  }

  void AtRule(const TCSSItem& N) {
    std::string Name = LowerCase(std::string(Of(N.Name)));
    if (!Name.empty() && Name[0] == '@') Name.erase(0, 1);
    if (Name.empty() || Name[0] == '-') return;  // a vendor's own
    const auto& Known = FSchema.AtRuleNames();
    if (std::find(Known.begin(), Known.end(), Name) != Known.end()) return;
    const std::string Near = Nearest(Name, Known);
    FOut.Add(
        "unknown-at-rule", N.Name.Start, N.Name.End,
        "Unknown at-rule " + Quoted(Of(N.Name)) + (Near.empty() ? "" : "; did you mean \"@" + Near + "\"?"),
        Near.empty()
            ? std::nullopt
            : std::optional<TFix>(TFix{"Write \"@" + Near + "\"", N.Name.Start, N.Name.End, "@" + Near}));
  }

  // The names a declaration may have where it stands: the properties, or the
  // descriptors of the at-rule around it; null where nothing is known.
  const std::vector<std::string>* NamesFor(const TCSSItem& N) {
    if (N.Parent == TCSSItem::None) return FDeclarations ? &FSchema.PropertyNames() : nullptr;
    const TCSSItem& P = FSheet.Nodes[N.Parent];
    if (P.Kind == TCSSItemKind::Rule) return &FSchema.PropertyNames();
    if (P.Kind != TCSSItemKind::AtRule) return nullptr;
    std::string Name = LowerCase(std::string(Of(P.Name)));
    if (!Name.empty() && Name[0] == '@') Name.erase(0, 1);
    if (std::find(std::begin(Conditional), std::end(Conditional), Name) != std::end(Conditional))
      return &FSchema.PropertyNames();
    // A page and its margin boxes take properties besides their descriptors.
    const bool Page = Name == "page" || Name.starts_with("top-") || Name.starts_with("bottom-") ||
                      Name.starts_with("left-") || Name.starts_with("right-");
    auto [It, New] = FDescriptors.try_emplace(Name);
    if (New) {
      It->second = FSchema.DescriptorNames(Page ? "page" : Name);
      if (Page)
        It->second.insert(It->second.end(), FSchema.PropertyNames().begin(), FSchema.PropertyNames().end());
    }
    return It->second.empty() ? nullptr : &It->second;
  }

  // Whether Names holds Name; each list is hashed once.
  bool Knows(const std::vector<std::string>& Names, const std::string& Name) {
    auto [It, New] = FSets.try_emplace(&Names);
    if (New) It->second.insert(Names.begin(), Names.end());
    return It->second.contains(Name);
  }

  void Declaration(const TCSSItem& N) {
    const std::string_view Written = Of(N.Name);
    const std::string Name = LowerCase(std::string(Written));
    // Custom properties, vendors' own, and the old hacks (*zoom, _height).
    if (Name.empty() || Name[0] == '-' || Name[0] == '*' || Name[0] == '_') return;
    if (const auto* Names = NamesFor(N); Names && !Knows(*Names, Name)) {
      const std::string Near = Nearest(Name, *Names);
      FOut.Add(
          "unknown-property", N.Name.Start, N.Name.End,
          "Unknown property " + Quoted(Written) + (Near.empty() ? "" : "; did you mean \"" + Near + "\"?"),
          Near.empty() ? std::nullopt
                       : std::optional<TFix>(TFix{"Write \"" + Near + "\"", N.Name.Start, N.Name.End, Near}));
    }
    // The same property twice in one block: the first one is dead.
    const auto Key = std::make_pair(N.Parent, Name);
    if (const auto [It, New] = FSeen.try_emplace(Key, &N); !New) {
      const std::string_view Value = Of(N.Value), Before = Of(It->second->Value);
      // A fallback for older browsers (a vendor's value before the standard one) is on purpose.
      if (Value.find("-webkit-") == std::string_view::npos &&
          Before.find("-webkit-") == std::string_view::npos &&
          Value.find("-moz-") == std::string_view::npos && Before.find("-moz-") == std::string_view::npos &&
          Value == Before)
        FOut.Add("duplicate-property", N.Name.Start, N.Name.End,
                 "The property " + Quoted(Written) + " is already set to the same value in this block");
      It->second = &N;
    }
    // "!imporant", "!importnt": a '!' whose word is not important.
    const std::string_view Value = Of(N.Value);
    if (const size_t Bang = Value.rfind('!'); Bang != std::string_view::npos && !N.Important) {
      size_t W = Bang + 1;
      while (W < Value.size() && IsCSSBlank(Value[W])) ++W;
      size_t E = W;
      while (E < Value.size() && std::isalpha(static_cast<unsigned char>(Value[E]))) ++E;
      size_t Rest = E;
      while (Rest < Value.size() && IsCSSBlank(Value[Rest])) ++Rest;
      if (E > W && Rest == Value.size() && !SameText(Value.substr(W, E - W), "important"))
        FOut.Add("invalid-important", N.Value.Start + static_cast<uint32_t>(Bang),
                 N.Value.Start + static_cast<uint32_t>(E),
                 Quoted(Value.substr(Bang, E - Bang)) + " is not \"!important\"",
                 TFix{"Write \"!important\"", N.Value.Start + static_cast<uint32_t>(Bang),
                      N.Value.Start + static_cast<uint32_t>(E), "!important"});
    }
  }

  std::string_view FText;
  const TCSSTree& FSheet;
  bool FDeclarations;
  const IKelCSSCodeInsightManager& FSchema;
  TDiagnostics& FOut;
  std::map<std::string, std::vector<std::string>> FDescriptors;
  std::map<std::pair<uint32_t, std::string>, const TCSSItem*> FSeen;
  std::map<const std::vector<std::string>*, std::unordered_set<std::string>> FSets;
};

}  // namespace

void CheckSheet(std::string_view Text, const TCSSTree& Sheet, bool Declarations,
                const IKelCSSCodeInsightManager& Schema, TDiagnostics& Out) {
  TSheetChecker(Text, Sheet, Declarations, Schema, Out).Run();
}

}  // namespace kel
