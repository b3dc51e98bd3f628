#include "diagnostics/MarkupCheck.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "host/KelStrings.h"
#include "markup/MLSymbols.h"
#include "markup/MLTags.h"

namespace kel {

namespace {

bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }

// An SGML or XML name: a letter (or '_', ':') then name characters.
bool IsName(std::string_view S) {
  if (S.empty()) return false;
  const auto C0 = static_cast<unsigned char>(S[0]);
  if (!(std::isalpha(C0) || C0 == '_' || C0 == ':' || C0 >= 0x80)) return false;
  for (const char C : S) {
    const auto U = static_cast<unsigned char>(C);
    if (!(std::isalnum(U) || U == '-' || U == '.' || U == '_' || U == ':' || U >= 0x80)) return false;
  }
  return true;
}

std::vector<std::string_view> Words(std::string_view S) {
  std::vector<std::string_view> R;
  size_t I = 0;
  while (I < S.size()) {
    while (I < S.size() && IsSpace(S[I])) ++I;
    const size_t From = I;
    while (I < S.size() && !IsSpace(S[I])) ++I;
    if (I > From) R.push_back(S.substr(From, I - From));
  }
  return R;
}

// What a schema tag declares, read once per tag: its attributes by folded
// name, and the required ones.
struct TTagFacts {
  std::unordered_map<std::string, IKelMLTagAttribute*> Attributes;
  std::vector<std::string> Required;
};

class TChecker {
 public:
  TChecker(std::string_view Text, const TMLTree& Tree, const TMarkupSchema& Schema, TDiagnostics& Out)
      : FText(Text), FTree(Tree), FSchema(Schema), FOut(Out), FTags(Tree.Nodes.size()) {}

  void Run() {
    for (uint32_t I = 0; I < FTree.Nodes.size(); ++I) {
      const TMLNode& N = FTree.Nodes[I];
      switch (N.Kind) {
        case TMLNodeKind::Element:
          Element(I, N);
          break;
        case TMLNodeKind::StrayEndTag:
          if (!HasTemplateText(Of(N.Name)))
            FOut.Add("stray-end-tag", N.Open.Start, N.Open.End,
                     "</" + std::string(Of(N.Name)) + "> closes no open element");
          break;
        case TMLNodeKind::Comment:
        case TMLNodeKind::CData:
          if (!N.Terminated)
            FOut.Add("unterminated-tag", N.Open.Start, N.Open.End,
                     N.Kind == TMLNodeKind::Comment ? "The comment is never closed with \"-->\""
                                                    : "The CDATA section is never closed with \"]]>\"");
          break;
        default:
          break;
      }
    }
    if (FSchema.Entities)
      for (const TMLRange R : FTree.References) {
        const std::string_view Name = Of({R.Start + 1, R.End - 1});
        static constexpr std::string_view Xml[] = {"amp", "lt", "gt", "quot", "apos"};
        if (std::find(std::begin(Xml), std::end(Xml), Name) == std::end(Xml) &&
            !FSchema.Entities->contains(std::string(Name)))
          FOut.Add("undefined-entity", R.Start, R.End,
                   "The entity " + Quoted(Of(R)) + " is not declared" +
                       (FSchema.Xml ? "" : "; write \"&amp;\" for a '&' of the text"));
      }
    for (const auto& [Id, Where] : FReferences)
      if (!FIds.contains(Id))
        FOut.Add("unknown-id", Where.Start, Where.End, "No element has the ID " + Quoted(Id));
  }

 private:
  std::string_view Of(TMLRange R) const { return FText.substr(R.Start, R.End - R.Start); }
  std::string Fold(std::string_view S) const {
    return FSchema.Xml ? std::string(S) : UpperCase(std::string(S));
  }
  bool Same(std::string_view A, std::string_view B) const { return FSchema.Xml ? A == B : SameText(A, B); }

