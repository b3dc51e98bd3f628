#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "host/MemoryEditor.h"
#include "tests/support/Annotated.h"

namespace kel {
namespace {

using test::Annotate;
using test::Mark;

// Line 1 "ab" CR LF, line 2 "éx" LF, line 3 empty with a lone CR, line 4 "y"
// CR, line 5 "last" without a break.
const std::string Mixed = "ab\r\n\xC3\xA9x\n\ry\rlast";

void PlacePosition(TMemoryEditView& View, int32_t Offset) {
  const TKelCharPos P = View.PosToCharPos(Offset);
  View.GetPosition()->Move(P.Line, P.CharIndex + 1);
}

int32_t PositionOffset(TMemoryEditView& View) {
  auto P = View.GetPosition();
  return View.CharPosToPos({P->GetColumn() - 1, P->GetRow()});
}

// The caret and the edit position both start at the marker.
TKelPtr<TMemoryEditView> ViewOn(std::string_view Marked) {
  const auto A = Annotate(Marked);
  auto View = MakeMemoryEditView(A.Text, "page.html");
  if (A.Caret >= 0) {
    View->SetCaretOffset(A.Caret);
    PlacePosition(*View, A.Caret);
  }
  return View;
}

std::string WithCaret(const TMemoryEditView& View) { return Mark(View.Text(), View.CaretOffset()); }
std::string WithPosition(TMemoryEditView& View) { return Mark(View.Text(), PositionOffset(View)); }

TKelCharSet SetOf(std::string_view Chars) {
  TKelCharSet S;
  for (char C : Chars) Include(S, static_cast<unsigned char>(C));
  return S;
}

// ---- Positions ----------------------------------------------------------------

TEST(MemoryEditorPositions, OffsetToCharPosAndBack) {
  struct TCase {
    int32_t Offset;
    TKelCharPos Expected;
    int32_t BackTo;  // the offset the char position converts back to
  };
  const TCase Cases[] = {
      {0, {0, 1}, 0}, {2, {2, 1}, 2},                    // end of line 1's content
      {3, {2, 1}, 2},                                    // between CR and LF
      {4, {0, 2}, 4}, {5, {1, 2}, 5},                    // inside the two-byte character
      {6, {2, 2}, 6}, {7, {3, 2}, 7},   {8, {0, 3}, 8},  // the empty line
      {9, {0, 4}, 9}, {10, {1, 4}, 10}, {11, {0, 5}, 11}, {15, {4, 5}, 15}, {99, {4, 5}, 15}, {-5, {0, 1}, 0},
  };
  auto View = MakeMemoryEditView(Mixed);
  for (const auto& C : Cases) {
    const TKelCharPos P = View->PosToCharPos(C.Offset);
    EXPECT_EQ(P, C.Expected) << "offset " << C.Offset;
    EXPECT_EQ(View->CharPosToPos(P), C.BackTo) << "offset " << C.Offset;
  }
}

// Edits update the line table in place; after any edit, breaks included
// (CR LF split or joined at either end), every offset has the position a
// view made from the text afresh gives it.
TEST(MemoryEditorPositions, EditsKeepTheLinesOfTheTextAfresh) {
  std::mt19937 Random(7);
  const std::string Pieces[] = {"", "a", "\r", "\n", "\r\n", "x\ry", "\n\n", "\r\r\n", "long line text"};
  auto View = MakeMemoryEditView(Mixed);
  for (int Step = 0; Step < 400; ++Step) {
    const int32_t Size = static_cast<int32_t>(View->Text().size());
    const int32_t At = static_cast<int32_t>(Random() % static_cast<unsigned>(Size + 1));
    const int32_t Count = std::min<int32_t>(static_cast<int32_t>(Random() % 4), Size - At);
    const std::string& Piece = Pieces[Random() % std::size(Pieces)];
    {
      auto W = View->GetBuffer()->CreateUndoableWriter();
      W->CopyTo(At);
      W->DeleteTo(At + Count);
      W->Insert(Piece.c_str());
    }
    if (Step % 5 == 4) View->Undo();
    const auto Fresh = MakeMemoryEditView(View->Text());
    for (int32_t O = 0; O <= static_cast<int32_t>(View->Text().size()); ++O) {
      const TKelCharPos Got = View->PosToCharPos(O), Want = Fresh->PosToCharPos(O);
      ASSERT_TRUE(Got.Line == Want.Line && Got.CharIndex == Want.CharIndex)
          << "step " << Step << " offset " << O << " in " << testing::PrintToString(View->Text());
      // Past a line's end: before its break.
      const std::string& T = View->Text();
      const size_t Break = T.find_first_of("\r\n", static_cast<size_t>(View->CharPosToPos({0, Got.Line})));
      ASSERT_EQ(View->CharPosToPos({1 << 30, Got.Line}), Break == T.npos ? T.size() : Break)
          << "step " << Step << " line " << Got.Line << " in " << testing::PrintToString(T);
    }
  }
}

TEST(MemoryEditorPositions, ColumnsOfMinifiedLinesRoundTrip) {
  auto View = MakeMemoryEditView("ab\n" + std::string(250000, 'x'));
  View->SetCaretOffset(3 + 240000);
  EXPECT_EQ(View->GetCursorPos(), (TKelEditPos{240001, 2}));
  View->SetCursorPos({200000, 2});
  EXPECT_EQ(View->CaretOffset(), 3 + 199999);
  PlacePosition(*View, 3 + 250000);
  EXPECT_EQ(View->GetPosition()->GetColumn(), 250001);
}

// ---- Edit position ---------------------------------------------------------------

TEST(MemoryEditorEditPosition, MovesWithClamping) {
  struct TCase {
    const char* Name;
    int32_t Line, Col;  // absolute; 0/0 with Relative for MoveRelative
    bool Relative;
    bool Eol;
    int32_t FromOffset;
    int32_t Expected;
    bool Returns;
  };
  const TCase Cases[] = {
      {"inside", 2, 2, false, false, 0, 5, true},
      {"past the line", 1, 7, false, false, 0, 2, false},
      {"past the last line", 8, 2, false, false, 0, 12, false},
      {"column 0", 4, 0, false, false, 0, 9, false},
      {"end of line 2", 0, 0, false, true, 4, 7, true},
      {"end of the last line", 0, 0, false, true, 12, 15, true},
      {"end of the empty line", 0, 0, false, true, 8, 8, true},
      {"one down one right", 1, 1, true, false, 0, 5, true},
      {"down onto the empty line", 1, 0, true, false, 7, 8, false},
      {"left of the line", 0, -5, true, false, 6, 4, false},
      {"up from the first line", -1, 0, true, false, 1, 1, false},
  };
  auto View = MakeMemoryEditView(Mixed);
  auto P = View->GetPosition();
  for (const auto& C : Cases) {
    PlacePosition(*View, C.FromOffset);
    const bool R = C.Eol        ? P->MoveEOL()
                   : C.Relative ? P->MoveRelative(C.Line, C.Col)
                                : P->Move(C.Line, C.Col);
    EXPECT_EQ(PositionOffset(*View), C.Expected) << C.Name;
    EXPECT_EQ(R, C.Returns) << C.Name;
  }
  EXPECT_EQ(View->CaretOffset(), PositionOffset(*View)) << "the edit position is the caret";
}

TEST(MemoryEditorEditPosition, RipText) {
  const TKelCharSet Letters = SetOf("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
  const TKelCharSet Blanks = SetOf("\t ");
  struct TCase {
    const char* Marked;
    bool LettersSet;
    int32_t Flags;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"<a hr|ef>", true, kelRipBackward, "hr"},
      {"<a hr|ef>", true, kelRipForward, "ef"},
      {"<a x=\"1\"|", false, kelRipBackToBlank, "x=\"1\""},
      {"<a\tx=\"1\"|", false, kelRipBackToBlank, "x=\"1\""},
      {"<a x=\"1\" |", false, kelRipBackToBlank, ""},
      {"|abc", true, kelRipBackward, ""},
      {"|abc", true, kelRipForward, "abc"},
      {"abc|", true, kelRipForward, ""},
      {"abc|", true, kelRipBackward, "abc"},
      {"|", true, kelRipForward, ""},
      // Runs stop at the line, whatever the break.
      {"ab\n|cd", true, kelRipBackward, ""},
      {"ab\r\n|cd", true, kelRipBackward, ""},
      {"ab\r|cd", true, kelRipBackward, ""},
      {"ab|\r\ncd", true, kelRipForward, ""},
      {"ab|\rcd", true, kelRipForward, ""},
      {"ab|\ncd", true, kelRipBackward, "ab"},
      {"x y\nab=1|\n", false, kelRipBackToBlank, "ab=1"},
      {"|ab cd", false, kelRipToStopSet, "ab"},
      {"a\xC3\xA9|b", true, kelRipBackward, ""},
  };
  for (const auto& C : Cases) {
    auto View = ViewOn(C.Marked);
    const int32_t Before = PositionOffset(*View);
    EXPECT_EQ(View->GetPosition()->RipText(C.LettersSet ? Letters : Blanks, C.Flags), C.Expected)
        << C.Marked << " flags " << C.Flags;
    EXPECT_EQ(PositionOffset(*View), Before) << C.Marked;
  }
}

TEST(MemoryEditorEditPosition, BackspaceDelete) {
  struct TCase {
    const char* Marked;
    int32_t Count;
    const char* Expected;
    bool Returns;
  };
  const TCase Cases[] = {
      {"ab|c", 1, "a|c", true},    {"ab|c", 2, "|c", true},       {"ab|c", 5, "|c", true},
      {"|abc", 1, "|abc", false},  {"ab|c", 0, "ab|c", false},    {"ab|c", -2, "ab|c", false},
      {"a\r\n|b", 2, "a|b", true}, {"x\xC3\xA9|", 2, "x|", true},
  };
  for (const auto& C : Cases) {
    auto View = ViewOn(C.Marked);
    EXPECT_EQ(View->GetPosition()->BackspaceDelete(C.Count), C.Returns) << C.Marked << " " << C.Count;
    EXPECT_EQ(WithPosition(*View), C.Expected) << C.Marked << " " << C.Count;
    EXPECT_EQ(View->UndoCount(), C.Returns ? 1 : 0) << C.Marked << " " << C.Count;
    View->Undo();
    EXPECT_EQ(WithCaret(*View), C.Marked) << C.Marked << " " << C.Count;
  }
}

// ---- Block -----------------------------------------------------------------------

TEST(MemoryEditorBlock, TextBetweenTheEnds) {
  auto View = MakeMemoryEditView("<td>\n<a href>");
  auto P = View->GetPosition();
  auto B = View->GetBlock();
  EXPECT_EQ(B->GetText(), "");
  P->Move(1, 2);
  B->BeginBlock();
  EXPECT_EQ(B->GetText(), "") << "only one end set";
  P->Move(2, 3);
  B->EndBlock();
  EXPECT_EQ(B->GetText(), "td>\n<a");
  B->Save();
  // Ends in reverse order read the same way.
  B->BeginBlock();
  P->Move(2, 1);
  B->EndBlock();
  EXPECT_EQ(B->GetText(), "<a");
  B->Restore();
  EXPECT_EQ(B->GetText(), "td>\n<a");
  B->Restore();  // empty: stays
  EXPECT_EQ(B->GetText(), "td>\n<a");
}

// ---- Reader ------------------------------------------------------------------------

TEST(MemoryEditorReader, CopiesAtMostCountFromTheCurrentText) {
  struct TCase {
    int32_t Offset, Count;
    const char* Expected;
  };
  const TCase Cases[] = {
      {0, 4, "0123"}, {5, 3, "567"}, {8, 4, "89"}, {9, 1, "9"}, {10, 4, ""},
      {11, 1, ""},    {-1, 3, ""},   {3, 0, ""},   {3, -2, ""},
  };
  auto View = MakeMemoryEditView("0123456789");
  auto Reader = View->GetBuffer()->CreateReader();
  for (const auto& C : Cases) {
    std::string Buffer(16, '#');
    const int32_t N = Reader->GetText(C.Offset, Buffer.data(), C.Count);
    const std::string Expected = C.Expected;
    EXPECT_EQ(N, static_cast<int32_t>(Expected.size())) << C.Offset << "/" << C.Count;
    EXPECT_EQ(Buffer, Expected + std::string(16 - Expected.size(), '#')) << C.Offset << "/" << C.Count;
  }
  EXPECT_EQ(Reader->GetText(0, nullptr, 4), 0);

  View->SetText("ab");
  char Two[2] = {'#', '#'};
  EXPECT_EQ(Reader->GetText(1, Two, 2), 1);
  EXPECT_EQ(Two[0], 'b');
  EXPECT_EQ(Two[1], '#');
}

// ---- Writer ------------------------------------------------------------------------

enum class TOpKind { Copy, Delete, Insert };
struct TOp {
  TOpKind Kind;
  int32_t Pos = 0;
  const char* Text = nullptr;
};
TOp CopyTo(int32_t P) { return {TOpKind::Copy, P}; }
TOp DeleteTo(int32_t P) { return {TOpKind::Delete, P}; }
TOp Insert(const char* T) { return {TOpKind::Insert, 0, T}; }

void RunOps(IKelEditWriter& W, const std::vector<TOp>& Ops) {
  for (const auto& Op : Ops) switch (Op.Kind) {
      case TOpKind::Copy:
        W.CopyTo(Op.Pos);
        break;
      case TOpKind::Delete:
        W.DeleteTo(Op.Pos);
        break;
      case TOpKind::Insert:
        W.Insert(Op.Text);
        break;
    }
}

TEST(MemoryEditorWriter, EditsTheOriginalTextAndUndoesInOneStep) {
  struct TCase {
    const char* Marked;
    std::vector<TOp> Ops;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"<a hr|", {CopyTo(3), DeleteTo(5), Insert("href")}, "<a href|"},
      {"<p>|old</p>", {CopyTo(3), DeleteTo(6), Insert("new")}, "<p>new|</p>"},
      {"ab cd|", {CopyTo(1), Insert("X"), DeleteTo(2)}, "aX cd|"},
      // Backward moves do nothing.
      {"abcdef|", {CopyTo(4), DeleteTo(2), Insert("-"), CopyTo(1), DeleteTo(5)}, "abcd-f|"},
      {"ab|", {DeleteTo(99), Insert("z")}, "z|"},
      {"a|b", {CopyTo(1), Insert(nullptr), Insert("")}, "a|b"},
      {"|x\r\ny", {CopyTo(1), DeleteTo(3), Insert("\n")}, "|x\ny"},
      {"<b>|</b>", {CopyTo(3), Insert("<i>"), Insert("</i>")}, "<b><i></i>|</b>"},
      {"1|2", {CopyTo(99), Insert("3")}, "1|23"},
      {"\xC3\xA9t\xC3\xA9|", {CopyTo(2), DeleteTo(3), Insert("T")}, "\xC3\xA9T\xC3\xA9|"},
  };
  for (const auto& C : Cases) {
    auto View = ViewOn(C.Marked);
    const bool Changes = std::string(C.Marked) != C.Expected;
    {
      auto W = View->GetBuffer()->CreateUndoableWriter();
      RunOps(*W, C.Ops);
      EXPECT_EQ(WithCaret(*View), C.Expected) << C.Marked << " (before release)";
    }
    EXPECT_EQ(WithCaret(*View), C.Expected) << C.Marked;
    EXPECT_EQ(View->UndoCount(), Changes ? 1 : 0) << C.Marked;
    EXPECT_EQ(View->Undo(), Changes) << C.Marked;
    EXPECT_EQ(WithCaret(*View), C.Marked) << C.Marked << " (undone)";
    EXPECT_FALSE(View->Undo()) << C.Marked;
  }
}

TEST(MemoryEditorWriter, GoesQuietOnceSomethingElseChangesTheText) {
  auto View = ViewOn("ab|");
  auto W = View->GetBuffer()->CreateUndoableWriter();
  W->Insert("1");
  View->InsertText("2", false);
  W->Insert("3");  // its offsets no longer match the text
  W->DeleteTo(2);
  W.reset();
  EXPECT_EQ(WithCaret(*View), "1ab2|");
  EXPECT_EQ(View->UndoCount(), 2);
  ASSERT_TRUE(View->Undo());
  EXPECT_EQ(WithCaret(*View), "1ab|");
  ASSERT_TRUE(View->Undo());
  EXPECT_EQ(WithCaret(*View), "ab|");
}

TEST(MemoryEditorWriter, UndoWhileOpenTakesItsEditsSoFar) {
  auto View = ViewOn("ab|");
  auto W = View->GetBuffer()->CreateUndoableWriter();
  W->Insert("x");
  EXPECT_EQ(View->UndoCount(), 1);
  ASSERT_TRUE(View->Undo());
  W->Insert("y");
  W.reset();
  EXPECT_EQ(WithCaret(*View), "ab|");
  EXPECT_EQ(View->UndoCount(), 0);
}

// ---- Marks ---------------------------------------------------------------------------

TEST(MemoryEditorMarks, FollowTheText) {
  struct TCase {
    const char* Marked;
    int32_t At, Count;
    const char* Inserted;
    const char* Expected;  // caret, which the edit position must match
  };
  const TCase Cases[] = {
      {"abc|def", 1, 0, "XY", "aXYbc|def"},  // insertion before
      {"abc|def", 3, 0, "XY", "abcXY|def"},  // insertion at
      {"abc|def", 4, 0, "XY", "abc|dXYef"},  // insertion after
      {"abcde|f", 1, 2, "", "ade|f"},        // deletion before
      {"abcd|ef", 2, 3, "", "ab|f"},         // deletion covering
      {"ab|cdef", 2, 3, "", "ab|f"},         // deletion starting at
      {"abcde|f", 2, 3, "", "ab|f"},         // deletion ending at
      {"a|bcdef", 2, 3, "", "a|bf"},         // deletion after
      {"a|\nb", 1, 0, "\r", "a|\r\nb"},      // never between CR and LF
  };
  for (const auto& C : Cases) {
    auto View = ViewOn(C.Marked);
    {
      auto W = View->GetBuffer()->CreateUndoableWriter();
      W->CopyTo(C.At);
      W->DeleteTo(C.At + C.Count);
      W->Insert(C.Inserted);
    }
    EXPECT_EQ(WithCaret(*View), C.Expected) << C.Marked;
    EXPECT_EQ(WithPosition(*View), C.Expected) << C.Marked;
  }
}

TEST(MemoryEditorMarks, BlockEndsAndSavedPositionsFollowToo) {
  auto View = MakeMemoryEditView("0123456789");
  auto P = View->GetPosition();
  auto B = View->GetBlock();
  P->Move(1, 2);
  B->BeginBlock();
  P->Move(1, 8);
  B->EndBlock();
  P->Save();
  P->Move(1, 10);
  {
    auto W = View->GetBuffer()->CreateUndoableWriter();
    W->CopyTo(3);
    W->DeleteTo(5);
    W->Insert("ab");
    W->CopyTo(8);
    W->DeleteTo(9);
  }
  EXPECT_EQ(View->Text(), "012ab5679");
  EXPECT_EQ(B->GetText(), "12ab56");
  EXPECT_EQ(PositionOffset(*View), 8);
  P->Restore();
  EXPECT_EQ(PositionOffset(*View), 7);
}

// ---- View ------------------------------------------------------------------------------

// A trial's net change comes from its edits, counted from the text before
// the outermost trial; the text, the caret and the undo steps come back.
TEST(MemoryEditorView, TrialsTellTheirNetChangeAndTakeItBack) {
  struct TStepEdit {
    int32_t At, Count;
    const char* Text;
  };
  const struct {
    const char* Name;
    std::vector<TStepEdit> Outer, Inner;
    const char* Expected;  // the text with the net change in [brackets]
    bool Changed;
  } Cases[] = {
      {"one insertion", {}, {{3, 0, "XY"}}, "abc[XY]defgh", true},
      {"edits apart join into one window", {}, {{1, 1, ""}, {5, 0, "Z"}}, "a[cdefZ]gh", true},
      {"an edit before an earlier one", {}, {{5, 0, "Z"}, {1, 0, "Q"}}, "a[QbcdeZ]fgh", true},
      {"writing what stood", {}, {{2, 2, "cd"}}, "ab[cd]efgh", false},
      {"the opening's edit is part of the row's", {{4, 0, "\"\""}}, {{5, 0, "v"}}, "abcd[\"v\"]efgh", true},
      {"a row that writes nothing still carries the opening", {{4, 0, "="}}, {}, "abcd[=]efgh", true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto View = MakeMemoryEditView("abcdefgh");
    View->SetCaretOffset(2);
    const auto Apply = [&View](const std::vector<TStepEdit>& Edits) {
      for (const auto& E : Edits) {
        auto W = View->GetBuffer()->CreateUndoableWriter();
        W->CopyTo(E.At);
        W->DeleteTo(E.At + E.Count);
        W->Insert(E.Text);
      }
    };
    View->BeginTrial();
    Apply(C.Outer);
    const std::string Opened = View->Text();
    View->BeginTrial();
    Apply(C.Inner);
    const TMemoryTrial T = View->EndTrial();
    EXPECT_EQ(View->Text(), Opened) << "the inner trial goes back to the opened text";
    View->EndTrial();
    EXPECT_EQ(View->Text(), "abcdefgh");
    EXPECT_EQ(View->CaretOffset(), 2);
    EXPECT_EQ(View->UndoCount(), 0);
    EXPECT_EQ(T.Changed, C.Changed);
    if (T.Changed || !C.Inner.empty()) {
      std::string Marked = "abcdefgh";
      Marked.replace(static_cast<size_t>(T.Start), static_cast<size_t>(T.OldEnd - T.Start),
                     "[" + T.NewText + "]");
      EXPECT_EQ(Marked, C.Expected);
    }
  }
}

TEST(MemoryEditorView, InsertText) {
  struct TCase {
    const char* Marked;
    const char* Text;
    bool Replace;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"<a hr|", "href", true, "<a href|"},
      {"<a hr|", "href", false, "<a hrhref|"},
      {"<a hr|ef>", "title", true, "<a title|ef>"},
      {"<td>\xC3\xA9t|", "x", true, "<td>x|"},
      {"a_1|", "z", true, "z|"},
      {"x\nab|", "q", true, "x\nq|"},
      {"<|", "b", true, "<b|"},
      {"|", "html", true, "html|"},
      {"|", "", true, "|"},
      {"a-b|c", "", true, "a-|c"},
  };
  for (const auto& C : Cases) {
    auto View = ViewOn(C.Marked);
    View->InsertText(C.Text, C.Replace);
    EXPECT_EQ(WithCaret(*View), C.Expected) << C.Marked << " " << C.Text;
    const bool Changes = Annotate(C.Marked).Text != Annotate(C.Expected).Text;
    EXPECT_EQ(View->UndoCount(), Changes ? 1 : 0) << C.Marked;
    View->Undo();
    EXPECT_EQ(WithCaret(*View), C.Marked) << C.Marked << " (undone)";
  }
}

TEST(MemoryEditorView, SetTextForgetsUndoAndClampsTheMarks) {
  auto View = ViewOn("abcdef|");
  View->InsertText("g", false);
  View->SetText("ab\r\nc");
  EXPECT_EQ(View->UndoCount(), 0);
  EXPECT_FALSE(View->Undo());
  EXPECT_EQ(WithCaret(*View), "ab\r\nc|");
  EXPECT_EQ(WithPosition(*View), "ab\r\nc|");
  View->SetText("ab\r\n");
  EXPECT_EQ(View->CaretOffset(), 4);
}

TEST(MemoryEditorView, ObjectsOutliveTheView) {
  TKelPtr<IKelEditWriter> W;
  TKelPtr<IKelEditReader> R;
  TKelPtr<IKelEditPosition> P;
  {
    auto View = MakeMemoryEditView("abc");
    W = View->GetBuffer()->CreateUndoableWriter();
    R = View->GetBuffer()->CreateReader();
    P = View->GetPosition();
  }
  W->CopyTo(1);
  W->Insert("x");
  P->MoveEOL();
  EXPECT_EQ(P->GetColumn(), 5);
  char Buf[4] = {};
  EXPECT_EQ(R->GetText(0, Buf, 4), 4);
  EXPECT_EQ(std::string(Buf, 4), "axbc");
}

}  // namespace
}  // namespace kel
