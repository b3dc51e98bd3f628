#include "markup/MLTree.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>

#include "host/KelHostAPI.h"

namespace kel {

namespace {

bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }
bool IsAlpha(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
char Lower(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C; }

bool SameName(std::string_view A, std::string_view B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) { return Lower(X) == Lower(Y); });
}

// The local part of a qualified name (html:style is a style element).
std::string_view Local(std::string_view Name) {
  const size_t Colon = Name.rfind(':');
  return Colon == std::string_view::npos ? Name : Name.substr(Colon + 1);
}

template <size_t N>
bool OneOf(std::string_view Name, const std::array<std::string_view, N>& Names) {
  return std::any_of(Names.begin(), Names.end(), [Name](std::string_view S) { return SameName(Name, S); });
}

constexpr std::array<std::string_view, 19> VoidElements{
    "area",  "base",    "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr", "img",
    "input", "isindex", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
constexpr std::array<std::string_view, 9> RawTextElements{"script", "style",   "textarea", "title",    "xmp",
                                                          "iframe", "noembed", "noframes", "plaintext"};
constexpr std::array<std::string_view, 18> OptionalEnd{
    "p",     "li",    "dt",    "dd",       "option",  "optgroup", "tr", "td",  "th",
    "thead", "tbody", "tfoot", "colgroup", "caption", "rb",       "rt", "rtc", "rp"};
constexpr std::array<std::string_view, 3> OptionalEndOfPage{"head", "body", "html"};
constexpr std::array<std::string_view, 36> ClosesParagraph{
    "address", "article",  "aside",      "blockquote", "center", "details", "dialog", "dir",  "div",
    "dl",      "fieldset", "figcaption", "figure",     "footer", "form",    "h1",     "h2",   "h3",
    "h4",      "h5",       "h6",         "header",     "hgroup", "hr",      "main",   "menu", "nav",
    "ol",      "p",        "pre",        "section",    "table",  "ul",      "li",     "dd",   "dt"};

// Whether a start tag Tag ends the open element Open whose end tag HTML
// lets be implied.
bool Implies(std::string_view Open, std::string_view Tag) {
  const auto Is = [Tag](std::initializer_list<std::string_view> Names) {
    return std::any_of(Names.begin(), Names.end(), [Tag](std::string_view S) { return SameName(Tag, S); });
  };
  const auto O = [Open](std::string_view S) { return SameName(Open, S); };
  if (O("p")) return OneOf(Tag, ClosesParagraph);
  if (O("li")) return Is({"li"});
  if (O("dt") || O("dd")) return Is({"dt", "dd"});
  if (O("option")) return Is({"option", "optgroup"});
  if (O("optgroup")) return Is({"optgroup"});
  if (O("td") || O("th")) return Is({"td", "th", "tr", "tbody", "tfoot", "thead"});
  if (O("tr")) return Is({"tr", "tbody", "tfoot", "thead"});
  if (O("thead") || O("tbody") || O("tfoot")) return Is({"tbody", "tfoot"});
  if (O("colgroup") || O("caption")) return Is({"colgroup", "caption", "thead", "tbody", "tfoot", "tr"});
  if (O("rb") || O("rt") || O("rtc") || O("rp")) return Is({"rb", "rt", "rtc", "rp"});
  if (O("head")) return Is({"body"});
  return false;
}

class TBuilder {
 public:
  TBuilder(std::string_view Text, bool Xml)
      : T(Text), N(static_cast<uint32_t>(Text.size())), XmlGiven(Xml), Xml(Xml) {}

  // A node begins at each '<' that is no end tag (stray end tags are few),
  // most attributes at a '=': the arrays are stored once, not copied as
  // they grow. Room reserved and never used costs no resident memory.
  void Reserve() {
    size_t Count = 0;
    for (const char* P = T.data(); (P = static_cast<const char*>(std::memchr(P, '<', T.data() + N - P)));)
      if (++P == T.data() + N || *P != '/') ++Count;
    R.Nodes.reserve(Count + Count / 64 + 16);
    const auto Values = static_cast<size_t>(std::count(T.begin(), T.end(), '='));
    R.Attributes.reserve(Values + Values / 16 + 16);
  }

  TMLTree Run(uint32_t P = 0) {
    R.XmlGiven = XmlGiven;
    R.Length = N;
    uint32_t TextStart = P;
    const auto FlushText = [&](uint32_t End) {
      if (End > TextStart) Text(TextStart, End);
    };
    while (P < N) {
      const char* Lt = static_cast<const char*>(std::memchr(T.data() + P, '<', N - P));
      if (!Lt) break;
      P = static_cast<uint32_t>(Lt - T.data());
      if (!OpensMarkup(P)) {
        ++P;
        continue;
      }
      FlushText(P);
      if (Resumed && P >= EditEnd && Splice(P)) return std::move(R);
      P = Markup(P);
      TextStart = P;
    }
    FlushText(N);
    while (!Open.empty()) CloseTop(N, EndInside(Open.back()));
    for (uint32_t I = 0; I < R.Nodes.size(); ++I)
      if (R.Nodes[I].Next == 0) R.Nodes[I].Next = static_cast<uint32_t>(R.Nodes.size());
    R.Xml = Xml;
    return std::move(R);
  }

  // Reading again from the start of the old tree's node At (the edit's
  // bytes end at EditEnd of the new text, Delta later than in the old): the
  // state the reading had there is the old tree's. The tree is read again
  // in From's own storage: its nodes before At stay where they are, the
  // rest is kept aside until the reading meets it again. False (From left
  // as it was) when that state cannot be had: nothing read before At
  // decided whether the page is XML.
  bool Resume(TMLTree& From, uint32_t At, uint32_t AEditEnd, int64_t ADelta) {
    const uint32_t P = From.Nodes[At].Open.Start;
    bool Element = false;
    for (uint32_t I = 0; I < At && !Element; ++I) Element = From.Nodes[I].Kind == TMLNodeKind::Element;
    if (!Element) return false;
    SeenElement = true;
    Xml = From.Xml;
    Open = OpenAt([&From](uint32_t I) -> const TMLNode& { return From.Nodes[I]; }, At, P);
    for (const uint32_t I : Open) Kept.emplace_back(I, From.Nodes[I]);
    const auto FirstAttribute = static_cast<uint32_t>(
        std::lower_bound(From.Attributes.begin(), From.Attributes.end(), P,
                         [](const TMLAttribute& A, uint32_t O) { return A.Name.Start < O; }) -
        From.Attributes.begin());
    const auto FirstRegion =
        std::lower_bound(From.Regions.begin(), From.Regions.end(), P,
                         [](const TMLRegion& X, uint32_t O) { return X.Range.Start < O; });
    const auto FirstReference = std::lower_bound(From.References.begin(), From.References.end(), P,
                                                 [](const TMLRange& X, uint32_t O) { return X.Start < O; });
    Tail.Nodes.assign(From.Nodes.begin() + At, From.Nodes.end());
    Tail.Attributes.assign(From.Attributes.begin() + FirstAttribute, From.Attributes.end());
    Tail.Regions.assign(FirstRegion, From.Regions.end());
    Tail.References.assign(FirstReference, From.References.end());
    From.References.erase(FirstReference, From.References.end());
    From.Nodes.resize(At);
    From.Attributes.resize(FirstAttribute);
    From.Regions.erase(FirstRegion, From.Regions.end());
    R.Nodes = std::move(From.Nodes);
    R.Attributes = std::move(From.Attributes);
    R.Regions = std::move(From.Regions);
    R.References = std::move(From.References);
    for (const uint32_t I : Open) {
      R.Nodes[I].Next = 0;
      const std::string_view Name = Slice(R.Nodes[I].Name);
      ++OpenNames[NameKey(Name)];
      if (!Xml && (SameName(Name, "svg") || SameName(Name, "math"))) ++ForeignDepth;
    }
    Resumed = true;
    Shared = At;
    SharedAttributes = FirstAttribute;
    EditEnd = AEditEnd;
    Delta = ADelta;
    return true;
  }

  // The elements open when the reading reached the old tree's node At,
  // which starts at P: At's ancestors and those its arrival ends.
  template <typename TNodeOf>
  static std::vector<uint32_t> OpenAt(const TNodeOf& NodeOf, uint32_t At, uint32_t P) {
    std::vector<uint32_t> Stack;
    for (uint32_t I = At == 0 ? TMLNode::None : At - 1; I != TMLNode::None; I = NodeOf(I).Parent) {
      const TMLNode& E = NodeOf(I);
      // A '<' with no name never opens.
      if (E.Kind != TMLNodeKind::Element || E.End == TMLEnd::Void || E.End == TMLEnd::SelfClosed ||
          E.Open.End > P || E.Name.Start == E.Name.End)
        continue;
      const uint32_t End = E.Range().End;
      if (End > P || (End == P && E.Close.Start == E.Close.End)) Stack.push_back(I);
    }
    std::reverse(Stack.begin(), Stack.end());
    return Stack;
  }

 private:
  // At P of the new text the old reading stood at P - Delta in the same
  // state (the same elements open, all read before the edit): the rest of
  // the tree is the old one's, moved.
  bool Splice(uint32_t P) {
    const auto Q64 = static_cast<int64_t>(P) - Delta;
    if (Q64 < 0) return false;
    const auto Q = static_cast<uint32_t>(Q64);
    const auto& ON = Tail.Nodes;
    const auto It = std::lower_bound(ON.begin(), ON.end(), Q,
                                     [](const TMLNode& X, uint32_t O) { return X.Open.Start < O; });
    if (It == ON.end() || It->Open.Start != Q) return false;
    const auto M = static_cast<uint32_t>(Shared + (It - ON.begin()));
    for (const uint32_t I : Open)
      if (I >= Shared) return false;
    if (OpenAt([this](uint32_t I) -> const TMLNode& { return OldNode(I); }, M, Q) != Open) return false;
    const int64_t IndexDelta = static_cast<int64_t>(R.Nodes.size()) - M;
    const auto FirstOldAttribute = static_cast<uint32_t>(
        std::lower_bound(Tail.Attributes.begin(), Tail.Attributes.end(), Q,
                         [](const TMLAttribute& A, uint32_t O) { return A.Name.Start < O; }) -
        Tail.Attributes.begin());
    const int64_t AttributeDelta =
        static_cast<int64_t>(R.Attributes.size()) - (SharedAttributes + FirstOldAttribute);
    // A range a node does not have ({0, 0}: a void element's end tag) stays.
    const auto Move = [this](TMLRange& X) {
      if (X.Start == 0 && X.End == 0) return;
      X.Start = static_cast<uint32_t>(X.Start + Delta);
      X.End = static_cast<uint32_t>(X.End + Delta);
    };
    const auto MoveFrom = [this, Q](TMLRange& X) {
      if (X.Start >= Q) X.Start = static_cast<uint32_t>(X.Start + Delta);
      if (X.End >= Q) X.End = static_cast<uint32_t>(X.End + Delta);
    };
    const auto Index = [IndexDelta, M](uint32_t I) {
      return I == TMLNode::None || I < M ? I : static_cast<uint32_t>(I + IndexDelta);
    };
    for (const uint32_t I : Open) {
      TMLNode& E = R.Nodes[I];
      const TMLNode& Was = OldNode(I);
      E.End = Was.End;
      E.CloseTerminated = Was.CloseTerminated;
      E.Close = Was.Close;
      MoveFrom(E.Close);
      E.Next = Index(Was.Next);
    }
    R.Nodes.reserve(R.Nodes.size() + (Shared + ON.size() - M));
    for (uint32_t I = M - Shared; I < ON.size(); ++I) {
      TMLNode X = ON[I];
      for (TMLRange* Range : {&X.Name, &X.Open, &X.Close}) Move(*Range);
      X.Parent = Index(X.Parent);
      X.Next = Index(X.Next);
      X.FirstAttribute = static_cast<uint32_t>(X.FirstAttribute + AttributeDelta);
      R.Nodes.push_back(X);
    }
    R.Attributes.reserve(R.Attributes.size() + (Tail.Attributes.size() - FirstOldAttribute));
    for (uint32_t I = FirstOldAttribute; I < Tail.Attributes.size(); ++I) {
      TMLAttribute A = Tail.Attributes[I];
      Move(A.Name);
      Move(A.Value);
      R.Attributes.push_back(A);
    }
    for (const TMLRegion& Was : Tail.Regions) {
      if (Was.Range.Start < Q) continue;
      TMLRegion X = Was;
      Move(X.Range);
      X.Owner = X.Kind == TMLRegionKind::StyleDeclarations ? static_cast<uint32_t>(X.Owner + AttributeDelta)
                                                           : Index(X.Owner);
      R.Regions.push_back(X);
    }
    for (TMLRange Was : Tail.References) {
      if (Was.Start < Q) continue;
      Move(Was);
      R.References.push_back(Was);
    }
    R.Xml = Xml;
    return true;
  }

 private:
  // Node I of the old tree. Kept is in document order (ancestors first): a
  // walk up from a deep node asks it once per ancestor.
  const TMLNode& OldNode(uint32_t I) const {
    if (I >= Shared) return Tail.Nodes[I - Shared];
    const auto It =
        std::lower_bound(Kept.begin(), Kept.end(), I, [](const auto& K, uint32_t X) { return K.first < X; });
    return It != Kept.end() && It->first == I ? It->second : R.Nodes[I];
  }
  std::string_view Slice(TMLRange Range) const { return T.substr(Range.Start, Range.End - Range.Start); }
  bool At(uint32_t P, std::string_view S) const { return T.substr(P, S.size()) == S; }
  bool AtIgnoringCase(uint32_t P, std::string_view S) const { return SameName(T.substr(P, S.size()), S); }
  uint32_t Find(uint32_t P, std::string_view S) const {
    const size_t F = T.find(S, P);
    return F == std::string_view::npos ? N : static_cast<uint32_t>(F);
  }
  bool Foreign() const { return ForeignDepth > 0; }

  // A '<' that HTML takes for markup; in XML every one is.
  bool OpensMarkup(uint32_t P) const {
    if (Xml || P + 1 >= N) return true;
    const char C = T[P + 1];
    return IsAlpha(C) || C == '/' || C == '!' || C == '?' || C == '%';
  }

  // By a quarter, not double: a large page's tree has little room to spare.
  template <typename T>
  static void Grow(std::vector<T>& V) {
    if (V.size() == V.capacity()) V.reserve(V.size() + V.size() / 4 + 64);
  }

  uint32_t Add(TMLNodeKind Kind, uint32_t Start) {
    TMLNode Node;
    Node.Kind = Kind;
    Node.Parent = Open.empty() ? TMLNode::None : Open.back();
    Node.Open = {Start, Start};
    Node.FirstAttribute = static_cast<uint32_t>(R.Attributes.size());
    Grow(R.Nodes);
    R.Nodes.push_back(Node);
    return static_cast<uint32_t>(R.Nodes.size() - 1);
  }
  void Finish(uint32_t Index) { R.Nodes[Index].Next = static_cast<uint32_t>(R.Nodes.size()); }

  void Region(TMLRegionKind Kind, TMLRange Range, uint32_t Owner, bool OpenAtStart = true) {
    R.Regions.push_back({Kind, Range, Owner, OpenAtStart});
  }

  // The open element whose text this is, when it is a sheet or a script
  // (XML: its pieces between markup).
  TMLRegionKind ParentLanguage() const {
    if (Open.empty()) return TMLRegionKind::Markup;
    const std::string_view Name = Local(Slice(R.Nodes[Open.back()].Name));
    if (SameName(Name, "style")) return TMLRegionKind::StyleSheet;
    if (SameName(Name, "script")) return TMLRegionKind::Script;
    return TMLRegionKind::Markup;
  }

  // The named references in [Start, End): '&', a letter, name characters, ';'.
  void References(uint32_t Start, uint32_t End) {
    for (const char* P = T.data() + Start;
         (P = static_cast<const char*>(std::memchr(P, '&', T.data() + End - P)));) {
      const char* Q = P + 1;
      if (Q == T.data() + End || !std::isalpha(static_cast<unsigned char>(*Q))) {
        P = Q;
        continue;
      }
      while (Q < T.data() + End && std::isalnum(static_cast<unsigned char>(*Q))) ++Q;
      if (Q < T.data() + End && *Q == ';')
        R.References.push_back(
            {static_cast<uint32_t>(P - T.data()), static_cast<uint32_t>(Q + 1 - T.data())});
      P = Q;
    }
  }

  // Text is no node; in a style or script element of XML it is its pieces.
  void Text(uint32_t Start, uint32_t End) {
    const TMLRegionKind Language = ParentLanguage();
    if (Language == TMLRegionKind::Markup) {
      References(Start, End);
      return;
    }
    // XML text holds entity references: markup between pieces of the sheet.
    uint32_t From = Start;
    bool AfterReference = false;
    for (;;) {
      const size_t Amp = T.substr(0, End).find('&', From);
      const uint32_t To = Amp == std::string_view::npos ? End : static_cast<uint32_t>(Amp);
      // A caret at a piece's start is in the sheet after a tag's '>', not
      // after a reference or a '<' being typed.
      if (To > From || !AfterReference)
        Region(Language, {From, To}, Open.back(), !AfterReference && (From == 0 || T[From - 1] == '>'));
      if (To == End) break;
      uint32_t P = To + 1;
      while (P < End && (std::isalnum(static_cast<unsigned char>(T[P])) || T[P] == '#' || T[P] == '_' ||
                         T[P] == '-' || T[P] == '.' || T[P] == ':'))
        ++P;
      if (P < End && T[P] == ';') ++P;
      From = P;
      AfterReference = true;
      if (From >= End) break;
    }
  }

  uint32_t Markup(uint32_t P) {
    if (At(P, "<!--")) return Delimited(P, TMLNodeKind::Comment, 4, "-->");
    if (At(P, "<![CDATA[")) return Delimited(P, TMLNodeKind::CData, 9, "]]>");
    if (At(P, "<%--")) return Delimited(P, TMLNodeKind::Server, 4, "--%>");
    if (At(P, "<%")) return Delimited(P, TMLNodeKind::Server, 2, "%>");
    if (At(P, "<?")) return Delimited(P, TMLNodeKind::ProcessingInstruction, 2, "?>");
    if (AtIgnoringCase(P, "<!doctype")) return DocType(P);
    if (At(P, "<!")) return Delimited(P, TMLNodeKind::Comment, 2, ">");
    if (At(P, "</")) return EndTag(P);
    return StartTag(P);
  }

  // A node between an opening and a closing delimiter, or the page's end.
  uint32_t Delimited(uint32_t P, TMLNodeKind Kind, uint32_t OpenLength, std::string_view Close) {
    const uint32_t I = Add(Kind, P);
    const uint32_t Inside = std::min(P + OpenLength, N);
    const uint32_t E = Find(Inside, Close);
    TMLNode& Node = R.Nodes[I];
    Node.Open = {P, Inside};
    Node.Terminated = E < N;
    const uint32_t End = Node.Terminated ? E + static_cast<uint32_t>(Close.size()) : N;
    Node.Close = {E, End};
    if (Kind == TMLNodeKind::ProcessingInstruction || Kind == TMLNodeKind::DocType) {
      uint32_t NameEnd = Inside;
      while (NameEnd < E && !IsSpace(T[NameEnd])) ++NameEnd;
      Node.Name = {Inside, NameEnd};
    }
    Finish(I);
    const std::string_view Inner = Slice(Node.Content());
    const TMLRegionKind Language = ParentLanguage();
    if (Kind == TMLNodeKind::Server && OpenLength == 2 && !Inner.starts_with("@")) {
      Region(TMLRegionKind::ServerCode, Node.Content(), I);
    } else if (Kind == TMLNodeKind::ProcessingInstruction && !Xml &&
               (Inner.starts_with("php") || Inner.starts_with("="))) {
      Region(TMLRegionKind::ServerCode, Node.Content(), I);
    } else if ((Kind == TMLNodeKind::CData || (Kind == TMLNodeKind::Comment && OpenLength == 4)) &&
               Language != TMLRegionKind::Markup) {
      // XHTML writes a sheet or script inside a section or a comment.
      Region(Language, Node.Content(), Open.back());
    } else if (Kind == TMLNodeKind::ProcessingInstruction && Inner.starts_with("xml") && Inner.size() > 3 &&
               IsSpace(Inner[3]) && !SeenElement) {
      Xml = true;
    }
    return End;
  }

  uint32_t DocType(uint32_t P) {
    const uint32_t I = Add(TMLNodeKind::DocType, P);
    uint32_t Q = P + 9;
    const uint32_t NameStart = Q;
    while (Q < N && IsSpace(T[Q])) ++Q;
    uint32_t NameEnd = Q;
    while (NameEnd < N && !IsSpace(T[NameEnd]) && T[NameEnd] != '>' && T[NameEnd] != '[') ++NameEnd;
    // Quoted identifiers and the internal subset may hold '>'.
    char Quote = 0;
    int Depth = 0;
    for (Q = NameEnd; Q < N; ++Q) {
      const char C = T[Q];
      if (Quote) {
        if (C == Quote) Quote = 0;
      } else if (C == '"' || C == '\'') {
        Quote = C;
      } else if (C == '[') {
        ++Depth;
      } else if (C == ']') {
        Depth = std::max(Depth - 1, 0);
      } else if (C == '>' && Depth == 0) {
        break;
      }
    }
    TMLNode& Node = R.Nodes[I];
    Node.Open = {P, std::min(P + 9, N)};
    Node.Name = {std::min(NameStart, N), NameEnd};
    while (Node.Name.Start < NameEnd && IsSpace(T[Node.Name.Start])) ++Node.Name.Start;
    Node.Terminated = Q < N;
    Node.Close = {Q, Node.Terminated ? Q + 1 : N};
    Finish(I);
    if (!SeenElement && T.substr(P, Q - P).find("XHTML") != std::string_view::npos) Xml = true;
    return Node.Close.End;
  }

  // Skips a <% %> block written inside a tag or a value.
  uint32_t SkipServer(uint32_t P) const {
    const uint32_t E = Find(P + 2, "%>");
    return E < N ? E + 2 : N;
  }

  uint32_t Name(uint32_t P) const {
    while (P < N && !IsSpace(T[P]) && T[P] != '>' && T[P] != '/' && T[P] != '<') ++P;
    return P;
  }

  // The attributes and the end of a start tag; a '<' outside quotes ends a
  // tag left unfinished (the user is typing it), so the next one still counts.
  uint32_t Attributes(uint32_t P, bool& SelfClosing, bool& Terminated) {
    SelfClosing = false;
    Terminated = false;
    while (P < N) {
      const char C = T[P];
      if (IsSpace(C)) {
        ++P;
      } else if (C == '>') {
        Terminated = true;
        return P + 1;
      } else if (C == '/') {
        SelfClosing = P + 1 < N && T[P + 1] == '>';
        ++P;
      } else if (C == '<') {
        if (!At(P, "<%")) return P;
        P = SkipServer(P);
      } else {
        TMLAttribute A;
        const uint32_t S = P;
        while (P < N && !IsSpace(T[P]) && T[P] != '=' && T[P] != '>' && T[P] != '<' &&
               !(T[P] == '/' && P > S))
          ++P;
        if (P == S) ++P;  // a lone '=' or quote
        A.Name = {S, P};
        A.Value = {P, P};
        uint32_t Q = P;
        while (Q < N && IsSpace(T[Q])) ++Q;
        if (Q < N && T[Q] == '=') {
          P = Q + 1;
          while (P < N && IsSpace(T[P])) ++P;
          A.HasValue = true;
          if (P < N && (T[P] == '"' || T[P] == '\'')) {
            A.Quote = T[P];
            const uint32_t VS = ++P;
            while (P < N && T[P] != A.Quote) P = At(P, "<%") ? SkipServer(P) : P + 1;
            A.Value = {VS, std::min(P, N)};
            if (P < N) ++P;
          } else {
            const uint32_t VS = P;
            while (P < N && !IsSpace(T[P]) && T[P] != '>') P = At(P, "<%") ? SkipServer(P) : P + 1;
            A.Value = {VS, P};
          }
        }
        // A value a server writes into holds its code, not references.
        if (A.HasValue &&
            T.substr(A.Value.Start, A.Value.End - A.Value.Start).find("<%") == std::string_view::npos)
          References(A.Value.Start, A.Value.End);
        Grow(R.Attributes);
        R.Attributes.push_back(A);
        if (A.Quote && SameName(Slice(A.Name), "style"))
          Region(TMLRegionKind::StyleDeclarations, A.Value, static_cast<uint32_t>(R.Attributes.size() - 1));
      }
    }
    return P;
  }

  uint32_t StartTag(uint32_t P) {
    SeenElement = true;
    const uint32_t NameEnd = Name(P + 1);
    const std::string_view TagName = T.substr(P + 1, NameEnd - P - 1);
    if (!Xml && !Foreign())
      while (!Open.empty() && Implies(Slice(R.Nodes[Open.back()].Name), TagName))
        CloseTop(P, TMLEnd::Omitted);
    const uint32_t I = Add(TMLNodeKind::Element, P);
    R.Nodes[I].Name = {P + 1, NameEnd};
    if (TagName.empty()) {
      // A '<' being typed: nothing opens.
      R.Nodes[I].Open = {P, P + 1};
      R.Nodes[I].Terminated = false;
      R.Nodes[I].End = TMLEnd::Unclosed;
      Finish(I);
      return P + 1;
    }
    bool SelfClosing = false, Terminated = false;
    const uint32_t End = Attributes(NameEnd, SelfClosing, Terminated);
    TMLNode& Node = R.Nodes[I];
    Node.Open = {P, End};
    Node.Terminated = Terminated;
    const bool Html = !Xml && !Foreign();
    const bool EntersForeign = !Xml && (SameName(TagName, "svg") || SameName(TagName, "math"));
    // "/>" closes in XML and foreign content, and a prefixed element's is a
    // server's or tag library's (asp:Label, c:out); a <script … /> of XHTML
    // written as HTML has no body either.
    if ((SelfClosing &&
         (!Html || OneOf(TagName, RawTextElements) || TagName.find(':') != std::string_view::npos)) ||
        (Html && OneOf(TagName, VoidElements))) {
      Node.End = SelfClosing && !(Html && OneOf(TagName, VoidElements)) ? TMLEnd::SelfClosed : TMLEnd::Void;
      Finish(I);
      return End;
    }
    Open.push_back(I);
    ++OpenNames[NameKey(TagName)];
    if (EntersForeign) ++ForeignDepth;
    if (Html && Terminated && OneOf(TagName, RawTextElements)) return RawText(I, TagName, End);
    return End;
  }

  // The body of a raw-text element runs to its own end tag.
  uint32_t RawText(uint32_t Element, std::string_view TagName, uint32_t P) {
    uint32_t E = P;
    const bool Plain = SameName(TagName, "plaintext");
    for (;; ++E) {
      E = Plain ? N : Find(E, "</");
      if (E >= N) break;
      const uint32_t After = E + 2 + static_cast<uint32_t>(TagName.size());
      if (AtIgnoringCase(E + 2, TagName) &&
          (After >= N || IsSpace(T[After]) || T[After] == '>' || T[After] == '/'))
        break;
    }
    E = std::min(E, N);
    TMLRange Body{P, E};
    const TMLRegionKind Kind = SameName(TagName, "style")    ? TMLRegionKind::StyleSheet
                               : SameName(TagName, "script") ? TMLRegionKind::Script
                                                             : TMLRegionKind::RawText;
    if (Kind == TMLRegionKind::StyleSheet) {
      // The wrapper that hides a sheet from old browsers, or XML's CDATA,
      // is no part of it.
      uint32_t S = Body.Start;
      while (S < Body.End && IsSpace(T[S])) ++S;
      for (const auto& [Opener, Closer] : {std::pair<std::string_view, std::string_view>{"<![CDATA[", "]]>"},
                                           std::pair<std::string_view, std::string_view>{"<!--", "-->"}})
        if (T.substr(S, Body.End - S).starts_with(Opener)) {
          Body.Start = S + static_cast<uint32_t>(Opener.size());
          uint32_t X = Body.End;
          while (X > Body.Start && IsSpace(T[X - 1])) --X;
          if (X - Body.Start >= Closer.size() && T.substr(X - Closer.size(), Closer.size()) == Closer)
            Body.End = X - static_cast<uint32_t>(Closer.size());
          break;
        }
    }
    Region(Kind, Body, Element);
    return E;
  }

  uint32_t EndTag(uint32_t P) {
    const uint32_t NameEnd = Name(P + 2);
    const std::string_view TagName = T.substr(P + 2, NameEnd - P - 2);
    uint32_t Q = NameEnd;
    while (Q < N && T[Q] != '>' && T[Q] != '<') ++Q;
    const bool Terminated = Q < N && T[Q] == '>';
    const uint32_t End = Terminated ? Q + 1 : Q;
    // An end tag no open element takes costs no walk down the stack: a page
    // of 50,000 open elements and as many stray end tags stays linear.
    auto Match = Open.rbegin();
    const auto Count = OpenNames.find(NameKey(TagName));
    if (Count == OpenNames.end() || Count->second == 0) Match = Open.rend();
    for (; Match != Open.rend(); ++Match) {
      const std::string_view OpenName = Slice(R.Nodes[*Match].Name);
      if (Xml ? OpenName == TagName : SameName(OpenName, TagName)) break;
    }
    if (Match == Open.rend() || TagName.empty()) {
      const uint32_t I = Add(TMLNodeKind::StrayEndTag, P);
      TMLNode& Node = R.Nodes[I];
      Node.Name = {P + 2, NameEnd};
      Node.Open = {P, End};
      Node.Terminated = Terminated;
      Finish(I);
      return End;
    }
    const uint32_t Element = *Match;
    while (Open.back() != Element) CloseTop(P, EndInside(Open.back()));
    TMLNode& Node = R.Nodes[Element];
    Node.Close = {P, End};
    Node.End = TMLEnd::Written;
    Node.CloseTerminated = Terminated;
    PopOpen();
    Finish(Element);
    return End;
  }

  TMLEnd EndInside(uint32_t Element) const {
    const std::string_view Name = Slice(R.Nodes[Element].Name);
    return !Xml && (OneOf(Name, OptionalEnd) || OneOf(Name, OptionalEndOfPage)) ? TMLEnd::Omitted
                                                                                : TMLEnd::Unclosed;
  }

  // The name as end tags match it (case folded in HTML), hashed.
  uint64_t NameKey(std::string_view Name) const {
    uint64_t H = 1469598103934665603ull;
    for (const char C : Name) H = (H ^ static_cast<unsigned char>(Xml ? C : Lower(C))) * 1099511628211ull;
    return H;
  }

  void PopOpen() {
    const std::string_view Name = Slice(R.Nodes[Open.back()].Name);
    if (auto It = OpenNames.find(NameKey(Name)); It != OpenNames.end() && It->second > 0) --It->second;
    if (!Xml && ForeignDepth > 0 && (SameName(Name, "svg") || SameName(Name, "math"))) --ForeignDepth;
    Open.pop_back();
  }

  // Ends the innermost open element at At, with no end tag of its own.
  void CloseTop(uint32_t At, TMLEnd How) {
    const uint32_t Element = Open.back();
    TMLNode& Node = R.Nodes[Element];
    Node.End = How;
    Node.CloseTerminated = true;
    const uint32_t End = std::max(At, Node.Open.End);
    Node.Close = {End, End};
    PopOpen();
    Finish(Element);
  }

  std::string_view T;
  uint32_t N;
  bool XmlGiven;
  bool Xml;
  // Reading again after an edit: the old tree's first Shared nodes (and
  // SharedAttributes attributes) are the new one's, the rest is Tail; Kept
  // holds the old state of the shared elements that were open there.
  bool Resumed = false;
  uint32_t Shared = 0, SharedAttributes = 0;
  TMLTree Tail;
  std::vector<std::pair<uint32_t, TMLNode>> Kept;
  uint32_t EditEnd = 0;
  int64_t Delta = 0;
  bool SeenElement = false;
  int ForeignDepth = 0;
  std::vector<uint32_t> Open;
  std::unordered_map<uint64_t, uint32_t> OpenNames;  // open elements by name
  TMLTree R;
};

}  // namespace

