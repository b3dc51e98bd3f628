// The markup completion manager: the object the host's code-completion
// framework calls for every markup document. It decides whether a key opens
// the list, parses the document up to the caret, serves the list window with
// the elements, attributes, values or entities the schema allows there, paints
// entity rows, and writes the accepted candidate with the edits that go with
// it (="" for attributes, the closing tag after '>', " />" for childless XML
// elements, "<%" for directives, ';' after entities).
//
// Example: on "<table><|" in an HTML 4.01 strict page, InvokeCodeCompletion
// returns true and the list holds CAPTION, COLGROUP, THEAD, TFOOT, TBODY, TR
// with class "Element  "; accepting TBODY with Enter leaves "<table><TBODY|".
#pragma once

#include <cstdint>
#include <string>

#include "host/KelHostAPI.h"
#include "markup/MLParser.h"
#include "markup/MLParserUtils.h"

namespace kel {

class TMLSymbolManager;

// The manager's own interface for other extensions; the host's 22 operations
// come first.
class IKelMLCodeInsightManager : public IKelCodeInsightManager {
  KEL_INTERFACE(IKelMLCodeInsightManager, IKelCodeInsightManager, "{5BDC5730-ABDE-486E-B794-EFF2D8696022}")
  virtual TKelPtr<IKelMLTag> GetCurrentTag() = 0;
  virtual bool GetForceReplace() = 0;
  virtual void SetForceReplace(bool Value) = 0;
  virtual bool GetIsASPEnabled() = 0;
  virtual void SetIsASPEnabled(bool Value) = 0;
  virtual bool GetIsUserControl() = 0;
  virtual TKelPtr<IKelMLTag> GetTagFromHashList(const std::string& Name) = 0;
  virtual TTagCase GetTagCase() = 0;
  // Offsets are bytes into the buffer's text; values are UTF-16.
  virtual bool ReplaceAttributeValue(const std::string& AttrName, const std::u16string& NewValue,
                                     const std::u16string& OldValue, int32_t AttrStart, int32_t AttrEnd,
                                     int32_t TagEnd, int32_t ValueStart, IKelEditView* View, char Quote,
                                     char QuoteEnd, TParserContextSet Contexts, bool AdjustForTyping,
                                     bool MoveCaret) = 0;
  virtual bool InvokeAttributeEditor(const std::string& AttrName, IKelEditView* View, int32_t Index,
                                     const std::string& TagName, const std::u16string& OldValue, char Quote,
                                     char QuoteEnd, int32_t TagEnd, TParserContextSet Contexts,
                                     bool AdjustForTyping, bool MoveCaret) = 0;
  virtual void SetTagCase(TTagCase Value) = 0;
  virtual TKelPtr<IKelMLTag> GetRootTag() = 0;
  virtual void SetRootTag(IKelMLTag* Tag) = 0;
  virtual bool GetInsertQuotes() = 0;
  virtual void SetInsertQuotes(bool Value) = 0;
  virtual int32_t GetHiddenAttrCount() = 0;
  virtual TKelPtr<IKelMLTagAttribute> GetHiddenAttrs(int32_t Index) = 0;
  virtual int32_t GetCurrentTagAttrCount() = 0;
  virtual std::u16string GetCurrentTagAttrValue(int32_t Index) = 0;
  virtual std::string GetCurrentTagAttrName(int32_t Index) = 0;
  virtual std::u16string GetCurrentTagAttrValueByName(const std::string& Name) = 0;
  virtual void Parse(const TKelEditPos& EditPos, IMLBufferProducer* Producer, IKelMLTag* RootTag) = 0;
};

// The list's class captions; values share the longest-item text.
inline constexpr const char* sElementCaption = "Element  ";
inline constexpr const char* sAttributeCaption = "Attribute  ";
inline constexpr const char* sAttributeValueCaption = "Attribute Value  ";
inline constexpr const char* sLineCaption = "line ";

class TMLKibitzManager
    : public TKelInterfaced<IKelMLCodeInsightManager, IKelCodeInsightSymbolList, IKelCodeInsightItemPainter,
                            IKelCodeInsightPlanning, IKelCodeInsightPlace> {
 public:
  TMLKibitzManager();

  // ---- IKelCodeInsightPlanning
  void SetPlanning(bool Value) override { FPlanning = Value; }

  // ---- IKelCodeInsightManager
  std::string GetName() override { return "Markup Language"; }
  std::string GetIDString() override { return "Quorvel.CodeInsight.HTML"; }
  bool GetEnabled() override { return FEnabled; }
  void SetEnabled(bool Value) override { FEnabled = Value; }
  TKelCharSet EditorTokenValidChars(bool PreValidating) override;
  void AllowCodeInsight(bool&, char) override {}
  bool PreValidateCodeInsight(const std::string&) override { return true; }
  bool IsViewerBrowsable(int32_t Index) override;
  bool GetMultiSelect() override { return false; }
  TKelPtr<IKelCodeInsightSymbolList> GetSymbolList() override { return this; }
  void OnEditorKey(char Key, bool& CloseViewer, bool& Accept) override;
  bool HandlesFile(const std::string& AFileName) override;
  std::string GetLongestItem() override;
  TKelPtr<IKelCodeInsightParameterList> GetParameterList() override { return nullptr; }
  void GetCodeInsightType(char AChar, int32_t AElement, TKelCodeInsightType& CodeInsightType,
                          TKelInvokeType& InvokeType) override;
  bool InvokeCodeCompletion(TKelInvokeType HowInvoked, std::string& Str) override;
  bool InvokeParameterCodeInsight(TKelInvokeType, int32_t&) override { return false; }
  void ParameterCodeInsightAnchorPos(TKelEditPos&) override {}
  int32_t ParameterCodeInsightParamIndex(const TKelEditPos&) override { return -1; }
  std::string GetHintText(int32_t, int32_t) override { return {}; }
  bool GotoDefinition(std::string& AFileName, int32_t& ALineNum, int32_t Index) override;
  void Done(bool Accepted, bool& DisplayParams) override;

  // ---- IKelMLCodeInsightManager
  TKelPtr<IKelMLTag> GetCurrentTag() override;
  bool GetForceReplace() override { return FForceReplace; }
  void SetForceReplace(bool Value) override { FForceReplace = Value; }
  bool GetIsASPEnabled() override;
  void SetIsASPEnabled(bool Value) override;
  bool GetIsUserControl() override;
  TKelPtr<IKelMLTag> GetTagFromHashList(const std::string& Name) override;
  TTagCase GetTagCase() override;
  bool ReplaceAttributeValue(const std::string& AttrName, const std::u16string& NewValue,
                             const std::u16string& OldValue, int32_t AttrStart, int32_t AttrEnd,
                             int32_t TagEnd, int32_t ValueStart, IKelEditView* View, char Quote,
                             char QuoteEnd, TParserContextSet Contexts, bool AdjustForTyping,
                             bool MoveCaret) override;
  bool InvokeAttributeEditor(const std::string& AttrName, IKelEditView* View, int32_t Index,
                             const std::string& TagName, const std::u16string& OldValue, char Quote,
                             char QuoteEnd, int32_t TagEnd, TParserContextSet Contexts, bool AdjustForTyping,
                             bool MoveCaret) override;
  void SetTagCase(TTagCase Value) override;
  TKelPtr<IKelMLTag> GetRootTag() override { return FRootTag; }
  void SetRootTag(IKelMLTag* Tag) override { FRootTag = Tag; }
  bool GetInsertQuotes() override { return FInsertQuotes; }
  void SetInsertQuotes(bool Value) override { FInsertQuotes = Value; }
  int32_t GetHiddenAttrCount() override;
  TKelPtr<IKelMLTagAttribute> GetHiddenAttrs(int32_t Index) override;
  int32_t GetCurrentTagAttrCount() override;
  std::u16string GetCurrentTagAttrValue(int32_t Index) override;
  std::string GetCurrentTagAttrName(int32_t Index) override;
  std::u16string GetCurrentTagAttrValueByName(const std::string& Name) override;
  void Parse(const TKelEditPos& EditPos, IMLBufferProducer* Producer, IKelMLTag* RootTag) override;

  // ---- IKelCodeInsightSymbolList
  void Clear() override { SetFilter(""); }
  int32_t GetCount() override;
  bool GetSymbolIsReadWrite(int32_t) override { return false; }
  bool GetSymbolIsAbstract(int32_t Index) override;
  int32_t GetViewerSymbolFlags(int32_t Index) override;
  int32_t GetViewerVisibilityFlags(int32_t) override { return 2; }
  int32_t GetProcDispatchFlags(int32_t) override { return 0; }
  void SetSortOrder(TKelSortOrder) override {}
  TKelSortOrder GetSortOrder() override { return TKelSortOrder::soAlpha; }
  int32_t FindIdent(const std::string& Ident) override;
  bool FindSymIndex(const std::string& Ident, int32_t& Index) override;
  void SetFilter(const std::string& FilterText) override;
  std::string GetSymbolText(int32_t Index) override;
  std::string GetSymbolTypeText(int32_t Index) override;
  std::string GetSymbolClassText(int32_t Index) override;

  // ---- IKelCodeInsightItemPainter
  void PaintItem(int32_t Index, TKelCanvas& Canvas, TKelRect& Rect, bool DrawingHintText, bool DoOutput,
                 bool& DefaultDraw) override;

  // For hosts and tests: what the last invocation left.
  // "entity", "value", "attribute", "element" or "closing": which list is shown.
  std::string PlaceName() override;
  bool GetEntityMode() const { return FEntityMode; }
  bool GetAutoCompletions() const { return FAutoCompletions; }
  char GetCloseKey() const { return FCloseKey; }
  char GetTriggerChar() const { return FTriggerChar; }
  const std::string& GetToken() const { return FToken; }
  // Names and values follow the page's case again (after SetTagCase).
  void FollowPageCase() { FTagCaseSet = false; }

 private:
  enum class TContext { Entity, Value, Attribute, Content, Closing };
  TContext Context();
  TMLParser& Parser();
  // The filter the list's tag takes for the word typed.
  std::string ListFilter(const std::string& Typed);
  std::string GetFilter();
  void ReadAutoCompletions();
  void ChooseTagCase();
  // Value, the value listed at Index, in the case of the page's names.
  std::string CaseValue(IKelMLTagAttribute& Attr, int32_t Index, const std::string& Value);
  // An editor's value in the case of the list when it is one of its values.
  std::string ListedValue(IKelMLTagAttribute& Attr, const std::string& Value);
  void ParseView(IKelEditView& View);
  bool ExecuteTagEditor(int32_t Index);
  bool ExecuteCurrentTagEditor();
  void AutoCloseChildless(IKelEditView& View, IKelCodeInsightServices& Services);
  void InsertClosingTag(IKelEditView& View, IKelCodeInsightServices& Services);
  void DoneAttributeName(IKelEditView& View, IKelCodeInsightServices& Services, IKelCompletionListView& List,
                         char Key);
  void DoneElement(IKelEditView& View, IKelCodeInsightServices& Services, IKelCompletionListView& List,
                   char Key);
  // Writes the closing row's tag over what was typed of it.
  void DoneClosingTag(IKelEditView& View, IKelCodeInsightServices& Services, const std::string& Row);
  TKelPtr<IKelMLTag> ClosingRow(int32_t Index);
  void DrawText(TKelCanvas& Canvas, TKelRect& Rect, const std::u16string& Text, int Style,
                bool DrawingHintText, bool DoOutput);

  bool FEnabled = true;
  char FCloseKey = 0;
  char FTriggerChar = 0;
  bool FInsertQuotes = false;
  bool FEntityMode = false;
  bool FAutoCompletions = false;
  bool FInserting = false;
  bool FPlanning = false;
  TKelPtr<IKelMLTag> FRootTag;
  std::string FToken;
  bool FForceReplace = false;
  // [Code Insight] Tag Case: Page (empty), Lower, Upper or As Declared.
  std::string FTagCaseOption;
  bool FTagCaseSet = false;
  // After "</": indexes into the closing tags, and the name typed so far.
  std::vector<int32_t> FClosingRows;
  std::string FClosingFilter;
  // The accepted entry left the caret where a value goes: no blank follows.
  bool FNoBlank = false;
  // The view of the last parse; only compared, never used.
  const IKelEditView* FParsedView = nullptr;
};

// The front ends' setting for SetInsertQuotes: users expect ="" with the
// caret between the quotes, so it is on unless the options file has
// [Code Insight] Insert Quotes=False.
bool InsertQuotesOption();

// The one markup manager, made on first use.
TKelPtr<IKelMLCodeInsightManager> MarkupLanguageManager();
// Drops the unit's reference (unloading); the next call makes a new manager.
void ReleaseMarkupLanguageManager();

}  // namespace kel
