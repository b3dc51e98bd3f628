// The one symbol manager of the package: the letter case in which tag names
// are handed out, the registry through which every schema tag is found by
// name, the closing tags and hidden attributes of one completion request, the
// entity list, and the tool messages that schema problems become.
//
// Example: with SetTagCase(tcUpperCase), a THTMLTag "td" made with this
// manager answers GetName() == "TD"; RegisterTag(td) then
// GetTagFromHashList("Td") finds it.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "markup/MLParser.h"
#include "markup/MLParserUtils.h"
#include "markup/MLSymbols.h"
#include "markup/MLTags.h"

namespace kel {

class TMLTree;

// One registered tag: found through TagIndex (closing-tag entries
// are not hashed) and kept in Tags.
struct TTagBucket {
  TKelPtr<IKelMLTag> Tag;
  TKelPtr<IKelMLEditor> Editor;
  // The name as registered: lookups ignore case, so the letter-case option
  // need not spell it again for every comparison.
  std::string Name;
};

struct TTagAttributeBucket {
  TKelPtr<IKelMLTagAttribute> Attribute;
  TKelPtr<IKelMLEditor> Editor;
};

class TDTDElement;
class TDTDParser;

class TMLSymbolManager : public TMLSymbols {
 public:
  TMLSymbolManager();
  ~TMLSymbolManager() override;
  TMLSymbolManager(const TMLSymbolManager&) = delete;
  TMLSymbolManager& operator=(const TMLSymbolManager&) = delete;

  // ---- Tag registry
  void AddElement(IKelMLTag* Tag);
  void RemoveElement(IKelMLTag* Tag);
  void RegisterTag(IKelMLTag* Tag);
  void UnRegisterTag(IKelMLTag* Tag) { RemoveElement(Tag); }
  TKelPtr<IKelMLTag> GetTagFromHashList(const std::string& Name) override;
  TKelPtr<IKelMLTag> TagIn(IKelMLTag* Parent, const std::string& Name) override;
  TKelPtr<IKelMLEditor> GetTagEditorFromHashList(const std::string& Name);
  bool ContainsChild(IKelMLTag* Tag, const std::string& Name);
  // Clears every registered tag's lists and drops it from the registry, then
  // the lists of the hidden root.
  void ClearTags();
  int32_t GetRegisteredCount() const { return static_cast<int32_t>(Tags.size()); }
  // Every registered tag, in the order of registration.
  const std::list<TTagBucket>& GetRegisteredTags() const { return Tags; }

  // ---- Editors
  void RegisterEditor(IKelMLTag* Tag, IKelMLEditor* Editor);
  void UnRegisterEditor(IKelMLEditor* Editor);
  void RegisterAttributeEditor(IKelMLTagAttribute* Attribute, IKelMLEditor* Editor);
  void UnRegisterAttributeEditor(IKelMLEditor* Editor);
  // The editor registered for attribute AttrName of tag TagName (also while
  // the attribute is hidden for the request); Attribute is its object.
  void GetAttributeEditorFromHashList(const std::string& AttrName, TKelPtr<IKelMLTagAttribute>& Attribute,
                                      TKelPtr<IKelMLEditor>& Editor, const std::string& TagName);

  // ---- The tag at the caret, as the last parse left it
  // The parser's current tag; the hidden root when there is none, or when it
  // is a name the schema does not know and no schema tag preceded it.
  // A tag of an XSD (server controls, their templates and styles): its
  // names and values are spelt as the schema spells them.
  static bool KeepsCase(IKelMLTag* Tag);
  TKelPtr<IKelMLTag> GetCurrentTag();
  // The tag whose children are offered at the caret: the fix-up tag inside a
  // document-level name, else the fix-up parent, else the current tag.
  TKelPtr<IKelMLTag> ListTag();
  // Child Index of ListTag().
  TKelPtr<IKelMLTag> GetMLTag(int32_t Index);
  // For a closing tag among those children: the line of its start tag; else 0.
  int32_t GetLineNumber(int32_t Index);
  // True when this very attribute object is written in the tag at the caret.
  bool FindTagAttr(IKelMLTagAttribute* Attribute);

  // ---- Letter case
  TTagCase GetTagCase() const override { return TagCase; }
  void SetTagCase(TTagCase Value) { TagCase = Value; }
  std::string CaseTag(const std::string& Name) override;

