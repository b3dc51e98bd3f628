// One open document as every request reads it: the syntax tree of its whole
// text and the regions of its languages, built once per version. Which
// manager serves a caret and the element code under it are read here, so
// that a "<style>" written in a comment or an XSL template's literal <style>
// element are what the page makes them, not what a text search guesses.
//
// Example: in page.html holding "<p style='co|'>", ManagerAt gives the
// style-sheet manager; at "<p |" the markup manager.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "css/CSSTree.h"
#include "host/CompletionCycle.h"
#include "markup/MLParser.h"
#include "markup/MLTree.h"

namespace kel {

// One style sheet of a document with its structure: a sheet file's whole
// text, or a style region of a page (Region: its index in the tree's regions).
struct TDocumentSheet {
  uint32_t Region = TMLNode::None;
  TCSSTree Tree;
};

// The sheets of Text: the whole text when Page is null (a sheet of its own),
// else each style region of the page's tree, in text order.
std::vector<TDocumentSheet> SheetsOf(std::string_view Text, const TMLTree* Page);

// Whether a file of this name is a style sheet of its own (the file types of
// the style-sheet editor).
bool IsStyleSheetFile(std::string_view Path);

class TDocumentModel {
 public:
  explicit TDocumentModel(std::string Path = {}) : FPath(std::move(Path)) {}

  const std::string& Path() const { return FPath; }
  // The tree of Text, the document's text at Version: built again only when
  // the version (or the text's length) is not the one built.
  const TMLTree& Tree(std::string_view Text, uint64_t Version);
  // The text changed since the tree was built: its bytes [Start, OldEnd)
  // became [Start, NewEnd). The next tree is read again from the edits on
  // (several edits are taken together as one), not from the start.
  void Edited(size_t Start, size_t OldEnd, size_t NewEnd);
  // The tree built last.
  const TMLTree& Tree() const { return FTree; }
  // The sheets of the text the last tree was built from (Text is that text),
  // read once per tree.
  const std::vector<TDocumentSheet>& Sheets(std::string_view Text);
  // What the markup parser keeps of this text between requests.
  TMLParseCache& ParseCache() { return FParseCache; }
  // How many times a tree was built (a request on an unchanged version
  // builds none).
  uint64_t Builds() const { return FBuilds; }

  // The manager for a caret at Offset of the tree built last: the style-sheet
  // manager in a page's style region, else the first that handles the file.
  TKelPtr<IKelCodeInsightManager> ManagerAt(TMemoryHost& Host, uint32_t Offset) const;
  // The cycle's classifier for the markup of this document: the element code
  // from the tree built last (the text before a caret is what decides it, so a
  // trial that changes only what follows reads the same answer).
  TCompletionCycle::TClassifier Classifier() const;

 private:
  std::string FPath;
  TMLTree FTree;
  TMLParseCache FParseCache;
  std::vector<TDocumentSheet> FSheets;
  uint64_t FSheetsOf = 0;  // the build the sheets were read for (0: none)
  bool FBuilt = false;
  uint64_t FVersion = 0;
  size_t FLength = 0;
  uint64_t FBuilds = 0;
  // What the edits since the last tree left alone: the first and the last
  // bytes; FEdited when there were edits.
  bool FEdited = false;
  size_t FPrefix = 0, FSuffix = 0, FLengthNow = 0;
};

// The classifier for a cycle with no model of its document: the element code
// from a tree of the text before the caret.
int32_t MarkupElementAt(const std::string& Text, int32_t Offset, const std::string& Path = {});

}  // namespace kel
