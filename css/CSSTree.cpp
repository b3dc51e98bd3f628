#include "css/CSSTree.h"

#include "host/KelStrings.h"

namespace kel {

bool IsCSSNameChar(char C) {
  const auto U = static_cast<unsigned char>(C);
  return U >= 0x80 || U == '-' || U == '_' || (U >= '0' && U <= '9') || (U >= 'a' && U <= 'z') ||
         (U >= 'A' && U <= 'Z') || U == '\\';
}

bool IsCSSBlank(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }

namespace {

class TReader {
 public:
  TReader(std::string_view Text, uint32_t From, uint32_t To) : T(Text), P(From), End(To) {}

  // Rules and at-rules, or (Block) a block's declarations and nested rules,
  // up to the end of the text.
  void Read(bool Block) { Items(TCSSItem::None, Block, true); }
  std::vector<TCSSItem> Nodes;

 private:
  bool At(std::string_view S) const { return P + S.size() <= End && T.substr(P, S.size()) == S; }

  // Steps over a comment, a string or an escape at P.
  bool SkipAtom() {
    if (At("/*")) {
      const size_t Close = T.find("*/", P + 2);
      P = Close == std::string_view::npos || Close + 2 > End ? End : static_cast<uint32_t>(Close + 2);
      return true;
    }
    if (T[P] == '"' || T[P] == '\'') {
      // A string ends at its quote or, unclosed, at the line's end.
      const char Quote = T[P++];
      while (P < End && T[P] != Quote && T[P] != '\n') P += T[P] == '\\' && P + 1 < End ? 2 : 1;
      if (P < End && T[P] == Quote) ++P;
      return true;
    }
    if (T[P] == '\\' && P + 1 < End) {
      P += 2;
      return true;
    }
    return false;
  }

  // Moves to the first of Stops outside brackets (a brace or ';' ends a
  // construct whatever brackets are left open); 0 at the end of the text.
  char Until(std::string_view Stops) {
    int Depth = 0;
    while (P < End) {
      if (SkipAtom()) continue;
      const char C = T[P];
      if (Stops.find(C) != std::string_view::npos && (Depth == 0 || C == '{' || C == '}' || C == ';'))
        return C;
      if (C == '(' || C == '[') ++Depth;
      if ((C == ')' || C == ']') && Depth > 0) --Depth;
      ++P;
    }
    return 0;
  }

  TMLRange Trim(uint32_t A, uint32_t B) const {
    while (A < B && IsCSSBlank(T[A])) ++A;
    while (B > A && IsCSSBlank(T[B - 1])) --B;
    return {A, B};
  }

  uint32_t Add(TCSSItemKind Kind, uint32_t Parent, uint32_t Start) {
    TCSSItem N;
    N.Kind = Kind;
    N.Parent = Parent;
    N.Range = {Start, Start};
    Nodes.push_back(N);
    return static_cast<uint32_t>(Nodes.size() - 1);
  }
  void Finish(uint32_t I, bool Terminated) {
    Nodes[I].Range.End = P;
    Nodes[I].Terminated = Terminated;
    Nodes[I].Next = static_cast<uint32_t>(Nodes.size());
  }

  void Items(uint32_t Parent, bool Block, bool Top) {
    for (;;) {
      while (P < End && IsCSSBlank(T[P])) ++P;
      if (P >= End) return;
      const char C = T[P];
      if (C == '}') {
        if (!Top) return;
        ++P;  // one too many: the rest is read on
      } else if (C == ';') {
        ++P;
      } else if (At("/*")) {
        const uint32_t I = Add(TCSSItemKind::Comment, Parent, P);
        const size_t Close = T.find("*/", P + 2);
        const bool Closed = Close != std::string_view::npos && Close + 2 <= End;
        P = Closed ? static_cast<uint32_t>(Close + 2) : End;
        Finish(I, Closed);
      } else if (!Block && (At("<!--") || At("-->"))) {
        P += At("<!--") ? 4 : 3;  // a page's wrapper around its sheet
      } else if (C == '@') {
        AtRule(Parent);
      } else {
        RuleOrDeclaration(Parent, Block, Top);
      }
    }
  }

  // At '{': the block's items, then its '}'.
  void BlockOf(uint32_t I) {
    const uint32_t Start = ++P;
    Items(I, true, false);
    Nodes[I].Block = {Start, P};
    const bool Closed = P < End && T[P] == '}';
    if (Closed) ++P;
    Finish(I, Closed);
  }

  void AtRule(uint32_t Parent) {
    const uint32_t I = Add(TCSSItemKind::AtRule, Parent, P);
    ++P;
    while (P < End && IsCSSNameChar(T[P])) ++P;
    Nodes[I].Name = {Nodes[I].Range.Start, P};
    const uint32_t Prelude = P;
    const char C = Until("{;}");
    Nodes[I].Prelude = Trim(Prelude, P);
    if (C == '{') return BlockOf(I);
    if (C == ';') ++P;
    Finish(I, C == ';');
  }

  // Top in a block: a style attribute, whose last declaration ends with it.
  void RuleOrDeclaration(uint32_t Parent, bool Block, bool Top) {
    const uint32_t Start = P;
    const char C = Until(Block ? ";{}" : "{}");
    if (C == '{' || !Block) {
      const uint32_t I = Add(TCSSItemKind::Rule, Parent, Start);
      Nodes[I].Name = Trim(Start, P);
      if (C == '{') return BlockOf(I);
      Finish(I, false);  // a selector with no block
      return;
    }
    const uint32_t I = Add(TCSSItemKind::Declaration, Parent, Start);
    const uint32_t Stop = P;
    // The first ':' outside strings and comments parts name from value.
    P = Start;
    while (P < Stop && T[P] != ':')
      if (!SkipAtom()) ++P;
    TCSSItem& N = Nodes[I];
    N.Name = Trim(Start, std::min(P, Stop));
    N.Value = P < Stop ? Trim(P + 1, Stop) : TMLRange{Stop, Stop};
    // "!important" ends the value, a blank allowed after the '!'.
    if (const size_t At = T.substr(N.Value.Start, N.Value.End - N.Value.Start).rfind('!');
        At != std::string_view::npos) {
      const auto Bang = static_cast<uint32_t>(N.Value.Start + At);
      const TMLRange Word = Trim(Bang + 1, N.Value.End);
      if (SameText(T.substr(Word.Start, Word.End - Word.Start), "important")) {
        N.Important = true;
        N.Value = Trim(N.Value.Start, Bang);
      }
    }
    P = Stop;
    if (C == ';') ++P;
    Finish(I, C != 0 || Top);
  }

  std::string_view T;
  uint32_t P, End;
};

}  // namespace

TCSSTree TCSSTree::Build(std::string_view Text, uint32_t From, uint32_t To, bool Declarations) {
  const auto Size = static_cast<uint32_t>(std::min<size_t>(Text.size(), UINT32_MAX - 1));
  TReader R(Text, std::min(From, Size), std::min(std::max(From, To), Size));
  R.Read(Declarations);
  TCSSTree Tree;
  Tree.Nodes = std::move(R.Nodes);
  return Tree;
}

}  // namespace kel