  // Names of other vocabularies (svg:, uc1:, a literal result element of a
  // style sheet) are not the schema's to judge.
  bool Judged(std::string_view Name) const {
    if (FSchema.Xsl) return Name.starts_with("xsl:");
    const size_t Colon = Name.find(':');
    return Colon == std::string_view::npos || (FSchema.Asp && SameText(Name.substr(0, Colon), "asp"));
  }

  const TTagFacts& Facts(IKelMLTag* Tag) {
    auto [It, New] = FFacts.try_emplace(Tag);
    if (New)
      for (const auto& A : AllAttributes(Tag)) {
        It->second.Attributes.emplace(UpperCase(A->GetName()), A.get());
        if (A->GetRequired()) It->second.Required.push_back(A->GetName());
      }
    return It->second;
  }

  const std::vector<std::string>& ValuesOf(IKelMLTagAttribute* A) {
    auto [It, New] = FValues.try_emplace(A);
    if (New) {
      A->SetFilter("");
      for (int32_t I = 0; I < A->GetCount(); ++I) It->second.push_back(A->GetValue(I));
    }
    return It->second;
  }

  // What a name means under an owner (a parent's tag for an element, a
  // tag for an attribute), asked once per distinct pair: a page repeats a
  // few dozen of them thousands of times.
  struct TKey {
    const void* Owner;
    std::string_view Name;
    bool operator==(const TKey&) const = default;
  };
  struct TKeyHash {
    size_t operator()(const TKey& K) const {
      return std::hash<std::string_view>()(K.Name) ^
             (std::hash<const void*>()(K.Owner) * 0x9E3779B97F4A7C15u);
    }
  };
  struct TElementAnswer {
    IKelMLTag* Tag = nullptr;    // the schema's, spelled as written (XML)
    IKelMLTag* Found = nullptr;  // found ignoring case
    bool Held = false;           // the parent's content takes it
  };

  const TElementAnswer& ElementIn(IKelMLTag* Parent, std::string_view Name) {
    auto [It, New] = FElements.try_emplace(TKey{Parent, Name});
    if (New) {
      TElementAnswer& A = It->second;
      const TKelPtr<IKelMLTag> Found = FSchema.Symbols->TagIn(Parent, std::string(Name));
      A.Found = Found.get();
      if (Found && (!FSchema.Xml || Found->GetName() == Name)) A.Tag = Found.get();
      A.Held = A.Tag && Parent && (Parent->GetAny() || Takes(Parent, std::string(Name), 0));
    }
    return It->second;
  }

  IKelMLTagAttribute* AttributeOf(IKelMLTag* Tag, const TTagFacts& Facts, std::string_view Name) {
    auto [It, New] = FAttributes.try_emplace(TKey{Tag, Name});
    if (New) {
      const auto Declared = Facts.Attributes.find(UpperCase(std::string(Name)));
      IKelMLTagAttribute* A = Declared == Facts.Attributes.end() ? nullptr : Declared->second;
      It->second = A && FSchema.Xml && A->GetName() != Name ? nullptr : A;
    }
    return It->second;
  }

