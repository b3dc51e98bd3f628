#include "css/CSSSchemaLoader.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>

#include "css/CSSUnitEditor.h"
#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "host/KelXMLDocument.h"
#include "markup/MLParserUtils.h"

namespace kel {

std::vector<TFontFaceInfo> InstalledFonts() {
  std::vector<TFontFaceInfo> Faces;
  FcConfig* Config = FcInitLoadConfigAndFonts();
  if (!Config) return Faces;
  FcPattern* Pattern = FcPatternCreate();
  FcObjectSet* Objects = FcObjectSetBuild(FC_FAMILY, FC_FULLNAME, FC_FONTFORMAT, nullptr);
  if (FcFontSet* Set = Pattern && Objects ? FcFontList(Config, Pattern, Objects) : nullptr) {
    for (int I = 0; I < Set->nfont; ++I) {
      FcChar8* Family = nullptr;
      FcChar8* Full = nullptr;
      FcChar8* Format = nullptr;
      if (FcPatternGetString(Set->fonts[I], FC_FAMILY, 0, &Family) != FcResultMatch || !Family) continue;
      TFontFaceInfo Face;
      Face.Family = reinterpret_cast<const char*>(Family);
      if (FcPatternGetString(Set->fonts[I], FC_FULLNAME, 0, &Full) == FcResultMatch && Full)
        Face.FullName = reinterpret_cast<const char*>(Full);
      if (FcPatternGetString(Set->fonts[I], FC_FONTFORMAT, 0, &Format) == FcResultMatch && Format) {
        const std::string F = reinterpret_cast<const char*>(Format);
        Face.TrueType = F == "TrueType" || F == "CFF";
      }
      Faces.push_back(std::move(Face));
    }
    FcFontSetDestroy(Set);
  }
  if (Objects) FcObjectSetDestroy(Objects);
  if (Pattern) FcPatternDestroy(Pattern);
  FcConfigDestroy(Config);
  return Faces;
}

namespace {

// A family name goes unquoted when it is a sequence of identifiers that is
// no keyword of font-family; else it is written as a string.
std::string FamilyValue(const std::string& Family) {
  static const char* const Keywords[] = {"serif",     "sans-serif", "monospace", "cursive",  "fantasy",
                                         "system-ui", "math",       "emoji",     "fangsong", "inherit",
                                         "initial",   "unset",      "revert",    "default"};
  bool Plain = std::none_of(std::begin(Keywords), std::end(Keywords),
                            [&Family](const char* K) { return SameText(Family, K); });
  bool WordStart = true;
  for (const char C : Family) {
    const auto U = static_cast<unsigned char>(C);
    if (C == ' ') {
      Plain = Plain && !WordStart;
      WordStart = true;
      continue;
    }
    const bool Letter = (U >= 'a' && U <= 'z') || (U >= 'A' && U <= 'Z') || C == '_';
    const bool Digit = U >= '0' && U <= '9';
    if (!Letter && !Digit && C != '-') Plain = false;
    if (WordStart && (Digit || C == '-')) Plain = false;
    WordStart = false;
  }
  if (Plain && !WordStart) return Family;
  std::string Quoted = "\"";
  for (const char C : Family) Quoted += C == '"' ? std::string("\\\"") : std::string(1, C);
  return Quoted + "\"";
}

}  // namespace

// Families, not faces: "DejaVu Sans", never "DejaVu Sans Bold".
std::vector<std::string> FontFamilyNames(const std::vector<TFontFaceInfo>& Faces) {
  std::vector<std::string> Names;
  for (const auto& F : Faces) {
    if (F.Family.empty()) continue;
    std::string N = FamilyValue(F.Family);
    if (std::find(Names.begin(), Names.end(), N) == Names.end()) Names.push_back(std::move(N));
  }
  return Names;
}

std::string CSSSchemaFileName() { return GetSchemaFolder() + "css.xml"; }

bool LoadCSSSchema(TCSSSymbolTable& Table, std::string& Error) {
  const std::string File = CSSSchemaFileName();
  bool Ok = FileExists(File);
  if (!Ok) {
    Error = "style-sheet schema not found: " + File;
  } else {
    try {
      TCSSReader(Table).LoadFromFile(File);
    } catch (const EXMLDocumentError& E) {
      Error = E.what();
      Ok = false;
    }
  }
  Table.AlphaSort();
  return Ok;
}

TCSSReader::TCSSReader(TCSSSymbolTable& SymbolTable, TFontSource Fonts)
    : FTable(SymbolTable), FFonts(std::move(Fonts)) {}

void TCSSReader::LoadFromFile(const std::string& FileName) {
  if (!FileExists(FileName)) return;
  TXMLDocument Doc;
  Doc.LoadFromFile(FileName);
  const TXMLNode Root = Doc.DocumentElement();
  if (!Root.IsNull() && Root.NodeName() == "css") {
    for (const TXMLNode& Node : Root.ChildNodes()) {
      if (!Node.IsElement()) continue;
      const std::string Kind = Node.NodeName();
      if (Kind == "property")
        AddProperty(Node);
      else if (Kind == "type")
        AddType(Node);
      else if (Kind == "at-rule" && Node.HasAttribute("name"))
        (Node.HasAttribute("within") ? FTable.AtRulesWithin[Node.Attribute("within")] : FTable.AtRules)
            .push_back(Node.Attribute("name"));
      else if (Kind == "pseudo-class" && Node.HasAttribute("name"))
        FTable.PseudoClasses.push_back(Node.Attribute("name"));
      else if (Kind == "pseudo-element" && Node.HasAttribute("name"))
        FTable.PseudoElements.push_back(Node.Attribute("name"));
      else if ((Kind == "media-feature" || Kind == "container-feature") && Node.HasAttribute("name")) {
        const bool Media = Kind == "media-feature";
        const std::string Name = Node.Attribute("name");
        (Media ? FTable.MediaWords : FTable.ContainerWords).push_back(Name);
        for (const TXMLNode& V : Node.ChildNodes())
          if (V.IsElement() && V.NodeName() == "value" && V.HasAttribute("name"))
            (Media ? FTable.MediaValues : FTable.ContainerValues)[Name].push_back(V.Attribute("name"));
      }
      else if (Kind == "descriptors" && Node.HasAttribute("at"))
        for (const TXMLNode& D : Node.ChildNodes())
          if (D.IsElement() && D.NodeName() == "property" && D.HasAttribute("name")) {
            TCSSProperty* P = FTable.NewDescriptor(Node.Attribute("at"), D.Attribute("name"));
            if (D.HasAttribute("description")) P->Description = D.Attribute("description");
            for (const TXMLNode& V : D.ChildNodes())
              if (V.IsElement() && V.NodeName() == "value") LoadValues(V, *P);
          }
    }
  }
  Resolve();
}

void TCSSReader::AddProperty(const TXMLNode& Node) {
  if (!Node.HasAttribute("name")) return;
  TCSSProperty* P = FTable.NewProperty(Node.Attribute("name"));
  if (Node.HasAttribute("inherited")) P->Inherited = Node.AttributeAsBoolean("inherited");
  if (Node.HasAttribute("description")) P->Description = Node.Attribute("description");
  if (Node.HasAttribute("relevance"))
    P->Relevance = std::clamp(std::atoi(Node.Attribute("relevance").c_str()), 0, 100);
  P->Vendor = Node.HasAttribute("vendor") && Node.AttributeAsBoolean("vendor");
  for (const TXMLNode& Child : Node.ChildNodes()) {
    if (!Child.IsElement()) continue;
    if (Child.NodeName() == "media") {
      if (Child.HasAttribute("name")) P->Media.Add(Child.Attribute("name"));
    } else if (Child.NodeName() == "value") {
      LoadValues(Child, *P);
    }
  }
}

void TCSSReader::LoadValues(const TXMLNode& Node, TCSSProperty& Property) {
  if (Node.HasAttribute("optional") || Node.HasAttribute("sequence")) {
    for (const TXMLNode& Child : Node.ChildNodes())
      if (Child.IsElement()) LoadValues(Child, Property);
  } else if (Node.HasAttribute("name")) {
    TCSSValue* V = FTable.NewValue(Node.Attribute("name"));
    V->Kind = TCSSValueKind::cssVkName;
    Property.AddValue(V);
  } else if (Node.HasAttribute("type")) {
    TCSSType* Type = FTable.NewType(Node.Attribute("type"));
    Property.AddType(Type);
    if (SameText(Node.Attribute("first"), "true")) FFirst.emplace_back(&Property, Type);
  }
}

void TCSSReader::AddType(const TXMLNode& Node) {
  if (!Node.HasAttribute("name")) return;
  TCSSType* T = FTable.NewType(Node.Attribute("name"));
  if (Node.HasAttribute("editable")) T->Editable = Node.AttributeAsBoolean("editable");
  for (const TXMLNode& Child : Node.ChildNodes()) {
    if (!Child.IsElement() || Child.NodeName() != "value") continue;
    if (Child.HasAttribute("name")) {
      T->Values.Add(Child.Attribute("name"));
    } else if (Child.HasAttribute("ref")) {
      T->Refs.Add(Child.Attribute("ref"));
    } else if (Child.HasAttribute("type")) {
      const std::string Type = Child.Attribute("type");
      if (Type == "font") {
        if (FFonts)
          for (const auto& Name : FontFamilyNames(FFonts())) T->Values.Add(Name);
      } else {
        T->IntrinsicTypes.Add(Type);
      }
    }
  }
}

void TCSSReader::ResolveType(TCSSType& Type) {
  if (Type.Resolved) return;
  Type.Resolved = true;
  for (int32_t I = 0; I < Type.GetRefCount(); ++I) {
    TCSSType* Ref = FTable.LookupType(Type.Refs.GetItem(I));
    if (!Ref) continue;
    ResolveType(*Ref);
    for (int32_t J = 0; J < Ref->GetValueCount(); ++J) Type.Values.Add(Ref->Values.GetItem(J));
  }
}

void TCSSReader::Merge(TCSSProperty& Property, TCSSType& Type, int32_t Position) {
  const TCSSType* Named = Property.Types[static_cast<size_t>(Position)];
  const std::pair<const TCSSProperty*, const TCSSType*> Key(&Property, Named);
  const bool Leads = std::find(FFirst.begin(), FFirst.end(), Key) != FFirst.end();
  for (int32_t I = 0; I < Type.GetValueCount(); ++I) {
    TCSSValue* V = FTable.NewValue(Type.Values.GetItem(I));
    V->Kind = TCSSValueKind::cssVkName;
    Property.AddValue(V);
    if (Leads && std::find(Property.Lead.begin(), Property.Lead.end(), V) == Property.Lead.end())
      Property.Lead.push_back(V);
  }
  if (Type.Editable) {
    TCSSValue* V = FTable.NewValue(Type.Name);
    V->Kind = TCSSValueKind::cssVkType;
    Property.AddValue(V);
    return;
  }
  // A type named after a property brings that property's values (shorthands).
  const TCSSType* Own = Property.Types[static_cast<size_t>(Position)];
  if (TCSSProperty* Part = FTable.LookupProperty(Own->Name); Part && Part != &Property) {
    ResolveProp(*Part);
    Property.Shorthand = true;
    for (TCSSValue* V : Part->Values) Property.AddValue(V);
  }
}

void TCSSReader::ResolveProp(TCSSProperty& Property) {
  if (Property.Resolved) return;
  Property.Resolved = true;
  // Merging may resolve other properties, never this one's type list.
  for (int32_t I = 0; I < Property.GetTypeCount(); ++I) {
    TCSSType* T = Property.Types[static_cast<size_t>(I)];
    Merge(Property, *T, I);
    for (int32_t R = 0; R < T->GetRefCount(); ++R)
      if (TCSSType* Ref = FTable.LookupType(T->Refs.GetItem(R))) Merge(Property, *Ref, I);
  }
}

void TCSSReader::Resolve() {
  for (int32_t I = 0; I < FTable.GetTypeCount(); ++I) ResolveType(*FTable.GetType(I));
  for (int32_t I = 0; I < FTable.GetPropCount(); ++I) ResolveProp(*FTable.GetProp(I));
  for (auto& [AtRule, List] : FTable.Descriptors) {
    for (auto& D : List) ResolveProp(*D);
    std::sort(List.begin(), List.end(),
              [](const auto& A, const auto& B) { return CompareCSSNames(A->Name, B->Name) < 0; });
  }
  const auto Units = [this](TCSSUnitEditor* E, const char* Type) {
    if (const TCSSType* T = FTable.LookupType(Type))
      for (int32_t I = 0; I < T->GetIntrinsicCount(); ++I) E->GetUnitList().Add(T->IntrinsicTypes.GetItem(I));
    return E;
  };
  FTable.AddEditor(new TCSSColorEditor);
  FTable.AddEditor(new TCSSURIEditor);
  FTable.AddEditor(Units(new TCSSAngleEditor, "angle"));
  FTable.AddEditor(Units(new TCSSLengthEditor, "length"));
  auto* Percentage = new TCSSPercentageEditor;
  Percentage->GetUnitList().Add("%");
  FTable.AddEditor(Percentage);
  FTable.AddEditor(Units(new TCSSTimeEditor, "time"));
  FTable.AddEditor(Units(new TCSSFrequencyEditor, "frequency"));
  FTable.AddEditor(Units(new TCSSResolutionEditor, "resolution"));
  FTable.AddEditor(Units(new TCSSFractionEditor, "fraction"));
}

}  // namespace kel
