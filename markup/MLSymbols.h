// What the markup parser and the schema tags ask of the symbol manager that
// holds them: tags by name, the letter case, the fix-ups around a request,
// the closing tags due, the schema a parse selects. The symbol manager, a
// layer above, answers; markup links nothing above itself.
//
// Example: a parse of "<TD>" asks GetTagFromHashList("TD") for the schema's
// td, and ends with SetSchemaFile() of the identifier its DOCTYPE names.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "markup/MLParserUtils.h"

namespace kel {

class TMLParser;
struct TMLPage;

using TMLTagList = std::vector<TKelPtr<IKelMLTag>>;

class TMLSymbols {
 public:
  virtual ~TMLSymbols();

  // ---- Tags
  virtual TKelPtr<IKelMLTag> GetTagFromHashList(const std::string& Name) = 0;
  // The element a start tag opens inside Parent: a schema may give one name
  // different content under different parents (an XSD's local elements).
  virtual TKelPtr<IKelMLTag> TagIn(IKelMLTag* Parent, const std::string& Name) = 0;
  virtual TKelPtr<IKelMLTag> GetHiddenRootNode() const = 0;
  virtual TTagCase GetTagCase() const = 0;
  virtual std::string CaseTag(const std::string& Name) = 0;
  // Around the filtering of a tag's children.
  virtual int32_t InsertCustomElements(TMLTagList& List, IKelMLTag& Tag) = 0;
  virtual int32_t RemoveCustomElements(TMLTagList& List, IKelMLTag& Tag) = 0;

  // ---- The document
  virtual TKibitzMode GetKibitzMode() const = 0;
  virtual bool IsXMLDocument() const = 0;
  virtual const TMLPage* GetPage() const = 0;
  // Changes whenever what a parse keeps of the tags goes stale.
  virtual uint64_t GetGeneration() const = 0;

  // ---- One parse
  virtual TMLParser* GetParser() const = 0;
  virtual void SetParser(TMLParser* Parser) = 0;
  virtual void ClearClosedTags() = 0;
  virtual void AddClosedTag(IKelMLTag* Tag) = 0;
  virtual void InsertFixupElements(IKelMLTag* Tag, IKelMLTag* Previous) = 0;
  virtual void RemoveFixupElements(IKelMLTag* Tag) = 0;
  virtual void SetXSLOutput(const std::vector<std::pair<std::string, std::string>>& Attributes) = 0;
  // True when it replaced the tags: what a parse read with the old ones is
  // stale, and its caller parses again.
  virtual bool SetSchemaFile(const std::string& Value) = 0;
};

}  // namespace kel
