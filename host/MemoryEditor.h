// The in-memory editor behind the host contract's editor objects: a UTF-8 text
// with a caret, an edit position, a block, readers and undoable writers, so that
// tests and our own front ends can run the engine on a string.
//
// Example: on MakeMemoryEditView("<td>\n<a hr") with the caret at offset 10,
// GetCursorPos() is {Col 6, Line 2}; an undoable writer that copies to 8,
// deletes to 10 and inserts "href" leaves "<td>\n<a href", and one Undo()
// brings "<td>\n<a hr" back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/KelHostAPI.h"

namespace kel {

// Offsets that follow the text like markers: an insertion at or before one
// moves it right, a deletion that covers one moves it to the deletion's start.
// -1 marks a block end that is not set.
struct TMemoryMarks {
  // The view's edit position is the caret, as in the editors this mirrors:
  // moving one moves the other.
  int32_t Caret = 0;
  std::vector<int32_t> SavedPositions;
  int32_t BlockBegin = -1;
  int32_t BlockEnd = -1;
  std::vector<std::pair<int32_t, int32_t>> SavedBlocks;
};

// What a trial wrote: the old text's [Start, OldEnd) became NewText, and the
// caret stood at Caret (an offset of the text as the trial left it).
struct TMemoryTrial {
  bool Changed = false;
  int32_t Start = 0;
  int32_t OldEnd = 0;
  std::string NewText;
  int32_t Caret = 0;
  std::vector<int32_t> Commands;  // executed during the trial
};

// What the view and all its interface objects share. Offsets are bytes from 0;
// line numbers are from 1. Every offset argument is clamped, never trusted.
class TMemoryDocument {
 public:
  explicit TMemoryDocument(std::string Text = {}, std::string FileName = {});

  const std::string& Text() const { return FText; }
  int32_t Size() const { return static_cast<int32_t>(FText.size()); }
  const std::string& FileName() const { return FFileName; }
  // Replaces the whole text; forgets the undo steps and clamps the marks.
  void SetText(std::string Text);

  int32_t LineCount() const { return static_cast<int32_t>(FLineStarts.size()); }
  int32_t LineStart(int32_t Line) const;
  // Where the line's content ends, before its line break.
  int32_t LineEnd(int32_t Line) const;
  int32_t LineOf(int32_t Offset) const;
  // Into 0..Size; an offset between the CR and LF of a CR LF goes before the CR.
  int32_t ClampOffset(int64_t Offset) const;
  TKelCharPos CharPosOf(int32_t Offset) const;
  // Clamps to the line's content and to the existing lines; Exact (when given)
  // tells whether no clamping was needed.
  int32_t OffsetOf(int64_t Line, int64_t CharIndex, bool* Exact = nullptr) const;

  // Edits are made under a step; edits under one step are undone together.
  // A step stays open until closed or until an edit under another step.
  int64_t OpenStep() { return ++FLastStep; }
  void CloseStep(int64_t Step);
  // Replaces Count bytes at Offset with Inserted (both clamped to the text).
  void Replace(int64_t Step, int32_t Offset, int32_t Count, std::string_view Inserted);
  // The same, as a change made elsewhere (a client's): nothing to undo.
  void Edit(int32_t Offset, int32_t Count, std::string_view Inserted);
  // Reverts the last step and puts the caret back where it stood before it.
  bool Undo();
  int32_t UndoCount() const;
  // Changes with every edit, undo and SetText.
  uint64_t Revision() const { return FRevision; }

  TMemoryMarks& Marks() { return FMarks; }
  const TMemoryMarks& Marks() const { return FMarks; }

  void CountRepaint() { ++FRepaintCount; }
  int32_t RepaintCount() const { return FRepaintCount; }
  void AddCommand(int32_t Command) { FCommands.push_back(Command); }
  const std::vector<int32_t>& Commands() const { return FCommands; }

  // Edits from BeginTrial on are tried: EndTrial tells their net change, found
  // from the edits themselves, and puts the text, the marks, the undo steps
  // and the commands back as they were at its BeginTrial. Trials nest: the
  // net change an inner one tells counts from where the outermost began, so
  // what opening a list wrote and what a row writes make one edit of the
  // text before both. A trial does not undo.
  void BeginTrial();
  TMemoryTrial EndTrial();

 private:
  struct TEdit {
    int32_t Offset = 0;
    std::string Removed;
    std::string Inserted;
  };
  struct TStep {
    std::vector<TEdit> Edits;
    int32_t CaretBefore = 0;
  };