TMLTree TMLTree::Build(std::string_view Text, bool Xml) {
  // Offsets are 32 bits: a longer text is read up to 4 GiB.
  if (Text.size() >= UINT32_MAX) Text = Text.substr(0, UINT32_MAX - 1);
  TBuilder B(Text, Xml);
  B.Reserve();
  return B.Run();
}

bool TMLTree::XmlByName(std::string_view Path) {
  static constexpr std::array<std::string_view, 10> Types{".xhtml", ".xht",  ".xml", ".svg",  ".mml",
                                                          ".xsl",   ".xslt", ".wml", ".resx", ".xsd"};
  const size_t Dot = Path.rfind('.');
  return Dot != std::string_view::npos && Path.find('/', Dot) == std::string_view::npos &&
         OneOf(Path.substr(Dot), Types);
}

TMLTree TMLTree::Rebuild(const TMLTree& Old, std::string_view Text, uint32_t Start, uint32_t OldEnd,
                         uint32_t NewEnd) {
  return Rebuild(TMLTree(Old), Text, Start, OldEnd, NewEnd);
}

TMLTree TMLTree::Rebuild(TMLTree&& Old, std::string_view Text, uint32_t Start, uint32_t OldEnd,
                         uint32_t NewEnd) {
  const bool XmlGiven = Old.XmlGiven;
  // A node whose start and the byte after it (what makes '<' markup) lie
  // before the edit; a raw-text body holding the edit is read again whole.
  const auto It = std::upper_bound(Old.Nodes.begin(), Old.Nodes.end(), Start,
                                   [](uint32_t S, const TMLNode& X) { return S < X.Open.Start + 2; });
  if (Text.size() < UINT32_MAX && It != Old.Nodes.begin()) {
    const auto At = static_cast<uint32_t>(It - Old.Nodes.begin() - 1);
    const uint32_t From = Old.Nodes[At].Open.Start;
    TBuilder B(Text, XmlGiven);
    if (B.Resume(Old, At, NewEnd, static_cast<int64_t>(NewEnd) - static_cast<int64_t>(OldEnd)))
      return B.Run(From);
  }
  // The old tree goes before the new one is read: one tree at a time.
  Old = TMLTree();
  return Build(Text, XmlGiven);
}

