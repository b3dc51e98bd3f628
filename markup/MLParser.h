// The markup parser: one scan of a page up to (and a little past) the caret.
// Its result is the caret's context (TMLCaretContext: tag, attribute, value
// position, the language around the caret), with the attribute values read
// in the tag at the caret; element callbacks observe the scan.
//
// Example: after a parse of "<td align=|", Caret().CurrentTag is td,
// Caret().CurrentAttr align, and GetCurrentTagAttrCount() is 1.
//
// The one-pass scan that fills this state comes with the parser's own unit
// work; what stands here is its data model and the queries over it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "host/KelHostAPI.h"
#include "host/KelStrings.h"
#include "markup/MLParserUtils.h"
#include "markup/MLTags.h"
#include "markup/MLTree.h"

namespace kel {

class TMLSymbols;

using TTagAttributeValueList = std::vector<std::unique_ptr<TTagAttributeValue>>;

struct TNameSlot;

// One element of the open-element lists.
struct TTagEntry {
  TKelPtr<IKelMLTag> Tag;
  int32_t Line = 0;
  // An inner element that stays open after an outer one closed (HTML).
  bool Unclosed = false;
  TTagAttributeValueList AttrValues;
  int32_t OffsetEnd = 0;
  int32_t OffsetStart = 0;
  // The tag's name when it was pushed: closing tags are matched against it
  // without asking the tag (and its letter case) again.
  std::string Name;
  TNameSlot* Slot = nullptr;  // of Name, while Tag is set
};

// Entries move between the lists and the free list without being copied.
using TTagEntryList = std::list<std::unique_ptr<TTagEntry>>;

// The entries of one name (any letter case) with a tag: how many the stack
// before the caret holds, and where the open list's are, innermost last.
struct TNameSlot {
  int32_t Stacked = 0;
  std::deque<TTagEntryList::iterator> Open;
};

// The parser's state where a chunk begins, kept from a parse whose caret lay
// after it: a later parse with its caret after it too starts there instead of
// at the top of the page.
struct TMLParserCheckpoint {
  int32_t Offset = 0;  // where the chunk begins
  int32_t Line = 1;
  int32_t LineStartOffset = 0;
  int32_t CurrentCol = -1;
  // Copies of the open-element lists, front first.
  std::vector<std::unique_ptr<TTagEntry>> Stack, Open;
  // Whose attribute values were current: 'S'tack or 'O'pen entry Index, a
  // 'F'ree entry holding FreeValues, or none.
  char ValuesIn = 0;
  size_t ValuesIndex = 0;
  TTagAttributeValueList FreeValues;
  TKelPtr<IKelMLTag> CurrentTag, FixupTag;
  // The text gathered since the last tag is not kept: it only goes to the
  // callbacks, and a parse with callbacks starts at the top.
  std::string LastWrittenName, DocTypeIdentifier;
  std::vector<std::pair<std::string, std::string>> XSLOutput;
  std::vector<std::string> DataAttrNames;
  std::vector<TKelEditPos> AutoClose;
  int32_t ValueColumn = -1;  // the line is the caret's
  bool SawDocType = false, InDocTypeSubset = false, InXSLTemplate = false, IsXML = false, ContentPage = false;
  char Quote = 0, QuoteEnd = 0;
  // The state besides the element lists, in the order of TMLParser::Kept():
  // keeping and restoring read the one list.
  auto Fields() {
    return std::tie(Line, LineStartOffset, CurrentCol, CurrentTag, FixupTag, LastWrittenName,
                    DocTypeIdentifier, XSLOutput, DataAttrNames, AutoClose, ValueColumn, SawDocType,
                    InDocTypeSubset, InXSLTemplate, IsXML, ContentPage, Quote, QuoteEnd);
  }
};

// What one document keeps between parses of its text: checkpoints, valid for
// the text as it is and the schema they were made with.
class TMLParseCache {
 public:
  // The text changed from byte Start on: the checkpoints after it go.
  void Edited(size_t Start);
  void Clear() { FPoints.clear(); }
  size_t Count() const { return FPoints.size(); }

 private:
  friend class TMLParser;
  uint64_t FKey = 0;
  std::vector<TMLParserCheckpoint> FPoints;  // by offset
};

// A page as its document model holds it during one request: the tree of its
// text, that text (the view's own) and the parse cache.
struct TMLPage {
  const TMLTree* Tree = nullptr;
  const std::string* Text = nullptr;
  TMLParseCache* Cache = nullptr;
  // The tree is the one of the text as it is now (a request's own edits
  // leave it behind).
  bool Current() const { return Tree && Text && Tree->Length == Text->size(); }
};

enum class TParserContexts : uint8_t {
  pcNone,
  pcHTMLComment,
  pcStyle,
  pcScript,
  pcProcessingInstruction,
  pcServerSideScript,
  pcString,
  // <![CDATA[ ... ]]>: character data, never markup
  pcCDATA,
  pcLast = pcCDATA
};

// A set of TParserContexts in one byte; pcNone is always in it.
class TParserContextSet {
 public:
  void Include(TParserContexts C) { FBits |= Bit(C); }
  void Exclude(TParserContexts C) {
    if (C != TParserContexts::pcNone) FBits &= static_cast<uint8_t>(~Bit(C));
  }
  bool Contains(TParserContexts C) const { return (FBits & Bit(C)) != 0; }
  void Reset() { FBits = Bit(TParserContexts::pcNone); }

