// The style-sheet completion manager: the object the host calls for files of
// the style-sheet editor type. It parses the sheet to the caret, lists the
// property names or the values of the property at the caret from css.xml,
// runs a value editor for entries such as "length...", and writes the
// accepted text with ':' after a property and ';' after a value.
//
// Example: on "a { co|" InvokeCodeCompletion is true, the list holds color,
// column-count, ... with class "property", and accepting color with Enter
// leaves "a { color:|".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "css/CSSContext.h"
#include "css/CSSParser.h"
#include "host/KelHostAPI.h"
#include "markup/MLTree.h"

namespace kel {

// The manager's own interface for the front ends; the host's operations
// come first.
class IKelCSSCodeInsightManager : public IKelCodeInsightManager {
  KEL_INTERFACE(IKelCSSCodeInsightManager, IKelCodeInsightManager, "{19257B24-08EF-4632-95E7-8F6025BD19F0}")
  // The schema's one line on a property (hover, item documentation); empty
  // for a name that is no property or has none.
  virtual std::string Describe(const std::string& Property) const = 0;
  // The tree of the page being edited, kept by the caller's document model
  // for the text the view holds; without one (null) a request on a page
  // builds it from the text.
  virtual void SetPageTree(const TMLTree* Tree) = 0;
  // What a sheet's check asks of css.xml (all lower case, without '@'): the
  // property names, the descriptors of an at-rule's block ("font-face"),
  // the at-rules, those of other at-rules' blocks included. Empty when
  // css.xml could not be read.
  virtual const std::vector<std::string>& PropertyNames() const = 0;
  virtual std::vector<std::string> DescriptorNames(const std::string& AtRule) const = 0;
  virtual const std::vector<std::string>& AtRuleNames() const = 0;
};

class TCSSKibitzManager
    : public TKelInterfaced<IKelCSSCodeInsightManager, IKelCodeInsightSymbolList, IKelCodeInsightPlace> {
 public:
  TCSSKibitzManager();
  std::string Describe(const std::string& Property) const override;
  void SetPageTree(const TMLTree* Tree) override { PageTree = Tree; }
  const std::vector<std::string>& PropertyNames() const override;
  std::vector<std::string> DescriptorNames(const std::string& AtRule) const override;
  const std::vector<std::string>& AtRuleNames() const override;

  // ---- IKelCodeInsightManager
  std::string GetName() override { return "Style Sheet"; }
  std::string GetIDString() override { return "Quorvel.CodeInsight.CSS"; }
  bool GetEnabled() override { return Enabled; }
  void SetEnabled(bool Value) override { Enabled = Value; }
  TKelCharSet EditorTokenValidChars(bool PreValidating) override;
  void AllowCodeInsight(bool&, char) override {}
  bool PreValidateCodeInsight(const std::string&) override { return true; }
  bool IsViewerBrowsable(int32_t) override { return false; }
  bool GetMultiSelect() override { return false; }
  TKelPtr<IKelCodeInsightSymbolList> GetSymbolList() override { return this; }
  void OnEditorKey(char Key, bool& CloseViewer, bool& Accept) override;
  bool HandlesFile(const std::string& AFileName) override;
  std::string GetLongestItem() override { return "property "; }
  TKelPtr<IKelCodeInsightParameterList> GetParameterList() override { return nullptr; }
  void GetCodeInsightType(char AChar, int32_t AElement, TKelCodeInsightType& CodeInsightType,
                          TKelInvokeType& InvokeType) override;
  bool InvokeCodeCompletion(TKelInvokeType HowInvoked, std::string& Str) override;
  bool InvokeParameterCodeInsight(TKelInvokeType, int32_t&) override { return false; }
  void ParameterCodeInsightAnchorPos(TKelEditPos&) override {}
  int32_t ParameterCodeInsightParamIndex(const TKelEditPos&) override { return 0; }
  std::string GetHintText(int32_t, int32_t) override { return {}; }
  bool GotoDefinition(std::string&, int32_t&, int32_t) override { return false; }
  void Done(bool Accepted, bool& DisplayParams) override;

  // ---- IKelCodeInsightSymbolList
  void Clear() override { SetFilter(""); }
  int32_t GetCount() override;
  bool GetSymbolIsReadWrite(int32_t) override { return true; }
  bool GetSymbolIsAbstract(int32_t) override { return false; }
  int32_t GetViewerSymbolFlags(int32_t) override { return 1; }
  int32_t GetViewerVisibilityFlags(int32_t) override { return 2; }
  int32_t GetProcDispatchFlags(int32_t) override { return 0; }
  void SetSortOrder(TKelSortOrder Value) override { SortOrder = Value; }
  TKelSortOrder GetSortOrder() override { return SortOrder; }
  int32_t FindIdent(const std::string& Ident) override;
  bool FindSymIndex(const std::string& Ident, int32_t& Index) override;
  void SetFilter(const std::string& FilterText) override;
  std::string GetSymbolText(int32_t Index) override;
  std::string GetSymbolTypeText(int32_t) override { return {}; }
  std::string GetSymbolClassText(int32_t) override;

  // Reads css.xml from the schemas folder; a missing or broken file leaves
  // the table empty and says so in the message view. Done by the first
  // request that needs it: a page without style never pays for it.
  void LoadSchema() const;
  bool SchemaRead() const { return SchemaLoaded; }
  TKibitzPos GetKibitzPos() const { return KibitzPos; }
  // Where the last invocation found the caret ("property", "value",
  // "element", "pseudo-class", ... or "none").
  std::string PlaceName() override;
  TStyleSheetParser& GetParser() {
    EnsureSchema();
    return *Parser;
  }

 private:
  TKelSortOrder SortOrder = TKelSortOrder::soAlpha;
  bool Enabled = true;
  bool SemicolonTyped = false;
  void EnsureSchema() const {
    if (!SchemaLoaded) LoadSchema();
  }
  mutable bool SchemaLoaded = false;
  mutable std::vector<std::string> Properties, AtRuleList;
  std::unique_ptr<TStyleSheetParser> Parser;
  TKibitzPos KibitzPos = TKibitzPos::kpNone;
  TCSSContext Context;
  // Lists that are not css.xml's properties or values: the names, sorted,
  // and the part that begins with the filter.
  std::vector<std::string> Own;
  std::vector<std::string> OwnShown;
  bool OwnList = false;
  const TMLTree* PageTree = nullptr;
  // var(--x) for each custom property of the sheet, after a value list.
  std::vector<std::string> Vars, VarsShown;
  // The rows of the symbol table's value range that are shown: CSS-wide
  // keywords (inherit) only where they would be the whole value.
  std::vector<int32_t> ValueRows;
  void ShowValues();
  char LastKey = 0;
};

// The one style-sheet manager, made (and its schema loaded) on first use.
TKelPtr<IKelCodeInsightManager> CSSLanguageManager();
// Drops the unit's reference (unloading).
void ReleaseCSSLanguageManager();

// The syntax element under the caret in a style sheet: 1 in a comment, 5 in
// a string, 3 elsewhere.
int32_t StyleSheetElementAt(const std::string& Text, int32_t Offset);

}  // namespace kel