  void Element(uint32_t Index, const TMLNode& N) {
    const std::string_view Name = Of(N.Name);
    if (!N.Terminated && !HasTemplateText(Name))
      FOut.Add("unterminated-tag", N.Open.Start, N.Open.End,
               "The tag <" + std::string(Name) + " has no closing \">\"");
    if (N.End == TMLEnd::Unclosed && !HasTemplateText(Name))
      FOut.Add("unclosed-element", N.Name.Start, N.Name.End, "<" + std::string(Name) + "> is never closed",
               TFix{"Close <" + std::string(Name) + "> where its parent ends", N.Close.Start, N.Close.Start,
                    "</" + std::string(Name) + ">"});
    IKelMLTag* Tag = nullptr;
    const bool Judge = FSchema.Symbols && !Name.empty() && Judged(Name) && !HasTemplateText(Name);
    IKelMLTag* Parent = N.Parent == TMLNode::None ? FSchema.Root : FTags[N.Parent];
    const TElementAnswer* Answer = Judge ? &ElementIn(Parent, Name) : nullptr;
    if (Answer) {
      Tag = FTags[Index] = Answer->Tag;
      if (!Tag && !(FSchema.Html5 && Name.find('-') != std::string_view::npos))
        FOut.Add("unknown-element", N.Name.Start, N.Name.End,
                 Answer->Found ? "<" + std::string(Name) +
                                     "> is not an element of this document type; it is written <" +
                                     Answer->Found->GetName() + ">"
                               : "<" + std::string(Name) + "> is not an element of this document type");
    }
    const bool ParentJudged = N.Parent == TMLNode::None || FTags[N.Parent];
    if (Tag && Parent && ParentJudged && !Answer->Held && !InGroupedList(N.Parent, Name) &&
        !(FSchema.Asp &&
          (Name.find(':') != std::string_view::npos || Parent->GetName().find(':') != std::string::npos))) {
      const std::string Where = N.Parent == TMLNode::None
                                    ? "at the top of the document"
                                    : "inside <" + std::string(Of(FTree.Nodes[N.Parent].Name)) + ">";
      FOut.Add("misplaced-element", N.Name.Start, N.Name.End,
               "<" + std::string(Name) + "> is not allowed " + Where);
    }
    Attributes(Index, N, Name, Tag);
    if (Tag) Children(Index, N, Name, Tag);
  }

  // The children the model requires, written or implied: a child whose start
  // tag HTML lets a page leave out (tbody, body) stands without one.
  // The groups of a tag's required children that no child with an omissible
  // start tag answers, read once per tag.
  const THTMLTag::TRequired& RequiredOf(IKelMLTag* Tag) {
    auto [It, New] = FRequired.try_emplace(Tag);
    if (New)
      if (const auto* Own = dynamic_cast<THTMLTag*>(Tag))
        for (const auto& Alternatives : Own->RequiredChildren())
          if (std::none_of(Alternatives.begin(), Alternatives.end(), [&](const std::string& A) {
                const TKelPtr<IKelMLTag> Child = Tag->LookupTag(A);
                return Child && !Child->GetRequiresOpeningTag();
              }))
            It->second.push_back(Alternatives);
    return It->second;
  }

  void Children(uint32_t Index, const TMLNode& N, std::string_view Name, IKelMLTag* Tag) {
    const THTMLTag::TRequired& Required = RequiredOf(Tag);
    if (Required.empty() || N.End == TMLEnd::Unclosed || !N.Terminated) return;
    // The children are read until every group has one (a body of thousands
    // answers at its first block).
    std::vector<bool> Met(Required.size());
    size_t Left = Required.size();
    for (uint32_t C = Index + 1; C < N.Next && Left > 0; C = FTree.Nodes[C].Next) {
      const TMLNode& Child = FTree.Nodes[C];
      // What a server or template writes there is not known.
      if (Child.Kind == TMLNodeKind::Server || Child.Kind == TMLNodeKind::ProcessingInstruction) return;
      if (Child.Kind != TMLNodeKind::Element) continue;
      const std::string_view Written = Of(Child.Name);
      for (size_t G = 0; G < Required.size(); ++G)
        if (!Met[G] && std::any_of(Required[G].begin(), Required[G].end(),
                                   [&](const std::string& A) { return Same(Written, A); })) {
          Met[G] = true;
          --Left;
        }
    }
    if (Left == 0 || HasTemplateText(Of(N.Content()))) return;
    for (size_t G = 0; G < Required.size(); ++G) {
      if (Met[G]) continue;
      const auto& Alternatives = Required[G];
      std::string List;
      for (size_t I = 0; I < Alternatives.size() && I < 6; ++I) {
        const TKelPtr<IKelMLTag> Child = Tag->LookupTag(Alternatives[I]);
        List += std::string(I ? (I + 1 == Alternatives.size() ? " or <" : ", <") : "<") +
                (Child ? Child->GetName() : Alternatives[I]) + ">";
      }
      if (Alternatives.size() > 6)
        List = "one of " + List + "… (" + std::to_string(Alternatives.size()) + " in all)";
      FOut.Add("missing-child", N.Name.Start, N.Name.End,
               "<" + std::string(Name) + "> needs " + List + " inside");
    }
  }