 private:
  static uint8_t Bit(TParserContexts C) { return static_cast<uint8_t>(1u << static_cast<unsigned>(C)); }
  uint8_t FBits = 1;
};

// Where the caret stands after a parse: what the managers read of it. The
// parse fills it as it reads; the caret's context is the value it leaves.
struct TMLCaretContext {
  bool InTag = false;  // in a start or end tag
  bool InClosingTag = false;
  bool CaretInTagName = false;
  // The name after "<%@ " holds the caret: the directives are listed.
  bool InDirectiveName = false;
  bool InScript = false;
  bool InStyle = false;
  bool InCDATA = false;  // in a CDATA section: nothing may be written there
  bool IsXML = false;
  // An ASP.NET page that names its master page: its top holds Content
  // elements only.
  bool ContentPage = false;
  TKelPtr<IKelMLTag> CurrentTag;
  TKelPtr<IKelMLTagAttribute> CurrentAttr;
  // Where the value at the caret begins, and the quote it opens and closes with.
  TKelEditPos ValuePos{-1, 0};
  char Quote = 0;
  char QuoteEnd = 0;
  int32_t CaretOffset = -1;  // bytes
  // The attribute name the caret stands in or at the end of.
  std::string CaretAttrName;
  // The last start tag of the schema before the caret, as the page spells it.
  std::string LastWrittenName;
  std::string DocTypeIdentifier;
  // The data-* attribute names the page uses (the first 64).
  std::vector<std::string> DataAttrNames;
  // Where a childless element's ">" was typed, for the manager to close it (XML).
  std::vector<TKelEditPos> AutoClosePositions;
  TParserContextSet Contexts;
  // The tags this request's fix-ups went into.
  TKelPtr<IKelMLTag> FixupTag, FixupParent;
};

class TMLParser {
 public:
  explicit TMLParser(TMLSymbols* SymbolManager);
  ~TMLParser();
  TMLParser(const TMLParser&) = delete;
  TMLParser& operator=(const TMLParser&) = delete;

  // Scans the whole document with the caret at EditPos. Tag is the tag to
  // report when the caret is in no element. True when the schema the page
  // names replaced the tags this parse read with: the caller parses again.
  bool Parse(const TKelEditPos& EditPos, IMLBufferProducer* Producer, IKelMLTag* Tag);
  // Only finds the DOCTYPE identifier and hands it to the symbol manager;
  // true as Parse.
  bool BootStrapDTD(IMLBufferProducer* Producer);

  // The caret's context the last parse left.
  const TMLCaretContext& Caret() const { return FCaret; }
  // A context of the caller's making (tests, a schema about to go).
  void SetCaret(TMLCaretContext Context) { FCaret = std::move(Context); }
  // Lets go of the schema's tags the context holds, before they go.
  void ReleaseTags() {
    FCaret.CurrentTag.reset();
    FCaret.CurrentAttr.reset();
    FCaret.FixupTag.reset();
    FCaret.FixupParent.reset();
    FRoot.reset();
  }

  // Gives the schema's tags back as loaded: the last parse's fix-ups for its
  // caret (children hidden or lent, attributes written) go.
  void ReleaseFixups();

  bool GetInDocType() const { return FDocTypeAtCaret == TDocTypeAtCaret::Inside; }
  int32_t GetCurrentCol() const { return FCurrentCol; }
  // Offset where the innermost open construct's body begins; -1 when none is open.
  int32_t GetContextPos() const { return FContextPositions.empty() ? -1 : FContextPositions.back(); }

  // Element callbacks: objects that do not offer IKelMLElementCallback are ignored.
  void AddCallback(IInterface* Callback);
  void RemoveCallback(IInterface* Callback);
  void CallbacksInvalidate();
  int32_t GetCallbackCount() const { return static_cast<int32_t>(FCallbacks.size()); }

