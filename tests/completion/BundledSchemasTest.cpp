// The schemas we write, loaded by the real readers through a completion: the
// facts a careless schema gets wrong, and no Failure or Error on the way.
#include <gtest/gtest.h>

#include <algorithm>

#include "symbols/MLSymbolManager.h"
#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using test::TRun;
using Names = std::vector<std::string>;

class Bundled : public test::TCompletionTest {
 protected:
  Names Shown() {
    Names R;
    for (const auto& I : Cycle.Items()) R.push_back(I.Shown());
    return R;
  }
  void ExpectClean() {
    for (const auto& M : Test.Host().Messages())
      EXPECT_TRUE(M.Prefix != "Failure" && M.Prefix != "Error")
          << M.Prefix << ": " << M.FileName << ": " << M.Text;
  }
};

struct TFactCase {
  const char* Name;
  std::string Marked;
  const char* File;
  Names Present;
  Names Absent;
};

const std::string& Xsl = test::XslHead;
const std::string Xsl2 =
    "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"2.0\" "
    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n";
const std::string Xsl3 =
    "<?xml version=\"1.0\"?>\n<xsl:transform version=\"3.0\" "
    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n";
const std::string Wml =
    "<?xml version=\"1.0\"?>\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.2//EN\" "
    "\"http://www.wapforum.org/DTD/wml12.dtd\">\n";
const std::string Aspx =
    "<%@ Page Language=\"C#\" %>\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n";

