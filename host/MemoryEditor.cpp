#include "host/MemoryEditor.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <tuple>

namespace kel {

namespace {

int32_t ClampTo(int64_t V, int64_t Lo, int64_t Hi) { return static_cast<int32_t>(std::clamp(V, Lo, Hi)); }

TKelEditPos EditPosOf(const TKelCharPos& P) {
  return {P.CharIndex < std::numeric_limits<int32_t>::max() ? P.CharIndex + 1 : P.CharIndex, P.Line};
}

bool IsIdentifierByte(char C) {
  const auto U = static_cast<unsigned char>(C);
  return U >= 0x80 || U == '_' || (U >= '0' && U <= '9') || (U >= 'a' && U <= 'z') || (U >= 'A' && U <= 'Z');
}

}  // namespace

// ---- Document -----------------------------------------------------------------

TMemoryDocument::TMemoryDocument(std::string Text, std::string FileName)
    : FText(std::move(Text)), FFileName(std::move(FileName)) {
  RebuildLines();
}

void TMemoryDocument::SetText(std::string Text) {
  FText = std::move(Text);
  RebuildLines();
  FUndo.clear();
  FPending = {};
  FPendingStep = 0;
  ++FRevision;
  ForEachMark([this](int32_t& M) { M = ClampOffset(M); });
}

void TMemoryDocument::RebuildLines() {
  // Stored once, not copied as growing arrays double: a large page's index.
  const size_t Breaks = static_cast<size_t>(std::count(FText.begin(), FText.end(), '\n'));
  FLineStarts.clear();
  FLineStarts.reserve(Breaks + 2);
  FLineStarts.push_back(0);
  // From break to break at memchr's pace: a new view of a large page is
  // made for every request of the language server.
  const char* Data = FText.data();
  const size_t N = FText.size();
  const auto Find = [Data, N](char C, size_t From) {
    const void* P = From < N ? std::memchr(Data + From, C, N - From) : nullptr;
    return P ? static_cast<size_t>(static_cast<const char*>(P) - Data) : N;
  };
  size_t Lf = Find('\n', 0), Cr = Find('\r', 0);
  for (;;) {
    size_t I = std::min(Lf, Cr);
    if (I >= N) break;
    if (I == Cr && I + 1 < N && Data[I + 1] == '\n') ++I;
    FLineStarts.push_back(static_cast<int32_t>(I + 1));
    if (Lf <= I) Lf = Find('\n', I + 1);
    if (Cr <= I) Cr = Find('\r', I + 1);
  }
}

int32_t TMemoryDocument::BreakBefore(int32_t Start) const {
  const auto S = static_cast<size_t>(Start);
  return S >= 2 && FText[S - 1] == '\n' && FText[S - 2] == '\r' ? 2 : 1;
}

size_t TMemoryDocument::BreaksBefore(int32_t Offset, int32_t TextDelta) const {
  // Starts up to the offset follow breaks that begin before it; so does the
  // one after a CR LF whose CR stands just before it.
  size_t Count = static_cast<size_t>(std::upper_bound(FLineStarts.begin(), FLineStarts.end(), Offset) -
                                     FLineStarts.begin()) -
                 1;
  if (Count + 1 < FLineStarts.size() && FLineStarts[Count + 1] == Offset + 1 &&
      BreakBefore(Offset + 1 + TextDelta) == 2)
    ++Count;
  return Count;
}

int32_t TMemoryDocument::LineStart(int32_t Line) const {
  return FLineStarts[static_cast<size_t>(ClampTo(Line, 1, LineCount()) - 1)];
}

int32_t TMemoryDocument::LineEnd(int32_t Line) const {
  // Where the next line starts, less its break: one index for a large page, not two.
  const int32_t L = ClampTo(Line, 1, LineCount());
  if (L == LineCount()) return Size();
  const int32_t Next = FLineStarts[static_cast<size_t>(L)];
  return Next - BreakBefore(Next);
}

int32_t TMemoryDocument::LineOf(int32_t Offset) const {
  const auto It = std::upper_bound(FLineStarts.begin(), FLineStarts.end(), Offset);
  return std::max<int32_t>(1, static_cast<int32_t>(It - FLineStarts.begin()));
}

int32_t TMemoryDocument::ClampOffset(int64_t Offset) const {
  const int32_t O = ClampTo(Offset, 0, Size());
  const auto U = static_cast<size_t>(O);
  if (O > 0 && O < Size() && FText[U - 1] == '\r' && FText[U] == '\n') return O - 1;
  return O;
}

TKelCharPos TMemoryDocument::CharPosOf(int32_t Offset) const {
  const int32_t O = ClampOffset(Offset);
  const int32_t Line = LineOf(O);
  return {O - LineStart(Line), Line};
}

int32_t TMemoryDocument::OffsetOf(int64_t Line, int64_t CharIndex, bool* Exact) const {
  const int32_t L = ClampTo(Line, 1, LineCount());
  const int32_t Start = LineStart(L);
  const int32_t Index = ClampTo(CharIndex, 0, LineEnd(L) - Start);
  if (Exact) *Exact = L == Line && Index == CharIndex;
  return Start + Index;
}

template <class F>
void TMemoryDocument::ForEachMark(F&& Fn) {
  Fn(FMarks.Caret);
  for (auto& M : FMarks.SavedPositions) Fn(M);
  // Unset block ends stay unset.
  auto Block = [&Fn](int32_t& M) {
    if (M >= 0) Fn(M);
  };
  Block(FMarks.BlockBegin);
  Block(FMarks.BlockEnd);
  for (auto& [B, E] : FMarks.SavedBlocks) {
    Block(B);
    Block(E);
  }
}

// Only the lines from the one before the edit to the first that starts two
// bytes after it are read again (a CR LF may straddle either end); the rest
// move by the size difference. An edit costs the lines, not the bytes.
// Only the breaks near the edit can change: from the character before it
// (a CR that an inserted LF joins) to the one after it (an LF that a CR at
// the end of the insertion takes). Scanning whole lines made every keystroke
// on a 4 MB line cost 4 MB.
void TMemoryDocument::UpdateLines(int32_t Offset, int32_t Count, int32_t Added) {
  const int32_t Delta = Added - Count;
  const int32_t N = Size();
  const int32_t From = std::max(Offset - 1, 0);
  const int32_t OldTo = std::min(Offset + Count + 2, N - Delta);  // in the text before the edit
  const int32_t NewTo = std::min(Offset + Added + 2, N);
  // The breaks that begin in the window, by their index: before it the text
  // is as it was; after it, it moved by the size difference.
  const size_t Lo = BreaksBefore(From, 0);
  const size_t Hi = BreaksBefore(OldTo, Delta);
  std::vector<int32_t> Starts;
  int32_t I = From;
  // The LF of a CR LF before the window belongs to that break.
  if (I > 0 && FText[static_cast<size_t>(I)] == '\n' && FText[static_cast<size_t>(I) - 1] == '\r') ++I;
  for (; I < NewTo; ++I) {
    const char C = FText[static_cast<size_t>(I)];
    if (C != '\r' && C != '\n') continue;
    if (C == '\r' && I + 1 < N && FText[static_cast<size_t>(I) + 1] == '\n') ++I;
    Starts.push_back(I + 1);
  }
  for (size_t L = Hi + 1; L < FLineStarts.size(); ++L) FLineStarts[L] += Delta;
  const auto At = [](size_t X) { return static_cast<std::ptrdiff_t>(X); };
  FLineStarts.erase(FLineStarts.begin() + At(Lo) + 1, FLineStarts.begin() + At(Hi) + 1);
  FLineStarts.insert(FLineStarts.begin() + At(Lo) + 1, Starts.begin(), Starts.end());
}

void TMemoryDocument::Apply(int32_t Offset, int32_t Count, std::string_view Inserted) {
  if (!FTrials.empty())
    FJournal.push_back({Offset, FText.substr(static_cast<size_t>(Offset), static_cast<size_t>(Count)),
                        std::string(Inserted)});
  // A large document grows by a little, not to twice its size (what the
  // string's own growth does), as it is typed into.
  const auto At = static_cast<size_t>(Offset), Removed = static_cast<size_t>(Count);
  if (const size_t Size = FText.size() - Removed + Inserted.size(); Size > FText.capacity()) {
    std::string Grown;
    Grown.reserve(Size + Size / 32 + 4096);
    Grown.append(FText, 0, At).append(Inserted).append(FText, At + Removed);
    FText.swap(Grown);
  } else {
    FText.replace(At, Removed, Inserted);
  }
  const int32_t Added = static_cast<int32_t>(Inserted.size());
  UpdateLines(Offset, Count, Added);
  ++FRevision;
  ForEachMark([&](int32_t& M) {
    if (M < Offset) return;
    M = M <= Offset + Count ? Offset + Added : M - Count + Added;
    M = ClampOffset(M);
  });
}

void TMemoryDocument::Replace(int64_t Step, int32_t Offset, int32_t Count, std::string_view Inserted) {
  const int32_t At = ClampTo(Offset, 0, Size());
  const int32_t N = ClampTo(Count, 0, Size() - At);
  if (N == 0 && Inserted.empty()) return;
  if (Step != FPendingStep) {
    FlushStep();
    FPendingStep = Step;
    FPending.CaretBefore = FMarks.Caret;
  }
  FPending.Edits.push_back(
      {At, FText.substr(static_cast<size_t>(At), static_cast<size_t>(N)), std::string(Inserted)});
  Apply(At, N, Inserted);
}

void TMemoryDocument::Edit(int32_t Offset, int32_t Count, std::string_view Inserted) {
  const int32_t At = ClampTo(Offset, 0, Size());
  const int32_t N = ClampTo(Count, 0, Size() - At);
  if (N > 0 || !Inserted.empty()) Apply(At, N, Inserted);
}

void TMemoryDocument::FlushStep() {
  if (!FPending.Edits.empty()) FUndo.push_back(std::move(FPending));
  FPending = {};
  FPendingStep = 0;
}

void TMemoryDocument::CloseStep(int64_t Step) {
  if (Step == FPendingStep) FlushStep();
}

bool TMemoryDocument::Undo() {
  FlushStep();
  if (FUndo.empty()) return false;
  const TStep Step = std::move(FUndo.back());
  FUndo.pop_back();
  for (auto It = Step.Edits.rbegin(); It != Step.Edits.rend(); ++It)
    Apply(It->Offset, static_cast<int32_t>(It->Inserted.size()), It->Removed);
  FMarks.Caret = ClampOffset(Step.CaretBefore);
  return true;
}

void TMemoryDocument::BeginTrial() {
  FTrials.push_back({FJournal.size(), FMarks, FUndo.size(), FPending, FPendingStep, FRevision,
                     FCommands.size(), FRepaintCount});
}

TMemoryTrial TMemoryDocument::EndTrial() {
  TMemoryTrial R;
  if (FTrials.empty()) return R;
  TTrial Trial = std::move(FTrials.back());
  FTrials.pop_back();
  // The window that holds every edit, in the text as it is now (Start, End)
  // and as it was (Start, OldEnd): what lies outside it never moved.
  int32_t Start = 0, End = 0, OldEnd = 0;
  for (size_t I = 0; I < FJournal.size(); ++I) {
    const TEdit& E = FJournal[I];
    const auto Removed = static_cast<int32_t>(E.Removed.size());
    const auto Inserted = static_cast<int32_t>(E.Inserted.size());
    if (I == 0) {
      Start = E.Offset;
      End = E.Offset + Inserted;
      OldEnd = E.Offset + Removed;
      continue;
    }
    const int32_t Low = std::min(Start, E.Offset), High = std::max(End, E.Offset + Removed);
    OldEnd += High - End;
    Start = Low;
    End = High + Inserted - Removed;
  }
  R.Start = Start;
  R.OldEnd = OldEnd;
  R.NewText = FText.substr(static_cast<size_t>(Start), static_cast<size_t>(End - Start));
  R.Caret = FMarks.Caret;
  R.Commands.assign(FCommands.begin() + static_cast<std::ptrdiff_t>(Trial.Commands), FCommands.end());
  for (size_t I = FJournal.size(); I-- > Trial.Journal;) {
    const TEdit& E = FJournal[I];
    FText.replace(static_cast<size_t>(E.Offset), E.Inserted.size(), E.Removed);
    UpdateLines(E.Offset, static_cast<int32_t>(E.Inserted.size()), static_cast<int32_t>(E.Removed.size()));
  }
  // Edits that wrote what stood change nothing; once an outer trial wrote
  // something (the list's opening), every row's edit carries it.
  R.Changed =
      Trial.Journal > 0 ||
      (!FJournal.empty() && R.NewText != std::string_view(FText).substr(static_cast<size_t>(Start),
                                                                        static_cast<size_t>(OldEnd - Start)));
  FJournal.resize(Trial.Journal);
  FMarks = std::move(Trial.Marks);
  if (FUndo.size() > Trial.UndoSize) FUndo.resize(Trial.UndoSize);
  FPending = std::move(Trial.Pending);
  FPendingStep = Trial.PendingStep;
  FRevision = Trial.Revision;
  FCommands.resize(Trial.Commands);
  FRepaintCount = Trial.Repaints;
  return R;
}

int32_t TMemoryDocument::UndoCount() const {
  return static_cast<int32_t>(FUndo.size()) + (FPending.Edits.empty() ? 0 : 1);
}

// ---- Interface objects ------------------------------------------------------------

namespace {

class TMemoryEditPosition : public TKelInterfaced<IKelEditPosition> {
 public:
  explicit TMemoryEditPosition(std::shared_ptr<TMemoryDocument> Doc) : FDoc(std::move(Doc)) {}