  // Whether Tag's content takes Name, also through children whose start tag
  // HTML lets a page leave out (body in html, tbody in table).
  bool Takes(IKelMLTag* Tag, const std::string& Name, int Depth) {
    if (Tag->LookupTag(Name)) return true;
    if (Depth > 3) return false;
    const auto Key = std::make_pair(Tag, UpperCase(Name));
    if (const auto It = FTakes.find(Key); It != FTakes.end()) return It->second;
    FTakes[Key] = false;  // a cycle answers no
    bool Found = false;
    for (const auto& Child : AllChildren(Tag))
      if (!Child->GetRequiresOpeningTag() && Takes(Child.get(), Name, Depth + 1)) {
        Found = true;
        break;
      }
    return FTakes[Key] = Found;
  }

  // In today's HTML a div that groups a dl's terms holds what the dl holds.
  bool InGroupedList(uint32_t ParentNode, std::string_view Name) {
    if (!FSchema.Html5 || ParentNode == TMLNode::None || !SameText(Of(FTree.Nodes[ParentNode].Name), "div"))
      return false;
    const uint32_t Grand = FTree.Nodes[ParentNode].Parent;
    IKelMLTag* List = Grand == TMLNode::None ? nullptr : FTags[Grand];
    return List && SameText(List->GetName(), "dl") && Takes(List, std::string(Name), 0);
  }

  void Attributes(uint32_t Index, const TMLNode& N, std::string_view Element, IKelMLTag* Tag) {
    const auto Written = FTree.AttributesOf(Index);
    FSeen.clear();
    FSeenSet.clear();
    const TTagFacts* Facts = Tag ? &this->Facts(Tag) : nullptr;
    for (const TMLAttribute& A : Written) {
      const std::string_view Name = Of(A.Name);
      if (Name.empty() || HasTemplateText(Name)) continue;
      if (Seen(Name)) {
        // The attribute goes with the blanks before it.
        uint32_t From = A.Name.Start;
        while (From > N.Open.Start && IsSpace(FText[From - 1])) --From;
        const uint32_t To =
            A.HasValue ? A.Value.End + (A.Quote && A.Value.End < FText.size() ? 1 : 0) : A.Name.End;
        FOut.Add("duplicate-attribute", A.Name.Start, A.Name.End,
                 "<" + std::string(Element) + "> has the attribute " + Quoted(Name) + " twice",
                 TFix{"Remove this " + Quoted(Name), From, To, ""});
      }
      Note(Name);
      // XML wants every attribute with a quoted value (checked="checked").
      if (FSchema.Xml && !A.HasValue)
        FOut.Add("not-well-formed", A.Name.Start, A.Name.End,
                 "In XML the attribute " + Quoted(Name) + " needs a value",
                 TFix{"Write " + std::string(Name) + "=\"" + std::string(Name) + "\"", A.Name.Start,
                      A.Name.End, std::string(Name) + "=\"" + std::string(Name) + "\""});
      else if (FSchema.Xml && !A.Quote)
        FOut.Add("not-well-formed", A.Value.Start, A.Value.End,
                 "In XML the value of " + Quoted(Name) + " needs quotes",
                 TFix{"Quote the value", A.Value.Start, A.Value.End, "\"" + std::string(Of(A.Value)) + "\""});
      const std::string_view Value = Of(A.Value);
      if (!Facts) {
        // Without the schema's word an id is still an id (a style sheet's
        // literal elements compute theirs).
        if (A.HasValue && SameText(Name, "id") && !FSchema.Xsl) Id(Value, A.Value);
        continue;
      }
      IKelMLTagAttribute* Declared = AttributeOf(Tag, *Facts, Name);
      if (!Declared) {
        if (!Exempt(Name, *Facts)) {
          std::vector<std::string> Names;
          for (const auto& [Key, Attribute] : Facts->Attributes) Names.push_back(Attribute->GetName());
          std::sort(Names.begin(), Names.end());
          const std::string Near = Nearest(Name, Names);
          FOut.Add("unknown-attribute", A.Name.Start, A.Name.End,
                   "<" + std::string(Element) + "> has no attribute " + Quoted(Name) +
                       (Near.empty() ? "" : "; did you mean " + Quoted(Near) + "?"),
                   Near.empty()
                       ? std::nullopt
                       : std::optional<TFix>(TFix{"Write " + Quoted(Near), A.Name.Start, A.Name.End, Near}));
        }
        continue;
      }
      if (!A.HasValue || HasTemplateText(Value)) continue;
      CheckValue(Element, Declared, Name, Value, A.Value);
    }
    if (!Facts) return;
    // A required attribute goes in before the tag's ">" or "/>".
    uint32_t Before = N.Open.End;
    if (N.Terminated && Before > N.Open.Start) --Before;
    if (N.Terminated && Before > N.Open.Start && FText[Before - 1] == '/') --Before;
    while (Before > N.Name.End && IsSpace(FText[Before - 1])) --Before;
    for (const std::string& R : Facts->Required)
      if (!Seen(R))
        FOut.Add("missing-attribute", N.Name.Start, N.Name.End,
                 "<" + std::string(Element) + "> requires the attribute " + Quoted(R),
                 TFix{"Add " + R + "=\"\"", Before, Before, " " + R + "=\"\""});
  }