  // ---- Closing tags offered at the caret
  int32_t GetClosedTagsCount() const { return static_cast<int32_t>(ClosedTags.size()); }
  TKelPtr<IKelMLTag> GetCloseTags(int32_t Index);
  void DeleteClosedTag(int32_t Index);
  void AddClosedTag(IKelMLTag* Tag) override { ClosedTags.emplace_back(Tag); }
  void ClearClosedTags() override { ClosedTags.clear(); }
  // Called by THTMLTag::SetFilter around the filtering of its children.
  int32_t InsertCustomElements(TMLTagList& List, IKelMLTag& Tag) override;
  int32_t RemoveCustomElements(TMLTagList& List, IKelMLTag& Tag) override;

  // ---- Attributes taken off the current tag for one request
  int32_t GetHiddenAttrCount() const { return static_cast<int32_t>(HiddenAttrs.size()); }
  TKelPtr<IKelMLTagAttribute> GetHiddenAttrs(int32_t Index);
  TKelPtr<IKelMLTagAttribute> FindHiddenAttr(const std::string& Name);
  void AddHiddenAttr(IKelMLTagAttribute* Attr) { HiddenAttrs.emplace_back(Attr); }

  // A schema tag that this request changes (its list shown, filtered or
  // fixed up): RemoveFixupElements gives it back as it was loaded.
  void Touch(IKelMLTag* Tag);

  // ---- Fix-ups around one completion request (the parser calls them in pairs)
  // Offers the children of omissible children, the elements of the other
  // side of an XSL/output nesting, and hides the attributes already written.
  void InsertFixupElements(IKelMLTag* Tag, IKelMLTag* Previous) override;
  // Undoes every change of the request on every tag it touched (Tag too),
  // so that no answer depends on the requests before it.
  void RemoveFixupElements(IKelMLTag* Tag) override;
  void InsertDataAttrs(IKelMLTag* Tag);

  // The full path of the loaded schema; empty when none is.
  const std::string& GetSchemaFile() const { return SchemaFile; }
  // The schema is the family's default standing in for an identifier we
  // have none for.
  bool SchemaIsStandIn() const { return StandIn; }
  // The schema was learned from the document's own names (an .xml file
  // that names none).
  bool SchemaIsLearned() const { return SchemaFile.starts_with("<"); }
  // The failures and errors the last load found in the schema's files
  // ("loose.dtd:12: …"), at most 100.
  const std::vector<std::string>& GetLoadProblems() const { return LoadProblems; }
  // Selects the schema for a DOCTYPE identifier (empty: the mode's default)
  // and, when it is not the one loaded, loads it into the registry and
  // parses the current view again. Every parse ends with this call.
  bool SetSchemaFile(const std::string& Value) override;
  // An XSL style sheet's xsl:output attributes: the next SetSchemaFile gives
  // the templates the schema of the output they name (loose.dtd when none).
  void SetXSLOutput(const std::vector<std::pair<std::string, std::string>>& Attributes) override;

  bool GetIsASPEnabled() const { return IsASPEnabled; }
  // Server controls offered in HTML documents; a change reloads the schema.
  void SetIsASPEnabled(bool Value);

  TKibitzMode GetKibitzMode() const override { return KibitzMode; }
  // The entity list becomes XML's own five (amp, lt, gt, quot, apos).
  void UseXMLEntities();
  // An XML file that names no schema: the elements and attributes the
  // document uses (where it uses them) become its tags, as XML editors serve
  // a document without a grammar. Rebuilt when the names change.
  bool LearnSchema();
  // The page as the caller's document model keeps it for the current view's
  // text; null: a request that needs its tree builds it.
  void SetPage(const TMLPage* Value) { Page = Value; }
  const TMLPage* GetPage() const override { return Page; }
  // Changes whenever a tag is registered or dropped, or the mode or file
  // changes: what a parse kept of the tags is stale then.
  uint64_t GetGeneration() const override { return Generation; }
  // The schema of a page without a DOCTYPE.
  std::string DefaultHTMLSchema() const;
  // XML by its mode or file type, before any declaration is read.
  bool IsXMLDocument() const override;
  // Only records the mode; the schema follows at the next SetSchemaFile.
  void SetKibitzMode(TKibitzMode Mode) {
    if (KibitzMode != Mode) ++Generation;
    KibitzMode = Mode;
  }

  // A content page's top is its own: the directives and asp:Content.
  TKelPtr<IKelMLTag> GetHiddenRootNode() const override {
    return ContentRoot && Parser && Parser->Caret().ContentPage ? ContentRoot : HiddenRootNode;
  }
  void SetHiddenRootNode(IKelMLTag* Tag);

  TAsciiCharList& GetCharList() { return *CharList; }
  const std::string& GetFileName() const { return FileName; }
  void SetFileName(const std::string& Value) {
    if (FileName != Value) ++Generation;
    FileName = Value;
  }