  bool BackspaceDelete(int32_t Count) override {
    const int32_t At = Pos();
    const int32_t From = ClampTo(static_cast<int64_t>(At) - Count, 0, At);
    if (From == At) return false;
    const int64_t Step = FDoc->OpenStep();
    FDoc->Replace(Step, From, At - From, {});
    FDoc->CloseStep(Step);
    return true;
  }
  int32_t GetColumn() override { return FDoc->CharPosOf(Pos()).CharIndex + 1; }
  int32_t GetRow() override { return FDoc->CharPosOf(Pos()).Line; }
  bool InsertCharacter(char Character) override {
    // A NUL would cut the text short for every reader that expects a terminator.
    if (Character == '\0') return false;
    const int64_t Step = FDoc->OpenStep();
    FDoc->Replace(Step, Pos(), 0, std::string_view(&Character, 1));
    FDoc->CloseStep(Step);
    return true;
  }
  // False when the place does not exist; the position then goes to the nearest one.
  bool Move(int32_t Line, int32_t Column) override { return MoveTo(Line, Column); }
  bool MoveEOL() override {
    Pos() = FDoc->LineEnd(FDoc->LineOf(Pos()));
    return true;
  }
  bool MoveRelative(int32_t Rows, int32_t Columns) override {
    const TKelCharPos At = FDoc->CharPosOf(Pos());
    return MoveTo(static_cast<int64_t>(At.Line) + Rows, static_cast<int64_t>(At.CharIndex) + 1 + Columns);
  }
  void Save() override { FDoc->Marks().SavedPositions.push_back(Pos()); }
  void Restore() override {
    auto& Saved = FDoc->Marks().SavedPositions;
    if (Saved.empty()) return;
    Pos() = FDoc->ClampOffset(Saved.back());
    Saved.pop_back();
  }
  std::string RipText(const TKelCharSet& Chars, int32_t Flags) override {
    const bool Backward = (Flags & kelRipBackward) != 0;
    const bool StopSet = (Flags & kelRipToStopSet) == kelRipToStopSet;
    const std::string& Text = FDoc->Text();
    const int32_t At = Pos();
    const int32_t Line = FDoc->LineOf(At);
    auto Takes = [&](int32_t I) { return InSet(Chars, Text[static_cast<size_t>(I)]) != StopSet; };
    int32_t From = At, To = At;
    if (Backward) {
      const int32_t Start = FDoc->LineStart(Line);
      while (From > Start && Takes(From - 1)) --From;
    } else {
      const int32_t End = FDoc->LineEnd(Line);
      while (To < End && Takes(To)) ++To;
    }
    return Text.substr(static_cast<size_t>(From), static_cast<size_t>(To - From));
  }

