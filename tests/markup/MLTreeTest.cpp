// The page's tree and its regions: what a browser (or an XML reader) sees,
// never what a search for "<style" guesses.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/KelHostAPI.h"
#include "markup/MLTree.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using K = TMLRegionKind;

struct RegionCase {
  const char* Page;  // the caret marked with '|'
  bool Xml;
  K Expected;
  const char* Sheet = nullptr;  // the sheet's text up to the caret, when one
};

TEST(MLTree, RegionsComeFromTheTree) {
  const RegionCase Cases[] = {
      // <style> text that is no <style> element.
      {"<!-- <style> -->\n<body><|", false, K::Markup},
      {"<script>var s = '<style>';|</script>", false, K::Script},
      {"<div title=\"<style>|\">", false, K::Markup},
      {"<![CDATA[<style>]]><p|", false, K::Markup},
      {"<textarea><style>|</textarea>", false, K::RawText},
      {"<style/><p|", false, K::Markup},
      {"<style>a{}</style><p|", false, K::Markup},
      // Real sheets, bare or wrapped, and style attributes.
      {"<style>p { co|", false, K::StyleSheet, "p { co"},
      {"<style>|</style>", false, K::StyleSheet, ""},
      {"<STYLE type=text/css>\n  <!--\n  p { co| }\n  -->\n</STYLE>", false, K::StyleSheet, "\n  p { co"},
      {"<style><![CDATA[p{co| }]]></style>", false, K::StyleSheet, "p{co"},
      {"<p style=\"co|\">", false, K::StyleDeclarations, "x{co"},
      {"<p style='|'>", false, K::StyleDeclarations, "x{"},
      {"<p style=\"color:red\"|>", false, K::Markup},
      // XHTML by its declaration: sections and comments are nodes, their
      // insides the sheet.
      {"<?xml version=\"1.0\"?><html><style><![CDATA[ a{co| ]]></style>", false, K::StyleSheet, " a{co"},
      {"<?xml version=\"1.0\"?><html><style><!-- a{co| --></style>", false, K::StyleSheet, " a{co"},
      // A literal <style> of an XSL template holds both languages.
      {"<xsl:template><style>p { color: <|", true, K::Markup},
      {"<xsl:template><style>p { a: &|", true, K::Markup},
      {"<xsl:template><style>p { a: &amp|; }", true, K::Markup},
      {"<xsl:template><style>p { co|", true, K::StyleSheet, "p { co"},
      {"<style>p{}<xsl:value-of select=\"x\"/>\na { c|", true, K::StyleSheet,
       "p{}                          \na { c"},
      // Server code of ASP.NET and template pages.
      {"<% if (x) { %> <p|", false, K::Markup},
      {"<% Response.Write(|", false, K::ServerCode},
      {"<%@ Page Lang|", false, K::Markup},
      {"<a href=\"<%= Url %>\" |", false, K::Markup},
      {"<?php echo |", false, K::ServerCode},
  };
  for (const auto& C : Cases) {
    const auto A = test::Annotate(C.Page);
    const TMLTree Tree = TMLTree::Build(A.Text, C.Xml);
    const TMLRegion* R = Tree.RegionAt(static_cast<uint32_t>(A.Caret));
    EXPECT_EQ(R ? R->Kind : K::Markup, C.Expected) << C.Page;
    if (C.Sheet && R) {
      EXPECT_EQ(Tree.SheetText(A.Text, *R, static_cast<uint32_t>(A.Caret)), C.Sheet) << C.Page;
    }
  }
}

// The tree in one line: name, how it ends (~ implied, ? unclosed, / closed
// by "/>"), children in parentheses; text left out.
std::string Shape(const TMLTree& Tree, std::string_view Text, uint32_t Parent = TMLNode::None) {
  std::string S;
  for (uint32_t I = Parent == TMLNode::None ? 0 : Parent + 1;
       I < (Parent == TMLNode::None ? Tree.Nodes.size() : Tree.Nodes[Parent].Next); I = Tree.Nodes[I].Next) {
    const TMLNode& N = Tree.Nodes[I];
    const std::string Name(Text.substr(N.Name.Start, N.Name.End - N.Name.Start));
    std::string One;
    switch (N.Kind) {
      case TMLNodeKind::Element:
        One = Name + (N.End == TMLEnd::Omitted      ? "~"
                      : N.End == TMLEnd::Unclosed   ? "?"
                      : N.End == TMLEnd::SelfClosed ? "/"
                                                    : "");
        if (N.Next > I + 1) {
          const std::string Inner = Shape(Tree, Text, I);
          if (!Inner.empty()) One += "(" + Inner + ")";
        }
        break;
      case TMLNodeKind::StrayEndTag:
        One = "</" + Name + ">";
        break;
      case TMLNodeKind::Comment:
        One = "#comment";
        break;
      case TMLNodeKind::Server:
        One = "#server";
        break;
      case TMLNodeKind::DocType:
        One = "!" + Name;
        break;
      default:
        continue;
    }
    S += (S.empty() ? "" : " ") + One;
  }
  return S;
}