TEST_F(Bundled, EachSchemaOffersWhatItsStandardDefines) {
  Manager->SetTagCase(TTagCase::tcNormal);
  const TFactCase Cases[] = {
      // clang-format off
      {"xsl:template children", Xsl + "<xsl:template match=\"/\">|", "t.xsl", {"xsl:apply-templates",
          "xsl:value-of", "xsl:for-each", "xsl:param", "TABLE", "P"}, {"xsl:template", "xsl:when"}},
      {"xsl:stylesheet children", Xsl + "|", "t.xslt", {"xsl:template", "xsl:output", "xsl:key",
          "xsl:function"}, {"TABLE"}},
      {"xsl:sort order", Xsl + "<xsl:template><xsl:for-each select=\"x\"><xsl:sort order=|", "t.xsl",
          {"ascending", "descending"}, {}},
      {"xsl:output method", Xsl + "<xsl:output method=|", "t.xsl", {"xml", "html", "text"}, {}},
      {"xsl:choose children", Xsl + "<xsl:template><xsl:choose>|", "t.xsl", {"xsl:when", "xsl:otherwise"},
          {"xsl:if"}},
      // XSLT 2.0 and 3.0.
      {"xsl:template children of 3.0", Xsl3 + "<xsl:template match=\"/\">|", "t.xsl", {"xsl:iterate",
          "xsl:try", "xsl:map", "xsl:evaluate", "xsl:fork", "xsl:merge", "xsl:source-document",
          "xsl:for-each-group", "xsl:context-item"}, {"xsl:catch", "xsl:mode"}},
      {"declarations of 3.0", Xsl3 + "|", "t.xsl", {"xsl:mode", "xsl:accumulator", "xsl:use-package",
          "xsl:global-context-item", "xsl:character-map"}, {"xsl:iterate"}},
      {"xsl:try", Xsl3 + "<xsl:template><xsl:try>|", "t.xsl", {"xsl:catch", "xsl:value-of"}, {}},
      {"xsl:iterate", Xsl + "<xsl:template><xsl:iterate select=\"x\">|", "t.xsl", {"xsl:on-completion",
          "xsl:param"}, {}},
      {"standard attributes", Xsl2 + "<xsl:template><xsl:if |", "t.xsl", {"test", "use-when", "expand-text",
          "xpath-default-namespace"}, {}},
      {"stylesheet attributes", "<?xml version=\"1.0\"?>\n<xsl:stylesheet |", "t.xsl", {"version",
          "default-validation", "input-type-annotations", "default-mode", "xpath-default-namespace"}, {}},
      {"serialization", Xsl2 + "<xsl:template><xsl:result-document |", "t.xsl", {"href", "format",
          "html-version", "item-separator", "suppress-indentation", "output-version"}, {}},
      {"output methods", Xsl + "<xsl:output method=|", "t.xsl", {"xml", "html", "xhtml", "text", "json",
          "adaptive"}, {}},
      {"xsl:mode on-no-match", Xsl + "<xsl:mode on-no-match=|", "t.xsl", {"shallow-copy", "deep-skip",
          "text-only-copy", "fail"}, {}},
      {"a stylesheet's href", Xsl + "<xsl:import href=|", "t.xsl", {"uri..."}, {}},
      {"wml card", Wml + "<wml>|", "deck.wml", {"card", "head", "template"}, {"p"}},
      {"wml card content", Wml + "<wml><card>|", "deck.wml", {"timer", "onevent", "do", "p"}, {"img"}},
      {"wml paragraph", Wml + "<wml><card><p>|", "deck.wml", {"anchor", "select", "fieldset"}, {"timer"}},
      {"wml xml:lang where declared", Wml + "<wml><card |", "deck.wml", {"xml:lang", "title", "ontimer"}, {}},
      {"wml no xml:lang elsewhere", Wml + "<wml><card><p><anchor><go |", "deck.wml", {"href", "method"},
          {"xml:lang"}},
      {"wml do types", Wml + "<wml><card><do type=|", "deck.wml", {"accept", "prev", "help", "reset",
          "options", "delete", "unknown"}, {}},
      {"wml go href", Wml + "<wml><card><p><anchor><go href=|", "deck.wml", {"uri..."}, {}},
      {"wml go method", Wml + "<wml><card><p><anchor><go method=|", "deck.wml", {"get", "post"}, {}},
      {"wml onevent type", Wml + "<wml><card><onevent type=|", "deck.wml", {"onenterforward", "ontimer",
          "onpick"}, {}},
      {"resx data attributes", "<root>\n<data |", "Strings.resx", {"name", "type", "mimetype", "xml:space"},
          {"alias"}},
      {"resx mime types", "<root>\n<data mimetype=|", "Strings.resx",
          {"application/x-microsoft.net.object.binary.base64",
          "application/x-microsoft.net.object.soap.base64",
          "application/x-microsoft.net.object.bytearray.base64"}, {"text/microsoft-resx"}},
      {"resx metadata", "<root>\n<metadata name=\"x\">|", "Strings.resx", {"value"}, {"comment"}},
      {"resx data", "<root>\n<data name=\"x\">|", "Strings.resx", {"value", "comment"}, {}},
      {"resx top", "|", "Strings.resx", {"root"}, {"data", "value"}},
      {"page directive", Aspx.substr(0, 9) + "|", "default.aspx", {"AutoEventWireup", "CodeFile", "Inherits",
          "MasterPageFile"}, {}},
      {"output cache location", "<%@ OutputCache Location=|", "default.aspx", {"Any", "Client",
          "ServerAndClient"}, {}},
      {"server controls in body", Aspx + "<HTML><BODY><FORM>|", "default.aspx", {"asp:Button", "asp:TextBox",
          "asp:GridView"}, {}},
      {"button events", Aspx + "<HTML><BODY><FORM><asp:Button |", "default.aspx", {"OnClick", "runat",
          "BackColor"}, {"NavigateUrl"}},
      {"list items", Aspx + "<HTML><BODY><FORM><asp:DropDownList runat=\"server\">|", "default.aspx",
          {"asp:ListItem"}, {}},
      // Inner elements as pages write them; what a control names stands
      // inside it only, and a template holds HTML and controls.
      {"inside a paragraph", Aspx + "<HTML><BODY><FORM><P>|", "default.aspx", {"asp:Label", "B"},
          {"asp:ListItem", "asp:BoundField", "asp:TableCell", "ItemTemplate", "asp:", ""}},
      {"repeater templates", Aspx + "<HTML><BODY><FORM><asp:Repeater runat=\"server\">|", "default.aspx",
          {"HeaderTemplate", "ItemTemplate", "FooterTemplate"}, {"asp:", ""}},
      {"a template's content", Aspx + "<HTML><BODY><FORM><asp:Repeater><ItemTemplate>|", "default.aspx",
          {"DIV", "TABLE", "asp:Label", "asp:HyperLink"}, {"ItemTemplate", "asp:"}},
      {"grid view columns", Aspx + "<HTML><BODY><FORM><asp:GridView><Columns>|", "default.aspx",
          {"asp:BoundField", "asp:TemplateField", "asp:CommandField"}, {"asp:Columns", "asp:"}},
      {"a URL property", Aspx + "<HTML><BODY><FORM><asp:HyperLink NavigateUrl=|", "default.aspx", {"uri..."},
          {}},
      {"page directive of ASP.NET 4", "<%@ Page |", "default.aspx", {"ClientIDMode", "CodeFileBaseClass",
          "CompilationMode", "MetaDescription", "MetaKeywords", "ViewStateMode"}, {"data-"}},
      {"import directive", "<%@ Import |", "default.aspx", {"Namespace"}, {"data-"}},
      {"client ID modes", Aspx + "<HTML><BODY><FORM><asp:Label ClientIDMode=|", "default.aspx", {"AutoID",
          "Inherit", "Predictable", "Static"}, {}},
      {"update modes", Aspx + "<HTML><BODY><FORM><asp:UpdatePanel UpdateMode=|", "default.aspx", {"Always",
          "Conditional"}, {}},
      {"a user control's top after its directive", "<%@ Control Language=\"C#\" %>\n<|", "part.ascx", {"div",
          "table", "asp:Label"}, {"html"}},
      {"after a server block mid-page",
          Aspx + "<HTML><BODY><FORM><P><%= DateTime.Now %> <|\n</P></FORM></BODY></HTML>", "default.aspx",
          {"B", "asp:Label"}, {}},
      {"runat", Aspx + "<HTML><BODY><FORM><asp:Label runat=|", "default.aspx", {"server"}, {}},
      // The controls of ASP.NET 4's toolbox (standard, data, validation,
      // navigation, login, AJAX extensions) and the parts pages write in them.
      {"the toolbox", Aspx + "<HTML><BODY><FORM>|", "default.aspx", {"asp:AccessDataSource", "asp:AdRotator",
          "asp:BulletedList", "asp:Button", "asp:Calendar", "asp:ChangePassword", "asp:CheckBox",
          "asp:CheckBoxList", "asp:CompareValidator", "asp:ContentPlaceHolder", "asp:CreateUserWizard",
          "asp:CustomValidator", "asp:DataList", "asp:DataPager", "asp:DetailsView", "asp:DropDownList",
          "asp:EntityDataSource", "asp:FileUpload", "asp:FormView", "asp:GridView", "asp:HiddenField",
          "asp:HyperLink", "asp:Image", "asp:ImageButton", "asp:ImageMap", "asp:Label", "asp:LinkButton",
          "asp:LinqDataSource", "asp:ListBox", "asp:ListView", "asp:Literal", "asp:Localize", "asp:Login",
          "asp:LoginName", "asp:LoginStatus", "asp:LoginView", "asp:Menu", "asp:MultiView",
          "asp:ObjectDataSource", "asp:Panel", "asp:PasswordRecovery", "asp:PlaceHolder", "asp:RadioButton",
          "asp:RadioButtonList", "asp:RangeValidator", "asp:RegularExpressionValidator", "asp:Repeater",
          "asp:RequiredFieldValidator", "asp:ScriptManager", "asp:ScriptManagerProxy",
          "asp:SiteMapDataSource", "asp:SiteMapPath", "asp:SqlDataSource", "asp:Substitution", "asp:Table",
          "asp:TextBox", "asp:Timer", "asp:TreeView", "asp:UpdatePanel", "asp:UpdateProgress",
          "asp:ValidationSummary", "asp:Wizard", "asp:Xml", "asp:XmlDataSource"}, {"asp:View", "asp:TreeNode",
          "asp:MenuItem", "asp:WizardStep", "asp:BoundField"}},
      {"grid view styles and pager", Aspx + "<HTML><BODY><FORM><asp:GridView runat=\"server\">|",
          "default.aspx", {"Columns", "PagerSettings", "RowStyle", "AlternatingRowStyle", "HeaderStyle",
          "PagerStyle", "SelectedRowStyle", "EmptyDataTemplate"}, {"asp:Columns", "Fields"}},
      {"pager modes as written",
          Aspx + "<HTML><BODY><FORM><asp:GridView runat=\"server\"><PagerSettings Mode=|", "default.aspx",
          {"NextPrevious", "Numeric", "NextPreviousFirstLast", "NumericFirstLast"}, {"numeric"}},
      {"a style's attributes", Aspx + "<HTML><BODY><FORM><asp:GridView runat=\"server\"><HeaderStyle |",
          "default.aspx", {"BackColor", "CssClass", "HorizontalAlign", "Font-Bold"}, {"runat"}},
      {"a bound field's own attributes", Aspx + "<HTML><BODY><FORM><asp:GridView><Columns><asp:BoundField |",
          "default.aspx", {"DataField", "HeaderText", "DataFormatString", "HtmlEncode"}, {"NavigateUrl",
          "ShowEditButton"}},
      {"a command field's own attributes",
          Aspx + "<HTML><BODY><FORM><asp:GridView><Columns><asp:CommandField |", "default.aspx",
          {"ShowEditButton", "ShowDeleteButton", "HeaderText", "ButtonType"}, {"DataField"}},
      {"tree view image sets", Aspx + "<HTML><BODY><FORM><asp:TreeView ImageSet=|", "default.aspx",
          {"XPFileExplorer", "Msdn", "Arrows", "Contacts", "Custom"}, {}},
      {"tree nodes", Aspx + "<HTML><BODY><FORM><asp:TreeView><Nodes><asp:TreeNode SelectAction=|",
          "default.aspx", {"Select", "Expand", "SelectExpand", "None"}, {}},
      {"menu items", Aspx + "<HTML><BODY><FORM><asp:Menu><Items>|", "default.aspx", {"asp:MenuItem"},
          {"asp:TreeNode"}},
      {"list view templates", Aspx + "<HTML><BODY><FORM><asp:ListView>|", "default.aspx", {"LayoutTemplate",
          "ItemTemplate", "EmptyDataTemplate", "GroupTemplate", "InsertItemTemplate"}, {}},
      {"login view templates", Aspx + "<HTML><BODY><FORM><asp:LoginView>|", "default.aspx",
          {"AnonymousTemplate", "LoggedInTemplate", "RoleGroups"}, {}},
      {"multi view", Aspx + "<HTML><BODY><FORM><asp:MultiView>|", "default.aspx", {"asp:View"}, {"asp:Label"}},
      {"details view fields", Aspx + "<HTML><BODY><FORM><asp:DetailsView><Fields>|", "default.aspx",
          {"asp:BoundField", "asp:TemplateField", "asp:CommandField"}, {"asp:NumericPagerField"}},
      {"data pager fields", Aspx + "<HTML><BODY><FORM><asp:DataPager><Fields>|", "default.aspx",
          {"asp:NumericPagerField", "asp:NextPreviousPagerField"}, {"asp:BoundField"}},
      {"a master page's placeholder",
          "<%@ Master Language=\"C#\" %>\n<html><body><form runat=\"server\">"
          "<asp:ContentPlaceHolder ID=\"Main\" runat=\"server\">|",
          "Site.master", {"div", "table", "asp:Label", "asp:GridView"}, {"html"}},
      {"a content page's content",
          "<%@ Page MasterPageFile=\"~/Site.master\" %>\n"
          "<asp:Content ContentPlaceHolderID=\"Main\" runat=\"server\">|",
          "default.aspx", {"div", "asp:Label"}, {"html"}},
      {"a content page's top",
          "<%@ Page MasterPageFile=\"~/Site.master\" %>\n<asp:Content runat=\"server\"></asp:Content>\n<|",
          "default.aspx", {"asp:Content", "@ Register"}, {"html", "div", "asp:Label"}},
      {"update panel", Aspx + "<HTML><BODY><FORM><asp:UpdatePanel>|", "default.aspx", {"ContentTemplate"},
          {"asp:"}},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", "", 0}));
    const Names S = Shown();
    for (const auto& P : C.Present) EXPECT_NE(std::find(S.begin(), S.end(), P), S.end()) << P;
    for (const auto& A : C.Absent) EXPECT_EQ(std::find(S.begin(), S.end(), A), S.end()) << A;
    ExpectClean();
  }
}