 private:
  int32_t& Pos() { return FDoc->Marks().Caret; }
  bool MoveTo(int64_t Line, int64_t Column) {
    bool Exact = false;
    Pos() = FDoc->OffsetOf(Line, Column - 1, &Exact);
    return Exact;
  }

  std::shared_ptr<TMemoryDocument> FDoc;
};

class TMemoryEditBlock : public TKelInterfaced<IKelEditBlock> {
 public:
  explicit TMemoryEditBlock(std::shared_ptr<TMemoryDocument> Doc) : FDoc(std::move(Doc)) {}

  void BeginBlock() override { FDoc->Marks().BlockBegin = FDoc->Marks().Caret; }
  void EndBlock() override { FDoc->Marks().BlockEnd = FDoc->Marks().Caret; }
  std::string GetText() override {
    const auto& M = FDoc->Marks();
    if (M.BlockBegin < 0 || M.BlockEnd < 0) return {};
    const auto [From, To] = std::minmax(M.BlockBegin, M.BlockEnd);
    return FDoc->Text().substr(static_cast<size_t>(From), static_cast<size_t>(To - From));
  }
  void Save() override {
    auto& M = FDoc->Marks();
    M.SavedBlocks.emplace_back(M.BlockBegin, M.BlockEnd);
  }
  void Restore() override {
    auto& M = FDoc->Marks();
    if (M.SavedBlocks.empty()) return;
    std::tie(M.BlockBegin, M.BlockEnd) = M.SavedBlocks.back();
    M.SavedBlocks.pop_back();
  }

