// The language server in real editors' clients (headless Neovim, Emacs with
// eglot): attached as the README says, asked for completion, the chosen item
// applied as the client applies it. Each case is the buffer before ('|' the
// cursor) and after.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TestHost.h"

namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& S) { return "'" + S + "'"; }

using kel::test::Slurp;

struct TEditorRun {
  int Status = -1;
  std::string Buffer, Err;
};

enum class TEditor { Neovim, Eglot };

// Opens Marked (without its '|') as File in the editor, types Keys at the
// '|', then completes there and applies the item called Label (none when
// empty); the buffer as the editor leaves it.
TEditorRun RunEditor(TEditor Editor, const std::string& Marked, const std::string& File,
                     const std::string& Label, const std::string& Keys = "",
                     const std::string& Script = "complete") {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-editor-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  const size_t Caret = Marked.find('|');
  const std::string Text = Marked.substr(0, Caret) + Marked.substr(Caret + 1);
  std::ofstream(Dir / File, std::ios::binary) << Text;
  const size_t LineStart = Text.rfind('\n', Caret == 0 ? 0 : Caret - 1);
  const size_t Line =
      static_cast<size_t>(std::count(Text.begin(), Text.begin() + static_cast<long>(Caret), '\n'));
  const size_t Column = Caret - (LineStart == std::string::npos || Caret == 0 ? 0 : LineStart + 1);
  const std::string Env = "cd " + Quote(Dir.string()) + " && XDG_CONFIG_HOME=" + Quote(Dir.string()) +
                          " MLI_EXE=" + Quote(MLINSIGHT_EXE) + " MLI_FILE=" + Quote(File) +
                          " MLI_LINE=" + std::to_string(Line) + " MLI_COL=" + std::to_string(Column) +
                          " MLI_LABEL=" + Quote(Label) + " MLI_TYPE=" + Quote(Keys) +
                          " MLI_RECIPE=" + Quote(MLINSIGHT_SOURCE_DIR "/editors/neovim.lua") +
                          " MLI_DELETE=" + Quote(Keys) + " MLI_OUT=out timeout 60 ";
  const std::string Cmd =
      Env +
      (Editor == TEditor::Neovim
           ? "nvim --headless -u NONE -i NONE -n -c " +
                 Quote("luafile " MLINSIGHT_SOURCE_DIR "/tests/lsp/nvim/" + Script + ".lua")
           : "emacs --batch -Q -l " + Quote(MLINSIGHT_SOURCE_DIR "/tests/lsp/emacs/complete.el")) +
      " >/dev/null 2>err";
  const int Raw = std::system(Cmd.c_str());
  TEditorRun R;
  R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  R.Buffer = Slurp(Dir / "out");
  R.Err = Slurp(Dir / "err");
  fs::remove_all(Dir);
  return R;
}

std::string Page500K() {
  std::string Body;
  while (Body.size() < 500 * 1024)
    Body +=
        "<div class=\"row\"><p>Text with <em>some</em> words &amp; a <a href=\"#x\">link</a>.</p></div>\n";
  return "<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n" + Body;
}

TEST(Neovim, AcceptedItemsLeaveTheBufferAsTheEngineWritesIt) {
  const std::string H5 = "<!DOCTYPE html>\n<html><body>";
  const struct {
    const char* Name;
    std::string Marked;
    const char* File;
    const char* Label;
    std::string Expected;
  } Cases[] = {
      {"element", H5 + "<sec|", "page.html", "section", H5 + "<section"},
      {"attribute", H5 + "<p><a hr|", "page.html", "href", H5 + "<p><a href=\"\""},
      {"value", H5 + "<input type=|", "page.html", "email", H5 + "<input type=\"email\""},
      {"entity", H5 + "<p>&nbs|", "page.html", "&nbsp;", H5 + "<p>&nbsp;"},
      {"closing tag", H5 + "<div><span>x</|", "page.html", "</span>", H5 + "<div><span>x</span>"},
      {"style sheet property", "a { colo|", "site.css", "color", "a { color:"},
      {"style inside a page", H5 + "<p style=\"colo|\">", "page.html", "color", H5 + "<p style=\"color:\">"},
      {"an element before a <", H5 + "<p>|<span>x</span>", "page.html", "br", H5 + "<p><br<span>x</span>"},
      {"a server control after <asp:", "<%@ Page %>\n<html><body><form><asp:|", "default.aspx", "asp:Label",
       "<%@ Page %>\n<html><body><form><asp:Label"},
      // The recipe's file types (Neovim names none for .aspx and .resx).
      {"an SVG file", "<svg xmlns=\"http://www.w3.org/2000/svg\"><cir|", "pic.svg", "circle",
       "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle"},
      {"a WML deck", "<wml><ca|", "deck.wml", "card", "<wml><card"},
      {"a resource file", "<root><da|", "Strings.resx", "data", "<root><data"},
      {"an XHTML page", "<html><bo|", "page.xhtml", "body", "<html><body"},
      {"a 500 KB page", Page500K() + "<p><a hr|", "large.html", "href", Page500K() + "<p><a href=\"\""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TEditorRun R = RunEditor(TEditor::Neovim, C.Marked, C.File, C.Label);
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Buffer, C.Expected);
  }
}

// The problems show as the page is opened and follow a change: deleting the
// misspelt attribute leaves the missing alt.
TEST(Neovim, DiagnosticsFollowTheChanges) {
  const std::string Page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<p><img src=\"a\" hreff=\"x\"></p>|";
  const TEditorRun R = RunEditor(TEditor::Neovim, Page, "page.html", "", "1:15:25", "diagnostics");
  ASSERT_EQ(R.Status, 0) << R.Err;
  EXPECT_EQ(R.Buffer, "missing-attribute 1:4\nunknown-attribute 1:16\n--\nmissing-attribute 1:4");
}

// Emacs with eglot takes "&am" as the word typed and applies on-type edits
// with the caret after them.
TEST(Eglot, EntitiesAndValuesAsTheUserTypesThem) {
  const std::string H5 = "<!DOCTYPE html>\n<html><body>";
  const struct {
    const char* Name;
    std::string Marked;
    const char *File, *Keys, *Label;
    std::string Expected;
  } Cases[] = {
      {"entity", H5 + "<p>&am|", "page.html", "", "&amp;", H5 + "<p>&amp;"},
      {"= then a value typed", H5 + "<p><a href|", "page.html", "=x", "", H5 + "<p><a href=x"},
      {"a listed value", H5 + "<input type=\"|\">", "page.html", "", "email", H5 + "<input type=\"email\">"},
      {"> after a start tag", H5 + "<ul|", "page.html", ">", "", H5 + "<ul>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TEditorRun R = RunEditor(TEditor::Eglot, C.Marked, C.File, C.Label, C.Keys);
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Buffer, C.Expected);
  }
}

}  // namespace
