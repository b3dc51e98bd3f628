#include "diagnostics/DocumentCheck.h"

#include <algorithm>
#include <unordered_set>

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "diagnostics/MarkupCheck.h"
#include "diagnostics/StyleCheck.h"
#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "markup/MLBufferProducer.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

TCheckResult CheckDocument(TMemoryHost& Host, TDocumentModel& Model, const TKelPtr<TMemoryEditView>& View,
                           const TCheckRules& Rules, size_t Max) {
  TCheckResult Result;
  TDiagnostics Out(Rules, Max);
  const std::string& Text = View->Text();
  const TMLTree& Tree = Model.Tree();
  TMarkupSchema Schema;
  Schema.Xml = Tree.Xml;
  // Sheets by css.xml (read only for a document that has one); Sass and
  // Less write what CSS does not.
  const auto CheckSheets = [&] {
    if (IsStyleSheetFile(Model.Path()) && UpperCase(ExtractFileExt(Model.Path())) != ".CSS") return;
    const auto& Sheets = Model.Sheets(Text);
    const TKelPtr<IKelCSSCodeInsightManager> Css =
        Sheets.empty() ? nullptr : query<IKelCSSCodeInsightManager>(CSSLanguageManager());
    if (!Css) return;
    for (const TDocumentSheet& S : Sheets)
      CheckSheet(Text, S.Tree,
                 S.Region != TMLNode::None && Tree.Regions[S.Region].Kind == TMLRegionKind::StyleDeclarations,
                 *Css, Out);
  };
  const auto Finish = [&] {
    Result.Dropped = Out.Dropped();
    Result.Problems = Out.Take();
    std::stable_sort(Result.Problems.begin(), Result.Problems.end(),
                     [](const TDiagnostic& A, const TDiagnostic& B) { return A.Start < B.Start; });
    return std::move(Result);
  };
  if (IsStyleSheetFile(Model.Path())) {
    CheckSheets();
    return Finish();
  }
  const TKelPtr<IKelCodeInsightManager> Manager = Model.ManagerAt(Host, 0);
  if (Manager && query<IKelMLCodeInsightManager>(Manager)) {
    // The schema a request at the end of the text would load.
    TMLSymbolManager& Symbols = MLSymbolManager();
    const TMLPage Page{&Tree, &Text, &Model.ParseCache()};
    Symbols.SetPage(&Page);
    const int32_t Caret = View->CaretOffset();
    View->SetCaretOffset(static_cast<int32_t>(Text.size()));
    Host.SetCurrentEditView(View);
    TMLParser& Parser = *Symbols.GetParser();
    for (int Pass = 0; Pass < 2; ++Pass)
      if (!Parser.Parse(View->GetCursorPos(), MakeKel<TMLBufferProducer>(View.get()).get(), nullptr)) break;
    Parser.ReleaseFixups();
    const std::string Ext = UpperCase(ExtractFileExt(Model.Path()));
    // A stand-in or a learned schema does not judge the document.
    if (!Symbols.SchemaIsStandIn() && !Symbols.SchemaIsLearned()) Result.SchemaFile = Symbols.GetSchemaFile();
    if (!Result.SchemaFile.empty()) {
      Schema.Symbols = &Symbols;
      // A user control's text is body content.
      Schema.Root =
          Ext == ".ASCX" ? Symbols.GetTagFromHashList("body").get() : Symbols.GetHiddenRootNode().get();
      Schema.Html5 = Result.SchemaFile.ends_with("html5.dtd");
      Schema.Asp = Ext == ".ASPX" || Ext == ".ASCX" || Ext == ".MASTER" || Symbols.GetIsASPEnabled();
      Schema.Xsl = Symbols.GetKibitzMode() == TKibitzMode::kmXSL;
    }
    // What is said of the schema is said at the DOCTYPE that chose it.
    const auto DocType = std::find_if(Tree.Nodes.begin(), Tree.Nodes.end(),
                                      [](const TMLNode& N) { return N.Kind == TMLNodeKind::DocType; });
    const TMLRange At = DocType == Tree.Nodes.end() ? TMLRange{} : DocType->Name;
    if (Symbols.SchemaIsStandIn())
      Out.Add("unknown-doctype", At.Start, At.End,
              "No schema serves this DOCTYPE: the document is checked for its structure only");
    for (const std::string& Problem : Symbols.GetLoadProblems())
      Out.Add("schema-message", At.Start, At.End, "The schema: " + Problem);
    // The schema's entities, unless the DOCTYPE declares the document's own.
    std::unordered_set<std::string> Entities;
    const bool OwnEntities =
        DocType != Tree.Nodes.end() &&
        Text.substr(DocType->Open.Start, DocType->Range().End - DocType->Open.Start).find('[') !=
            std::string::npos;
    if (Schema.Symbols && !OwnEntities && !Tree.References.empty()) {
      TAsciiCharList& Chars = Symbols.GetCharList();
      Chars.SetFilter("");
      for (int32_t I = 0; I < Chars.GetCount(); ++I) Entities.insert(Chars.GetItem(I));
      Schema.Entities = &Entities;
    }
    CheckMarkup(Text, Tree, Schema, Out);
    // An XSL template's literal style element is a sheet in pieces.
    if (!Schema.Xsl) CheckSheets();
    Parser.ReleaseTags();
    Host.SetCurrentEditView(nullptr);
    View->SetCaretOffset(Caret);
    Symbols.SetPage(nullptr);
  } else {
    CheckMarkup(Text, Tree, Schema, Out);
  }
  return Finish();
}

}  // namespace kel