  void Apply(int32_t Offset, int32_t Count, std::string_view Inserted);
  void RebuildLines();
  void UpdateLines(int32_t Offset, int32_t Count, int32_t Added);
  // 2 if the line starting at Start follows a CR LF, else 1.
  int32_t BreakBefore(int32_t Start) const;
  // How many breaks begin before Offset; the text past Offset has moved by TextDelta.
  size_t BreaksBefore(int32_t Offset, int32_t TextDelta) const;
  void FlushStep();
  template <class F>
  void ForEachMark(F&& Fn);

  std::string FText;
  std::string FFileName;
  std::vector<int32_t> FLineStarts;
  TMemoryMarks FMarks;
  std::vector<TStep> FUndo;
  TStep FPending;
  int64_t FPendingStep = 0;
  int64_t FLastStep = 0;
  uint64_t FRevision = 0;
  int32_t FRepaintCount = 0;
  std::vector<int32_t> FCommands;
  struct TTrial {
    size_t Journal = 0;  // edits before this trial
    TMemoryMarks Marks;
    size_t UndoSize = 0;
    TStep Pending;
    int64_t PendingStep = 0;
    uint64_t Revision = 0;
    size_t Commands = 0;
    int32_t Repaints = 0;
  };
  std::vector<TTrial> FTrials;
  // Every edit since the outermost trial began.
  std::vector<TEdit> FJournal;
};

class TMemoryEditView : public TKelInterfaced<IKelEditView, IKelEditViewCommands> {
 public:
  explicit TMemoryEditView(std::string Text = {}, std::string FileName = {});

  // IKelEditView
  TKelEditPos GetCursorPos() override;
  void SetCursorPos(const TKelEditPos& Pos) override;
  TKelCharPos PosToCharPos(int32_t Offset) override;
  int32_t CharPosToPos(const TKelCharPos& CharPos) override;
  void ConvertPos(bool EdPosToCharPos, TKelEditPos& EditPos, TKelCharPos& CharPos) override;
  TKelPtr<IKelEditBlock> GetBlock() override { return FBlock; }
  TKelPtr<IKelEditBuffer> GetBuffer() override { return FBuffer; }
  TKelPtr<IKelEditPosition> GetPosition() override { return FPosition; }
  void Paint() override { FDoc->CountRepaint(); }

  // IKelEditViewCommands
  void ExecuteCommand(int32_t Command) override { FDoc->AddCommand(Command); }

  // For hosts and tests.
  const std::string& Text() const { return FDoc->Text(); }
  // Lines from 1, as the document keeps them through its edits.
  int32_t LineCount() const { return FDoc->LineCount(); }
  int32_t LineStart(int32_t Line) const { return FDoc->LineStart(Line); }
  int32_t LineOf(int32_t Offset) const { return FDoc->LineOf(Offset); }
  // Forgets the undo steps.
  void SetText(std::string Text) { FDoc->SetText(std::move(Text)); }
  int32_t CaretOffset() const { return FDoc->Marks().Caret; }
  void SetCaretOffset(int32_t Offset);
  // Replace true: the text replaces the identifier being typed before the caret
  // (ASCII letters, digits, '_' and bytes from 0x80); false: it goes in at the
  // caret. The caret ends after the text. One undo step.
  void InsertText(std::string_view Text, bool Replace);
  bool Undo() { return FDoc->Undo(); }
  int32_t UndoCount() const { return FDoc->UndoCount(); }
  int32_t RepaintCount() const { return FDoc->RepaintCount(); }
  const std::vector<int32_t>& Commands() const { return FDoc->Commands(); }
  const std::string& FileName() const { return FDoc->FileName(); }
  void Edit(int32_t Offset, int32_t Count, std::string_view Inserted) { FDoc->Edit(Offset, Count, Inserted); }
  void BeginTrial() { FDoc->BeginTrial(); }
  TMemoryTrial EndTrial() { return FDoc->EndTrial(); }

 private:
  std::shared_ptr<TMemoryDocument> FDoc;
  TKelPtr<IKelEditPosition> FPosition;
  TKelPtr<IKelEditBlock> FBlock;
  TKelPtr<IKelEditBuffer> FBuffer;
};

TKelPtr<TMemoryEditView> MakeMemoryEditView(std::string Text, std::string FileName = {});

}  // namespace kel