  // The attribute values read in the tag at the caret.
  bool GetInAttribute() const { return static_cast<bool>(FCaret.CurrentAttr); }
  int32_t GetCurrentTagAttrCount() const;
  TKelPtr<IKelMLTagAttribute> GetCurrentTagAttrs(int32_t Index) const;
  std::string GetCurrentTagAttrName(int32_t Index) const;
  std::u16string GetCurrentTagAttrValue(int32_t Index) const;
  std::u16string GetCurrentTagAttrValueByName(const std::string& Name) const;
  char GetCurrentTagAttrStrType(const std::string& Name) const;
  char GetCurrentTagAttrStrTypeEnd(const std::string& Name) const;
  int32_t GetCurrentTagAttrOffsetStart(const std::string& Name) const;
  int32_t GetCurrentTagAttrOffsetEnd(const std::string& Name) const;
  int32_t GetCurrentTagAttrValueOffsetStart(const std::string& Name) const;

  // The scan's state, which the symbol manager reads while a parse runs: the
  // open elements (outermost first) and the attribute values read in the
  // caret's tag (none outside a tag).
  const TTagEntryList& OpenElements() const { return FTagStack; }
  const TTagAttributeValueList* CaretTagValues() const { return FAttrValues; }
  TMLParserState State() const { return FState; }
  void ClearAutoCloseTagPosStack() { FCaret.AutoClosePositions.clear(); }

 private:
  // The tests' way to the bookkeeping.
  friend struct TMLParserProbe;

  // ---- Bookkeeping of the scan: the open-element lists, recycled entries,
  // the attribute values of the tag at the caret, placeholders, callbacks.
  // Reuses a free entry (not the one whose values are current) or makes one.
  std::unique_ptr<TTagEntry> NewTagEntry();
  // Moves E from List to the free entries; its values go too when ClearAttrs.
  void DisposeTagEntry(TTagEntryList& List, TTagEntryList::iterator E, bool ClearAttrs);
  // Written is the name as the page spells it (the tag's own name if empty).
  void PushTag(IKelMLTag* Tag, bool OpenedBeforeCaret, bool BeforeCaret, const std::string& Written = {});
  // Closes the element Name; inner elements that the schema lets stay open
  // (or any, in XML) stay in the stack.
  void PopTag(const std::string& Name, bool BeforeCaret, bool OpenedBeforeCaret);
  // Schema attributes lose the offsets of this document; the entries go.
  static void ClearTagAttrList(TTagAttributeValueList& List);
  void SetTagOffsetStart(IKelMLTag* Tag, int32_t Offset, bool Record, bool IsClosing);
  void SetTagOffsetEnd(IKelMLTag* Tag, int32_t Offset, bool Record, bool UseParentList);
  void PushAutoCloseTagPos(const TKelEditPos& Pos);
  TKelPtr<IKelMLTag> NewUnknownElement(const std::string& Name);
  static TKelPtr<IKelMLTagAttribute> NewUnknownAttr(const std::string& Name);
  // Value is UTF-8 as read; it is kept as UTF-16.
  void AddTagAttr(IKelMLTagAttribute* Attr, const std::string& Value, char Quote, char QuoteEnd);
  void SetCurrentColumn(const char* P) { FCurrentCol = static_cast<int32_t>(P - FLineStart); }
  void ClearTagStack();
  // Reports a node to every callback; stops the scan when all handled it.
  void Callback(const std::string& Name, IKelMLMarkupPos* Node, TTagType TagType, int32_t StartOffset,
                int32_t EndOffset);
  TKelPtr<IKelMLTag> FindTag(const std::string& Name);

  // ---- The scan's bookkeeping
  TTagEntryList FTagStack;
  TTagEntryList FOpenTags;
  std::vector<TKelPtr<IKelMLElementCallback>> FCallbacks;
  TKelPtr<IMLBufferProducer> FProducer;
  TKelPtr<IMLBufferProducerInternal> FProducerInternal;
  int32_t FLine = 1;
  // The list of one entry of the open-element lists, or none.
  TTagAttributeValueList* FAttrValues = nullptr;
  // The identifier that selects the schema ("html" for a DOCTYPE without one).
  std::string SchemaIdentifier() const;
  bool FSawDocType = false;
  // An XSL style sheet's xsl:output attributes (method, version,
  // doctype-public, doctype-system), names lower case: they choose the
  // schema of the templates' literal result elements.
  std::vector<std::pair<std::string, std::string>> FXSLOutput;
  bool FInDocType = false;
  bool FInDocTypeSubset = false;
  bool FInXSLTemplate = false;
  TKelEditPos FCaretPos;
  const char* FLineStart = nullptr;
  TMLParserState FState = TMLParserState::mlpsNone;
  TTagEntryList FFreeEntries;
  // By upper-case name: how many entries with a tag the stack holds, and
  // where the open list's are, innermost last. An end tag finds its element,
  // or knows it is open nowhere, at once, however many elements are.
  // Names stay for the parse once seen: each costs no allocation again.
  std::unordered_map<std::string, TNameSlot, TTextHash, TTextEqual> FNames;
  TNameSlot& NameSlot(const std::string& Name);
  uint8_t FDocTypeHash;
  uint8_t FXSLTemplateHash;
  TMLSymbols* FSymbolManager;
  bool FStopped = false;
  // The caret between a DOCTYPE's name and its ">": its name is read before
  // the caret (Opened), then its ">" after it (Inside).
  enum class TDocTypeAtCaret { None, Opened, Inside } FDocTypeAtCaret = TDocTypeAtCaret::None;
  int32_t FCurrentCol = -1;
  std::string FText;
  const char* FTextStart = nullptr;
  std::vector<int32_t> FContextPositions;