 private:
  std::shared_ptr<TMemoryDocument> FDoc;
};

class TMemoryEditReader : public TKelInterfaced<IKelEditReader> {
 public:
  explicit TMemoryEditReader(std::shared_ptr<TMemoryDocument> Doc) : FDoc(std::move(Doc)) {}

  int32_t GetText(int32_t Offset, char* Buffer, int32_t Count) override {
    const int32_t Size = FDoc->Size();
    if (!Buffer || Count <= 0 || Offset < 0 || Offset >= Size) return 0;
    const int32_t N = std::min(Count, Size - Offset);
    std::memcpy(Buffer, FDoc->Text().data() + Offset, static_cast<size_t>(N));
    return N;
  }

 private:
  std::shared_ptr<TMemoryDocument> FDoc;
};

// Walks the text as it was when made. Once anything else changes the text the
// original offsets mean nothing any more, so the writer then ignores its calls.
class TMemoryEditWriter : public TKelInterfaced<IKelEditWriter> {
 public:
  explicit TMemoryEditWriter(std::shared_ptr<TMemoryDocument> Doc)
      : FDoc(std::move(Doc)), FStep(FDoc->OpenStep()), FRevision(FDoc->Revision()), FSize(FDoc->Size()) {}
  ~TMemoryEditWriter() override { FDoc->CloseStep(FStep); }