TEST(MLTree, ElementsEndAsBrowsersEndThem) {
  const struct {
    const char* Page;
    bool Xml;
    const char* Shape;
  } Cases[] = {
      {"<!DOCTYPE html><ul><li>a<li>b</ul><p>x<div>y</div>", false, "!html ul(li~ li~) p~ div"},
      {"<table><tr><td>1<td>2<tr><th>3</table>", false, "table(tr~(td~ td~) tr~(th~))"},
      {"<dl><dt>a<dd>b<dt>c</dl><select><option>1<optgroup><option>2</select>", false,
       "dl(dt~ dd~ dt~) select(option~ optgroup~(option~))"},
      {"<html><head><title>t</title><body><p>a</html>", false, "html(head~(title) body~(p~))"},
      {"<div><span>x</div><p>a</b>", false, "div(span?) p~(</b>)"},
      {"<br><img src=x><input/><div/><p>", false, "br img input div?(p~)"},
      {"<svg><circle/><path></path></svg><math><mi/></math>", false, "svg(circle/ path) math(mi/)"},
      {"<script>if (a<b) x = '</div>';</script><p><!-- <b> --><% x %>", false, "script p~(#comment #server)"},
      // A tag being typed does not swallow the next one.
      {"<div\n<p>x</p></div>", false, "div(p)"},
      {"<a><b/><c></a>", true, "a(b/ c?)"},
      {"<A><p></P></a>", true, "A?(p?(</P> </a>))"},
      {"<?xml version='1.0'?><x><br><p/></x>", false, "x(br?(p/))"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Shape(TMLTree::Build(C.Page, C.Xml), C.Page), C.Shape) << C.Page;
}

TEST(MLTree, RangesOfTagsAndAttributes) {
  const std::string Page = "<a href=\"x\" b = y c>t</a ><!-- d=e --><i j=k>";
  const TMLTree Tree = TMLTree::Build(Page, false);
  const TMLNode& A = Tree.Nodes[0];
  const auto Of = [&Page](TMLRange R) { return Page.substr(R.Start, R.End - R.Start); };
  EXPECT_EQ(Of(A.Open), "<a href=\"x\" b = y c>");
  EXPECT_EQ(Of(A.Content()), "t");
  EXPECT_EQ(Of(A.Close), "</a >");
  std::string Attributes;
  for (uint32_t Node = 0; Node < Tree.Nodes.size(); ++Node) {
    for (const TMLAttribute& At : Tree.AttributesOf(Node))
      Attributes += Of(At.Name) + "=" + (At.HasValue ? "[" + Of(At.Value) + "]" : "-") + " ";
    Attributes += "| ";
  }
  EXPECT_EQ(Attributes, "href=[x] b=[y] c=- | | j=[k] | ");
}

TEST(MLTree, ElementCodeIsTheStateBeforeTheCaret) {
  using E = int32_t;
  const struct {
    const char* Page;
    E Code;
  } Cases[] = {
      {"<p>|", TKelElement::WhiteSpace},
      {"<p |", TKelElement::Identifier},
      {"<a href=\"|\"", TKelElement::Identifier},
      {"<a href=\"x\">|", TKelElement::WhiteSpace},
      {"<!-- x|", TKelElement::Comment},
      {"<!-|", TKelElement::Identifier},
      {"<!-- x -->|", TKelElement::WhiteSpace},
      {"<![CDATA[ |", TKelElement::Comment},
      {"<script>|", TKelElement::Script},
      {"<script>a<|</script>", TKelElement::Script},
      {"<style>|", TKelElement::WhiteSpace},
      {"<style><!-- a{|", TKelElement::WhiteSpace},
      {"<% x|", TKelElement::Script},
      {"<% x %>|", TKelElement::WhiteSpace},
      {"</p|", TKelElement::Identifier},
      {"<p></p>|", TKelElement::WhiteSpace},
      {"<!DOCTYPE html|", TKelElement::Identifier},
  };
  for (const auto& C : Cases) {
    const auto A = test::Annotate(C.Page);
    EXPECT_EQ(TMLTree::Build(A.Text, false).ElementCodeAt(static_cast<uint32_t>(A.Caret)), C.Code) << C.Page;
  }
}

std::string Describe(const TMLNode& N) {
  const auto R = [](TMLRange X) { return "[" + std::to_string(X.Start) + "," + std::to_string(X.End) + ")"; };
  return "kind " + std::to_string(static_cast<int>(N.Kind)) + " end " +
         std::to_string(static_cast<int>(N.End)) + " term " + std::to_string(N.Terminated) +
         std::to_string(N.CloseTerminated) + " parent " + std::to_string(N.Parent) + " next " +
         std::to_string(N.Next) + " range " + R(N.Range()) + " name " + R(N.Name) + " open " + R(N.Open) +
         " close " + R(N.Close) + " content " + R(N.Content()) + " attributes from " +
         std::to_string(N.FirstAttribute);
}

// A tree read again from the edit on equals a tree of the whole new text,
// node for node, over random edit scripts on real pages: edits that open and
// close comments, raw-text bodies, sections, quotes and elements.
TEST(MLTree, IncrementalEqualsFull) {
  const std::pair<const char*, bool> Pages[] = {
      {"/usr/share/doc/libjs-underscore/index.html", false},
      {"/usr/share/doc/libxslt1-dev/html/APIchunk0.html", false},
      {"/usr/share/xml/docbook/stylesheet/docbook-xsl/html/docbook.xsl", true},
      {MLINSIGHT_SOURCE_DIR "/examples/index.html", false},
      {MLINSIGHT_SOURCE_DIR "/examples/default.aspx", false},
  };
  const char* const Pieces[] = {
      "<",      ">",         "</p>",     "<p>",      "<li>",      "<td>",  "<!--",
      "-->",    "<style>",   "</style>", "<script>", "</script>", "\"",    "'",
      "&amp;",  "<![CDATA[", "]]>",      "<%",       "%>",        "<br/>", "/>",
      "=",      "<svg>",     "</svg>",   "x",        " ",         "\n",    "<div style='a:b'>",
      "</div>", "</td>",     "</li>",    "</"};
  std::mt19937 Random(7);
  size_t Steps = 0;
  for (const auto& [File, Xml] : Pages) {
    std::string Text = test::Slurp(File);
    ASSERT_FALSE(Text.empty()) << File;
    TMLTree Tree = TMLTree::Build(Text, Xml);
    for (int Step = 0; Step < 300; ++Step, ++Steps) {
      // Most edits near one place, as typing makes them; some anywhere.
      const auto Start = static_cast<uint32_t>(Random() % (Text.size() + 1));
      const auto Removed = static_cast<uint32_t>(std::min<size_t>(Random() % 6, Text.size() - Start));
      std::string Inserted;
      for (int I = static_cast<int>(Random() % 3); I >= 0; --I)
        Inserted += Pieces[Random() % std::size(Pieces)];
      Text.replace(Start, Removed, Inserted);
      Tree = TMLTree::Rebuild(Tree, Text, Start, Start + Removed,
                              Start + static_cast<uint32_t>(Inserted.size()));
      const TMLTree Full = TMLTree::Build(Text, Xml);
      ASSERT_EQ(Tree.Nodes.size(), Full.Nodes.size()) << File << " step " << Step;
      for (size_t I = 0; I < Full.Nodes.size(); ++I)
        ASSERT_TRUE(Tree.Nodes[I] == Full.Nodes[I])
            << File << " step " << Step << " node " << I << "\n"
            << Describe(Tree.Nodes[I]) << "\n"
            << Describe(Full.Nodes[I]) << "\nedit at " << Start << " -" << Removed << " +" << Inserted.size();
      ASSERT_TRUE(Tree.Attributes == Full.Attributes) << File << " step " << Step;
      ASSERT_TRUE(Tree.Regions == Full.Regions) << File << " step " << Step;
      ASSERT_TRUE(Tree.References == Full.References) << File << " step " << Step;
      ASSERT_EQ(Tree.Xml, Full.Xml);
    }
  }
  EXPECT_EQ(Steps, 1500u);
}

}  // namespace
}  // namespace kel