  // Whether the tag walked holds Name already. Tags hold a handful of
  // attributes; thousands of them are looked up in a set.
  bool Seen(std::string_view Name) {
    if (FSeen.size() < 32)
      return std::any_of(FSeen.begin(), FSeen.end(), [&](std::string_view S) { return Same(S, Name); });
    if (FSeenSet.empty())
      for (const std::string_view S : FSeen) FSeenSet.insert(Fold(S));
    return FSeenSet.contains(Fold(Name));
  }
  void Note(std::string_view Name) {
    FSeen.push_back(Name);
    if (!FSeenSet.empty()) FSeenSet.insert(Fold(Name));
  }

  bool Exempt(std::string_view Name, const TTagFacts& Facts) const {
    // Namespaced names (xmlns, xml:, xlink:) belong to other vocabularies.
    if (SameText(Name, "xmlns") || Name.find(':') != std::string_view::npos) return true;
    // A schema that gives an element no ARIA (SVG's) does not judge it.
    if ((SameText(Name, "role") || (Name.size() > 5 && SameText(Name.substr(0, 5), "aria-"))) &&
        !Facts.Attributes.contains("ARIA-LABEL"))
      return true;
    if (FSchema.Html5 && Name.size() > 5 && SameText(Name.substr(0, 5), "data-")) return true;
    return FSchema.Asp && SameText(Name, "runat");
  }