  void CopyTo(int32_t Pos) override {
    if (Live()) FPos = std::max(FPos, std::min(Pos, FSize));
  }
  void DeleteTo(int32_t Pos) override {
    if (!Live()) return;
    const int32_t To = std::min(Pos, FSize);
    if (To <= FPos) return;
    Edit(To - FPos, {});
    FDelta -= To - FPos;
    FPos = To;
  }
  void Insert(const char* Text) override {
    if (!Live() || !Text) return;
    const std::string_view S(Text);
    Edit(0, S);
    FDelta += static_cast<int32_t>(S.size());
  }
  int32_t GetCurrentPos() override { return FPos; }

 private:
  bool Live() const { return FDoc->Revision() == FRevision; }
  void Edit(int32_t Count, std::string_view Inserted) {
    FDoc->Replace(FStep, FPos + FDelta, Count, Inserted);
    FRevision = FDoc->Revision();
  }

  std::shared_ptr<TMemoryDocument> FDoc;
  int64_t FStep;
  uint64_t FRevision;
  int32_t FSize;
  int32_t FPos = 0;
  // Current offset minus original offset at the writer's position.
  int32_t FDelta = 0;
};

class TMemoryEditBuffer : public TKelInterfaced<IKelEditBuffer, IKelSourceEditor> {
 public:
  explicit TMemoryEditBuffer(std::shared_ptr<TMemoryDocument> Doc) : FDoc(std::move(Doc)) {}