  // Builds schema tags from a DTD: one per declared element, children from
  // the content models, attributes with their values and value editors,
  // the entity list.
  void LoadDTD(IKelMLTag* Root, const std::string& DTDFileName);
  void InheritInclusions(const std::vector<std::pair<TDTDElement*, TKelPtr<THTMLTag>>>& Made,
                         const TDTDParser& Parser, const std::string& DTDFileName);

  // Builds schema tags from an XSD: one per element, prefixed with the
  // schema's namespace; top-level ones become children of Root and of the
  // registered tags named in ParentTags. Root and ParentTags may be null.
  void LoadXSD(IKelMLTag* Root, const std::vector<std::string>* ParentTags, const std::string& XSDFileName);
  // Whether a schema that made Made tags may make another; says so once when not.
  bool RoomForTag(size_t Made, const std::string& File);
  // The HTML elements in which the ASP.NET controls are allowed.
  static void GetASPParentTags(std::vector<std::string>& List);
  void CallbacksInvalidate();
  const std::string& GetXSLOutputSchema() const { return XSLOutputSchema; }

  // Shows the host's message view and adds a tool message to it.
  void Error(const std::string& FileName, const std::string& Msg, const std::string& Prefix, int32_t Line,
             int32_t Column);

  // The parser this manager made, or the one that runs now (a parse tells
  // the manager); null once that parser is gone.
  TMLParser* GetParser() const override { return Parser; }
  void SetParser(TMLParser* Value) override { Parser = Value; }

 private:
  std::list<TTagBucket>::iterator FindBucket(const std::string& Name);
  void InsertOptionalElements(IKelMLTag* Tag, IKelMLTag* Previous);
  void RemoveOptionalElements(IKelMLTag* Tag);
  void InsertXSLElements(IKelMLTag* Tag);
  void RemoveXSLElements(IKelMLTag* Tag);
  void RemoveAlreadyExistingAttrs(IKelMLTag* Tag);
  // Children the content model allows once that the element already holds
  // before the caret, or whose place is before a sibling written there.
  void RemoveChildrenDone(IKelMLTag* Tag);
  // After a load: the caret's tag becomes one of the new tags.
  void RepopulateAttrs(IKelMLTag* Tag);

  std::unique_ptr<TMLParser> OwnParser;
  TMLParser* Parser = nullptr;
  std::list<TTagBucket> Tags;
  // Each chain holds the registered tags of one Hash, newest first.
  // By upper-case name, newest last: a schema may declare 40,000 elements.
  // Looked up by any spelling without an upper-case copy per tag of a parse.
  std::unordered_map<std::string, std::vector<std::list<TTagBucket>::iterator>, TTextHash, TTextEqual>
      TagIndex;
  TKelPtr<IKelMLTag> HiddenRootNode;
  // Tags of local XSD elements whose name a registered tag of other content
  // holds: found through their parent only.
  std::vector<TKelPtr<IKelMLTag>> LocalTags;
  TKelPtr<IKelMLTag> ContentRoot;
  std::string FileName;
  std::array<std::list<TTagAttributeBucket>, 256> AttrEditorHash;
  TMLTagList ClosedTags;
  TMLAttributeList HiddenAttrs;
  // The tag each hidden attribute was taken from.
  TMLTagList HiddenAttrOwners;
  const TMLPage* Page = nullptr;
  uint64_t Generation = 0;
  // Children a request hides (their parent, then them), given back after it.
  std::vector<std::pair<TKelPtr<IKelMLTag>, TKelPtr<IKelMLTag>>> HiddenChildren;
  TMLTagList TouchedTags;
  // Attributes a request added to a tag (data-*), taken out again after it.
  std::vector<std::pair<TKelPtr<IKelMLTag>, std::string>> AddedAttrs;
  // The document and identifier last told that no schema exists for it.
  std::string UnknownIdentifierReported;
  std::unique_ptr<TAsciiCharList> CharList;
  TTagCase TagCase = TTagCase::tcLowerCase;
  TKibitzMode KibitzMode = TKibitzMode::kmHTML;
  std::string SchemaFile;
  std::string XSLOutputSchema;
  std::string XSLOutputWanted = "loose.dtd";
  std::vector<std::pair<std::string, std::string>> XSLOutputAttributes;
  bool IsASPEnabled = false;
  bool StandIn = false;
  std::vector<std::string> LoadProblems;
  bool ReloadPending = false;
  // The re-parse that ends a load calls SetSchemaFile again; that call must
  // not start another load.
  bool Loading = false;
};

// The package's one symbol manager, made on first use.
TMLSymbolManager& MLSymbolManager();

}  // namespace kel
