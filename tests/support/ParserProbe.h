// The tests' way into the markup parser's bookkeeping, which the parser
// keeps private: a state set up by hand, a list operation tried alone.
//
// Example: TMLParserProbe(P).Values() = &Written; then P's attribute
// queries answer from Written.
#pragma once

#include <string>

#include "markup/MLParser.h"

namespace kel {

struct TMLParserProbe {
  TMLParser& P;

  TTagEntryList& Stack() { return P.FTagStack; }
  TTagEntryList& OpenTags() { return P.FOpenTags; }
  TTagAttributeValueList*& Values() { return P.FAttrValues; }
  TMLParserState& State() { return P.FState; }
  bool Stopped() const { return P.FStopped; }

  void PushTag(IKelMLTag* Tag, bool OpenedBeforeCaret, bool BeforeCaret, const std::string& Written = {}) {
    P.PushTag(Tag, OpenedBeforeCaret, BeforeCaret, Written);
  }
  void PopTag(const std::string& Name, bool BeforeCaret, bool OpenedBeforeCaret) {
    P.PopTag(Name, BeforeCaret, OpenedBeforeCaret);
  }
  void ClearTagStack() { P.ClearTagStack(); }
  void AddTagAttr(IKelMLTagAttribute* Attr, const std::string& Value, char Quote, char QuoteEnd) {
    P.AddTagAttr(Attr, Value, Quote, QuoteEnd);
  }
  static TKelPtr<IKelMLTagAttribute> NewUnknownAttr(const std::string& Name) {
    return TMLParser::NewUnknownAttr(Name);
  }
  TKelPtr<IKelMLTag> NewUnknownElement(const std::string& Name) { return P.NewUnknownElement(Name); }
  void SetTagOffsetStart(IKelMLTag* Tag, int32_t Offset, bool Record, bool IsClosing) {
    P.SetTagOffsetStart(Tag, Offset, Record, IsClosing);
  }
  void SetTagOffsetEnd(IKelMLTag* Tag, int32_t Offset, bool Record, bool UseParentList) {
    P.SetTagOffsetEnd(Tag, Offset, Record, UseParentList);
  }
  void PushAutoCloseTagPos(const TKelEditPos& Pos) { P.PushAutoCloseTagPos(Pos); }
  void ClearAutoCloseTagPosStack() { P.ClearAutoCloseTagPosStack(); }
  void Callback(const std::string& Name, IKelMLMarkupPos* Node, TTagType Type, int32_t Start, int32_t End) {
    P.Callback(Name, Node, Type, Start, End);
  }
};

}  // namespace kel