  TKelPtr<IKelEditReader> CreateReader() override { return MakeKel<TMemoryEditReader>(FDoc); }
  TKelPtr<IKelEditWriter> CreateUndoableWriter() override { return MakeKel<TMemoryEditWriter>(FDoc); }
  std::string GetFileName() override { return FDoc->FileName(); }

 private:
  std::shared_ptr<TMemoryDocument> FDoc;
};

}  // namespace

// ---- View -----------------------------------------------------------------------

TMemoryEditView::TMemoryEditView(std::string Text, std::string FileName)
    : FDoc(std::make_shared<TMemoryDocument>(std::move(Text), std::move(FileName))),
      FPosition(MakeKel<TMemoryEditPosition>(FDoc)),
      FBlock(MakeKel<TMemoryEditBlock>(FDoc)),
      FBuffer(MakeKel<TMemoryEditBuffer>(FDoc)) {}

TKelEditPos TMemoryEditView::GetCursorPos() { return EditPosOf(FDoc->CharPosOf(FDoc->Marks().Caret)); }

void TMemoryEditView::SetCursorPos(const TKelEditPos& Pos) {
  FDoc->Marks().Caret = FDoc->OffsetOf(Pos.Line, static_cast<int64_t>(Pos.Col) - 1);
}

TKelCharPos TMemoryEditView::PosToCharPos(int32_t Offset) { return FDoc->CharPosOf(Offset); }

int32_t TMemoryEditView::CharPosToPos(const TKelCharPos& CharPos) {
  return FDoc->OffsetOf(CharPos.Line, CharPos.CharIndex);
}

void TMemoryEditView::ConvertPos(bool EdPosToCharPos, TKelEditPos& EditPos, TKelCharPos& CharPos) {
  if (EdPosToCharPos)
    CharPos = FDoc->CharPosOf(FDoc->OffsetOf(EditPos.Line, static_cast<int64_t>(EditPos.Col) - 1));
  else
    EditPos = EditPosOf(FDoc->CharPosOf(FDoc->OffsetOf(CharPos.Line, CharPos.CharIndex)));
}

void TMemoryEditView::SetCaretOffset(int32_t Offset) { FDoc->Marks().Caret = FDoc->ClampOffset(Offset); }

void TMemoryEditView::InsertText(std::string_view Text, bool Replace) {
  const std::string& S = FDoc->Text();
  const int32_t Caret = FDoc->Marks().Caret;
  int32_t From = Caret;
  if (Replace)
    while (From > 0 && IsIdentifierByte(S[static_cast<size_t>(From) - 1])) --From;
  const int64_t Step = FDoc->OpenStep();
  FDoc->Replace(Step, From, Caret - From, Text);
  FDoc->CloseStep(Step);
}

TKelPtr<TMemoryEditView> MakeMemoryEditView(std::string Text, std::string FileName) {
  return MakeKel<TMemoryEditView>(std::move(Text), std::move(FileName));
}

}  // namespace kel