std::span<const TMLAttribute> TMLTree::AttributesOf(uint32_t Node) const {
  const uint32_t First = Nodes[Node].FirstAttribute;
  const size_t End = Node + 1 < Nodes.size() ? Nodes[Node + 1].FirstAttribute : Attributes.size();
  return {Attributes.data() + First, End - First};
}

const TMLRegion* TMLTree::RegionAt(uint32_t Offset) const {
  auto It = std::upper_bound(Regions.begin(), Regions.end(), Offset,
                             [](uint32_t O, const TMLRegion& R) { return O < R.Range.Start; });
  if (It == Regions.begin()) return nullptr;
  const TMLRegion& R = *--It;
  if (R.Range.Start < Offset && Offset <= R.Range.End) return &R;
  if (R.Range.Start == Offset && R.OpenAtStart) return &R;
  return nullptr;
}

uint32_t TMLTree::NodeAt(uint32_t Offset) const {
  auto It = std::upper_bound(Nodes.begin(), Nodes.end(), Offset,
                             [](uint32_t O, const TMLNode& N) { return O < N.Open.Start; });
  if (It == Nodes.begin()) return TMLNode::None;
  uint32_t I = static_cast<uint32_t>(It - Nodes.begin() - 1);
  while (I != TMLNode::None && !Nodes[I].Range().Holds(Offset)) I = Nodes[I].Parent;
  return I;
}