  void CheckValue(std::string_view Element, IKelMLTagAttribute* Declared, std::string_view Name,
                  std::string_view Value, TMLRange Where) {
    auto [Known, New] = FKinds.try_emplace(Declared, TMLValueKind::Text);
    if (New)
      if (const auto* Rule = dynamic_cast<TMLValueRule*>(Declared)) Known->second = Rule->ValueKind();
    const TMLValueKind Kind = Known->second;
    if (Kind == TMLValueKind::Text) return;
    const std::string Owner = "<" + std::string(Element) + " " + std::string(Name) + ">";
    switch (Kind) {
      case TMLValueKind::Text:
        break;
      case TMLValueKind::Enumerated: {
        const auto& Values = ValuesOf(Declared);
        // A flag's value may also be empty (checked="", hidden="").
        if (Value.empty() && std::any_of(Values.begin(), Values.end(),
                                         [&](const std::string& V) { return SameText(V, Name); }))
          break;
        // Values trimmed as browsers trim them; HTML's are any case.
        std::string_view V = Value;
        while (!V.empty() && IsSpace(V.front())) V.remove_prefix(1);
        while (!V.empty() && IsSpace(V.back())) V.remove_suffix(1);
        bool Found = false;
        for (const std::string& Allowed : Values) Found = Found || Same(Allowed, V);
        if (Found) break;
        std::string List;
        for (size_t I = 0; I < Values.size() && I < 8; ++I) List += (I ? ", " : "") + Values[I];
        if (Values.size() > 8) List += ", …";
        const std::string Near = Nearest(V, Values);
        FOut.Add("invalid-value", Where.Start, Where.End,
                 Quoted(Value) + " is not a value of " + Owner + ": one of " + List,
                 Near.empty()
                     ? std::nullopt
                     : std::optional<TFix>(TFix{"Write " + Quoted(Near), Where.Start, Where.End, Near}));
        break;
      }
      case TMLValueKind::Number: {
        std::string_view V = Value;
        while (!V.empty() && IsSpace(V.front())) V.remove_prefix(1);
        while (!V.empty() && IsSpace(V.back())) V.remove_suffix(1);
        if (V.empty() || V.find_first_not_of("0123456789") != std::string_view::npos)
          FOut.Add("invalid-value", Where.Start, Where.End,
                   Quoted(Value) + " is not a number (" + Owner + ")");
        break;
      }
      case TMLValueKind::Id:
        Id(Value, Where);
        break;
      case TMLValueKind::IdRef:
      case TMLValueKind::IdRefs:
        for (const std::string_view W :
             Kind == TMLValueKind::IdRef ? std::vector<std::string_view>{Value} : Words(Value))
          FReferences.emplace_back(std::string(W), Where);
        break;
      case TMLValueKind::Name:
      case TMLValueKind::Names:
        for (const std::string_view W : Words(Value))
          if (!IsName(W)) {
            FOut.Add("invalid-value", Where.Start, Where.End, Quoted(W) + " is not a name (" + Owner + ")");
            break;
          }
        break;
    }
  }

  void Id(std::string_view Value, TMLRange Where) {
    // Today's HTML takes any id without blanks; older HTML and XML a name.
    const bool Valid = FSchema.Html5 && !FSchema.Xml
                           ? !Value.empty() && std::none_of(Value.begin(), Value.end(), IsSpace)
                           : IsName(Value);
    if (!Valid) {
      FOut.Add("invalid-value", Where.Start, Where.End, Quoted(Value) + " is not a valid ID");
      return;
    }
    if (!FIds.insert(std::string(Value)).second)
      FOut.Add("duplicate-id", Where.Start, Where.End,
               "The ID " + Quoted(Value) + " is given to another element already");
  }

  std::string_view FText;
  const TMLTree& FTree;
  const TMarkupSchema& FSchema;
  TDiagnostics& FOut;
  std::vector<IKelMLTag*> FTags;  // each element's schema tag
  std::unordered_map<IKelMLTag*, TTagFacts> FFacts;
  std::unordered_map<IKelMLTagAttribute*, std::vector<std::string>> FValues;
  std::unordered_set<std::string> FIds;
  std::unordered_map<TKey, TElementAnswer, TKeyHash> FElements;
  std::unordered_map<TKey, IKelMLTagAttribute*, TKeyHash> FAttributes;
  std::vector<std::string_view> FSeen;
  std::unordered_set<std::string> FSeenSet;
  std::map<std::pair<IKelMLTag*, std::string>, bool> FTakes;
  std::unordered_map<IKelMLTag*, THTMLTag::TRequired> FRequired;
  std::unordered_map<IKelMLTagAttribute*, TMLValueKind> FKinds;
  std::vector<std::pair<std::string, TMLRange>> FReferences;
};

}  // namespace

void CheckMarkup(std::string_view Text, const TMLTree& Tree, const TMarkupSchema& Schema, TDiagnostics& Out) {
  TChecker(Text, Tree, Schema, Out).Run();
}

}  // namespace kel