  const TTagAttributeValue* FindAttrValue(const std::string& Name) const;
  bool IsBeforeCaret(const char* P);
  int32_t Offset(const char* P) { return FProducer->BufferOffset(P); }
  // Fills the next chunk; P moves to its start. False at the end of the text.
  bool NextChunk(const char*& P);
  void NewLine(const char* P);
  // Steps over a line break at P (CR, LF or CR LF), counting one line.
  void StepLineBreak(const char*& P);
  void GatherText(const char* From, const char* To);
  void PushContextPos(TParserContexts C, int32_t Offset);
  void PopContextPos(TParserContexts C);
  void SkipWhiteSpace(const char*& P);
  void HandleString(const char*& P);
  // Reads a construct's body up to its end mark (EndLength(P): the mark's
  // length at P, 0 where none stands); false when the text ran out first.
  template <class EndAt>
  bool ReadConstruct(const char*& P, std::string& Text, bool Strings, EndAt EndLength);
  template <class TNode>
  void ReportTextNode(int32_t TagStart, const char* P, const std::string& Text, TTagType Type);
  void HandleHTMLComment(const char*& P, int32_t TagStart);
  void HandleProcessingInstruction(const char*& P, int32_t TagStart);
  void HandleServerSideScript(const char*& P, int32_t TagStart);
  void HandleBody(const char*& P, bool Script);
  void HandleCDATA(const char*& P);
  // Reads an attribute value; false when the text ran out inside it.
  bool GetTagAttrValue(const char*& P, bool IsQuoted, std::string& Value);
  void ParseMLDocument();

  bool IsBeforeCaretAt(int32_t Off, bool AtTerminator);
  // The caret's byte offset, converted once per parse through the edit view.
  int32_t CaretOffset();

  TMLCaretContext FCaret;
  // The tag the caller reports at the top (a user control's body), or none.
  TKelPtr<IKelMLTag> FRoot;
  // The producer's edit view, asked for once per parse (null for a stream).
  TKelPtr<IKelEditView> FEditView;
  // Absolute offset of the current line's start: lines may span chunks.
  int32_t FLineStartOffset = 0;
  // The tag the last parse inserted its fix-ups into, so the next one takes
  // them out of that very tag.
  TKelPtr<IKelMLTag> FFixedUpTag;

  // ---- A parse that starts at a checkpoint and ends where the page's tree
  // answers for the rest of the text.
  // The page of the parse running, while its tree is the one of its text.
  const TMLPage* FPage = nullptr;
  // From here on the tree answers which elements the text closes (-1: the
  // scan read to the end).
  int32_t FTailFrom = -1;
  // The schema and modes the checkpoints hold tags of.
  uint64_t CacheKey() const;
  // Restores the last checkpoint before the caret; the offset to read from
  // (0 when there is none).
  int32_t Resume();
  // The parser's side of TMLParserCheckpoint::Fields().
  auto Kept() {
    return std::tie(FLine, FLineStartOffset, FCurrentCol, FCaret.CurrentTag, FCaret.FixupTag,
                    FCaret.LastWrittenName, FCaret.DocTypeIdentifier, FXSLOutput, FCaret.DataAttrNames,
                    FCaret.AutoClosePositions, FCaret.ValuePos.Col, FSawDocType, FInDocTypeSubset,
                    FInXSLTemplate, FCaret.IsXML, FCaret.ContentPage, FCaret.Quote, FCaret.QuoteEnd);
  }
  // Keeps the state at the chunk that begins at Offset, when the scan stands
  // between tags there and the last checkpoint is far enough behind.
  void Keep(int32_t Offset);
  // Whether the tree may answer for the text from Offset on.
  bool MayStopAt(int32_t Offset);
  // Where the page's last DOCTYPE or XML declaration ends (-1: not looked up).
  int32_t FTailAfter = -1;
  // What the text from FTailFrom on opens and closes, on Due's counts of open
  // elements by lower-case name (only for the names Due holds).
  void ApplyTail(std::unordered_map<std::string, int32_t>& Due) const;
};

}  // namespace kel