// Each schema holds the elements its standard defines, no more: XSLT 3.0
// (which holds 1.0's and 2.0's) from the recommendation's element syntax
// summary, WML 1.2 from WAP-238, .resx from the schema every resource file
// carries.
TEST_F(Bundled, EachSchemaHoldsTheElementsOfItsStandard) {
  const struct {
    std::string Marked;
    const char *File, *Prefix;
    Names Elements;
  } Cases[] = {
      {Xsl + "|",
       "t.xsl",
       "xsl:",
       {"accept",
        "accumulator",
        "accumulator-rule",
        "analyze-string",
        "apply-imports",
        "apply-templates",
        "assert",
        "attribute",
        "attribute-set",
        "break",
        "call-template",
        "catch",
        "character-map",
        "choose",
        "comment",
        "context-item",
        "copy",
        "copy-of",
        "decimal-format",
        "document",
        "element",
        "evaluate",
        "expose",
        "fallback",
        "for-each",
        "for-each-group",
        "fork",
        "function",
        "global-context-item",
        "if",
        "import",
        "import-schema",
        "include",
        "iterate",
        "key",
        "map",
        "map-entry",
        "matching-substring",
        "merge",
        "merge-action",
        "merge-key",
        "merge-source",
        "message",
        "mode",
        "namespace",
        "namespace-alias",
        "next-iteration",
        "next-match",
        "non-matching-substring",
        "number",
        "on-completion",
        "on-empty",
        "on-non-empty",
        "otherwise",
        "output",
        "output-character",
        "override",
        "package",
        "param",
        "perform-sort",
        "preserve-space",
        "processing-instruction",
        "result-document",
        "sequence",
        "sort",
        "source-document",
        "strip-space",
        "stylesheet",
        "template",
        "text",
        "transform",
        "try",
        "use-package",
        "value-of",
        "variable",
        "when",
        "where-populated",
        "with-param"}},
      {Wml + "|", "deck.wml", "", {"a",        "access",   "anchor", "b",         "big",    "br",
                                   "card",     "do",       "em",     "fieldset",  "go",     "head",
                                   "i",        "img",      "input",  "meta",      "noop",   "onevent",
                                   "optgroup", "option",   "p",      "postfield", "pre",    "prev",
                                   "refresh",  "select",   "setvar", "small",     "strong", "table",
                                   "td",       "template", "timer",  "tr",        "u",      "wml"}},
      {"|", "Strings.resx", "", {"assembly", "comment", "data", "metadata", "resheader", "root", "value"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.File);
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", "", 0}));
    Names Loaded;
    for (const auto& Bucket : MLSymbolManager().GetRegisteredTags())
      if (Bucket.Tag->GetName().starts_with(C.Prefix))
        Loaded.push_back(Bucket.Tag->GetName().substr(std::string_view(C.Prefix).size()));
    std::sort(Loaded.begin(), Loaded.end());
    EXPECT_EQ(Loaded, C.Elements);
    ExpectClean();
  }
}

// Directives complete where pages write them: after "<" the whole directive,
// after "<%@ " its name alone, among the directives only.
TEST_F(Bundled, DirectivesCompleteWherePagesWriteThem) {
  Manager->SetTagCase(TTagCase::tcNormal);
  const Names All = {"@ Assembly",         "@ Control",    "@ Implements",  "@ Import",
                     "@ Master",           "@ MasterType", "@ OutputCache", "@ Page",
                     "@ PreviousPageType", "@ Reference",  "@ Register"};
  const struct {
    const char *Marked, *File, *Accept, *Expected;
    Names Listed;  // empty: not looked at
  } Cases[] = {
      {"<|", "default.aspx", "@ Page", "<%@ Page|", {}},
      {"|", "default.aspx", "@ Import", "<%@ Import|", {}},
      {"<%@ |%>", "default.aspx", "@ Page", "<%@ Page|%>", All},
      {"<%@ Pa|", "default.aspx", "@ Page", "<%@ Page|", {"@ Page"}},
      {"<%@ |Page %>", "default.aspx", "@ Master", "<%@ Master| %>", All},
      {"<%@ Import |%>", "default.aspx", "Namespace", "<%@ Import Namespace=\"|\"%>", {"Namespace"}},
      {"<%@ Control %>\n<%@ Reg|",
       "menu.ascx",
       "@ Register",
       "<%@ Control %>\n<%@ Register|",
       {"@ Register"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Marked);
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", C.Accept, 0}));
    if (!C.Listed.empty()) {
      EXPECT_EQ(Shown(), C.Listed);
    }
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", C.Accept}));
    EXPECT_EQ(Result(), C.Expected);
  }
  ExpectClean();
  Manager->SetIsASPEnabled(false);
}

}  // namespace
}  // namespace kel