int32_t TMLTree::ElementCodeAt(uint32_t Offset) const {
  const auto After = [this, Offset] {
    const TMLRegion* R = RegionAt(Offset);
    if (!R) return TKelElement::WhiteSpace;
    switch (R->Kind) {
      case TMLRegionKind::Script:
      case TMLRegionKind::ServerCode:
        return TKelElement::Script;
      case TMLRegionKind::StyleDeclarations:
        return TKelElement::Identifier;
      default:
        return TKelElement::WhiteSpace;
    }
  };
  if (Offset == 0) return After();
  const uint32_t C = Offset - 1;
  const uint32_t I = NodeAt(C);
  if (I == TMLNode::None) return After();
  const TMLNode& N = Nodes[I];
  // The byte before the caret ends the node's closing delimiter: the caret
  // is after the node.
  const bool Closes = N.Terminated && C + 1 == N.Range().End;
  switch (N.Kind) {
    case TMLNodeKind::Element:
      if (N.Open.Holds(C)) return C + 1 == N.Open.End && N.Terminated ? After() : TKelElement::Identifier;
      if (N.Close.Holds(C))
        return N.CloseTerminated && C + 1 == N.Close.End ? After() : TKelElement::Identifier;
      return After();
    case TMLNodeKind::Comment:
    case TMLNodeKind::CData:
      if (Closes) return After();
      // "<!x" is a declaration being typed until it says more.
      if (C + 1 < N.Open.End || N.Open.End - N.Open.Start == 2) return TKelElement::Identifier;
      // A sheet's comment wrapper in XHTML is the sheet's text.
      if (const TMLRegion* R = RegionAt(Offset); R && R->Kind == TMLRegionKind::StyleSheet)
        return TKelElement::WhiteSpace;
      return TKelElement::Comment;
    case TMLNodeKind::Server:
      if (Closes) return After();
      return C == N.Open.Start ? TKelElement::Identifier : TKelElement::Script;
    default:
      return Closes ? After() : TKelElement::Identifier;
  }
}

std::string TMLTree::SheetText(std::string_view Text, const TMLRegion& Region, uint32_t Upto) const {
  Upto = std::min({Upto, Region.Range.End, static_cast<uint32_t>(Text.size())});
  if (Region.Kind == TMLRegionKind::StyleDeclarations)
    return "x{" + std::string(Text.substr(Region.Range.Start, Upto - std::min(Upto, Region.Range.Start)));
  // The first piece of this sheet: the pieces of its element (and the
  // regions of elements inside it) stand together.
  const auto Mine = [&Region](const TMLRegion& R) {
    return R.Owner == Region.Owner && R.Kind == Region.Kind;
  };
  const uint32_t Inside =
      Region.Owner < Nodes.size() ? Nodes[Region.Owner].Content().Start : Region.Range.Start;
  const TMLRegion* First = &Region;
  for (const TMLRegion* R = &Region; R != Regions.data() && (R - 1)->Range.Start >= Inside;)
    if (Mine(*--R)) First = R;
  const uint32_t From = First->Range.Start;
  std::string Sheet(Text.substr(From, Upto - std::min(Upto, From)));
  // Markup between pieces reads as blanks (line breaks kept).
  uint32_t Covered = From;
  for (const TMLRegion* R = First; R <= &Region; ++R) {
    if (!Mine(*R)) continue;
    for (uint32_t P = Covered; P < std::min(R->Range.Start, Upto); ++P)
      if (Sheet[P - From] != '\n') Sheet[P - From] = ' ';
    Covered = std::max(Covered, R->Range.End);
  }
  return Sheet;
}

}  // namespace kel
