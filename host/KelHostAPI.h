// The host contract: everything mlinsight asks of the editor that loads it —
// the code-completion framework that calls the two managers, the editor
// objects through which text is read and written, and the message, option and
// dialog services. Every other layer is written against this header only; the
// in-memory host (MemoryEditor, MemoryHost) and the front ends stand behind it.
//
// Example: GlobalKibitzManager()->GetCurrentEditView()->GetCursorPos() gives
// {Col 5, Line 2} when the caret stands after "<td>" on the second line.
//
// The operation order of every interface is the host's slot order. Operations
// marked "ours" follow the host's and exist for our own hosts.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "host/KelObjects.h"

namespace kel {

// An edit position: column then line, both from 1. The column is the 1-based
// byte index within the line (front ends convert from their own units). The
// column is as wide as the line: minified pages put 200,000 characters on one.
struct TKelEditPos {
  int32_t Col = 1;
  int32_t Line = 1;
  friend constexpr bool operator==(const TKelEditPos&, const TKelEditPos&) = default;
};

// A character position: 0-based byte index within the line, and the line from
// 1. Only passed between the edit view's conversion operations.
struct TKelCharPos {
  int32_t CharIndex = 0;
  int32_t Line = 1;
  friend constexpr bool operator==(const TKelCharPos&, const TKelCharPos&) = default;
};

// Set of 8-bit characters, as the host's token and read-run operations take.
using TKelCharSet = std::bitset<256>;
inline void Include(TKelCharSet& S, unsigned char C) { S.set(C); }
inline bool InSet(const TKelCharSet& S, char C) { return S.test(static_cast<unsigned char>(C)); }

enum class TKelInvokeType : int { itAuto = 0, itManual = 1, itTimer = 2 };
enum class TKelCodeInsightType : int {
  citNone = 0,
  citCodeInsight = 1,
  citParameterCodeInsight = 2,
  citBrowseCodeInsight = 3,
  citHintCodeInsight = 4
};
enum class TKelSortOrder : int { soAlpha = 0, soScope = 1 };

// Syntax element codes of the text under the caret, as the host reports them
// to GetCodeInsightType.
namespace TKelElement {
inline constexpr int WhiteSpace = 0;
inline constexpr int Comment = 1;
inline constexpr int Identifier = 3;
inline constexpr int Symbol = 4;
inline constexpr int String = 5;
// Embedded script, where "<" is an operator rather than a tag opener.
inline constexpr int Script = 22;
}  // namespace TKelElement

// Editor command that makes the host open code completion again.
inline constexpr int kelCommandInvokeCodeCompletion = 129;

// Read-run flags (IKelEditPosition::RipText).
inline constexpr int kelRipForward = 0;
inline constexpr int kelRipBackward = 0x100;
// Low nibble all set: the set names the characters that stop the run.
inline constexpr int kelRipToStopSet = 0x0F;
inline constexpr int kelRipBackToBlank = kelRipBackward | kelRipToStopSet;

struct TKelRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend constexpr bool operator==(const TKelRect&, const TKelRect&) = default;
};

// Colours are 0x00BBGGRR; system colours carry the high bit.
using TKelColor = uint32_t;
inline constexpr TKelColor kelColorBlue = 0x00FF0000;
inline constexpr TKelColor kelColorHighlightText = 0x8000000E;
inline constexpr TKelColor kelColorWindowText = 0x80000008;
inline constexpr int kelFontBold = 1;

// Where a list row is painted (the host's canvas).
class TKelCanvas {
 public:
  virtual ~TKelCanvas() = default;
  virtual std::string GetFontName() = 0;
  virtual void SetFontName(const std::string& Name) = 0;
  virtual TKelColor GetFontColor() = 0;
  virtual void SetFontColor(TKelColor Color) = 0;
  virtual int GetFontStyle() = 0;
  virtual void SetFontStyle(int Style) = 0;
  virtual void Refresh() = 0;
  // Single line, no prefix processing: the rectangle the text needs from R's top left.
  virtual TKelRect MeasureText(const std::u16string& Text, const TKelRect& R) = 0;
  // Draws Text at (X, Y), clipped to R.
  virtual void TextRect(const TKelRect& R, int32_t X, int32_t Y, const std::u16string& Text) = 0;
};

class IKelEditView;
class IKelEditReader;
class IKelEditWriter;

// ---- Editor -----------------------------------------------------------------

class IKelEditReader : public IInterface {
  KEL_INTERFACE(IKelEditReader, IInterface, "{FAA98624-980F-4327-9BCC-2221BB952BEB}")
  // Copies up to Count bytes from buffer offset Offset; returns how many.
  virtual int32_t GetText(int32_t Offset, char* Buffer, int32_t Count) = 0;
};

// An undoable writer walks the text as it was when the writer was made: copy
// (keep) up to an offset, delete up to an offset, insert. Offsets only grow.
// One writer is one undo step.
class IKelEditWriter : public IInterface {
  KEL_INTERFACE(IKelEditWriter, IInterface, "{E4FEC27F-3597-49CE-BF2C-AD6B65EC71CC}")
  virtual void CopyTo(int32_t Pos) = 0;
  virtual void DeleteTo(int32_t Pos) = 0;
  virtual void Insert(const char* Text) = 0;
  // ours: the offset in the original text the writer stands at.
  virtual int32_t GetCurrentPos() = 0;
};

class IKelEditBuffer : public IInterface {
  KEL_INTERFACE(IKelEditBuffer, IInterface, "{4AC297E3-C99D-4147-8421-B7EBC05B7EAE}")
  virtual TKelPtr<IKelEditReader> CreateReader() = 0;
  virtual TKelPtr<IKelEditWriter> CreateUndoableWriter() = 0;
  // ours
  virtual std::string GetFileName() = 0;
};

class IKelSourceEditor : public IInterface {
  KEL_INTERFACE(IKelSourceEditor, IInterface, "{278D5F1C-41A3-4110-ADA6-85BED18A1A66}")
  virtual TKelPtr<IKelEditReader> CreateReader() = 0;
  // ours
  virtual std::string GetFileName() = 0;
};

// The edit position of a view: the caret, moved and read character-wise.
class IKelEditPosition : public IInterface {
  KEL_INTERFACE(IKelEditPosition, IInterface, "{033A29A3-A46D-46B1-B8FB-D07AFBF6B217}")
  // Deletes Count bytes before the position (backspace).
  virtual bool BackspaceDelete(int32_t Count) = 0;
  virtual int32_t GetColumn() = 0;
  virtual int32_t GetRow() = 0;
  virtual bool InsertCharacter(char Character) = 0;
  virtual bool Move(int32_t Line, int32_t Column) = 0;
  virtual bool MoveEOL() = 0;
  virtual bool MoveRelative(int32_t Rows, int32_t Columns) = 0;
  virtual void Save() = 0;
  virtual void Restore() = 0;
  // The run of characters of Chars next to the position, within its line:
  // kelRipForward reads after it, kelRipBackward before it, and
  // kelRipBackToBlank reads back up to a character of Chars (the previous blank
  // when Chars is {tab, space}). The position does not move.
  virtual std::string RipText(const TKelCharSet& Chars, int32_t Flags) = 0;
};

class IKelEditBlock : public IInterface {
  KEL_INTERFACE(IKelEditBlock, IInterface, "{53DF6148-CA45-4C36-9016-37B54E01059D}")
  // Begin and end the block at the view's edit position.
  virtual void BeginBlock() = 0;
  virtual void EndBlock() = 0;
  virtual std::string GetText() = 0;
  virtual void Save() = 0;
  virtual void Restore() = 0;
};

class IKelEditView : public IInterface {
  KEL_INTERFACE(IKelEditView, IInterface, "{A78B62C3-E7B5-4690-B3B4-FCDB1E640647}")
  virtual TKelEditPos GetCursorPos() = 0;
  virtual void SetCursorPos(const TKelEditPos& Pos) = 0;
  virtual TKelCharPos PosToCharPos(int32_t Offset) = 0;
  virtual int32_t CharPosToPos(const TKelCharPos& CharPos) = 0;
  // EdPosToCharPos true: EditPos -> CharPos; false: CharPos -> EditPos.
  virtual void ConvertPos(bool EdPosToCharPos, TKelEditPos& EditPos, TKelCharPos& CharPos) = 0;
  virtual TKelPtr<IKelEditBlock> GetBlock() = 0;
  virtual TKelPtr<IKelEditBuffer> GetBuffer() = 0;
  virtual TKelPtr<IKelEditPosition> GetPosition() = 0;
  virtual void Paint() = 0;
};

class IKelEditViewCommands : public IInterface {
  KEL_INTERFACE(IKelEditViewCommands, IInterface, "{9A073F11-2732-D611-958B-00C04FA06AFC}")
  virtual void ExecuteCommand(int32_t Command) = 0;
};

// ---- Code-completion framework -------------------------------------------------

class IKelCodeInsightSymbolList : public IInterface {
  KEL_INTERFACE(IKelCodeInsightSymbolList, IInterface, "{4CA1CDFD-BD9A-4628-94AE-9BF3EB2DA22E}")
  virtual void Clear() = 0;
  virtual int32_t GetCount() = 0;
  virtual bool GetSymbolIsReadWrite(int32_t Index) = 0;
  virtual bool GetSymbolIsAbstract(int32_t Index) = 0;
  virtual int32_t GetViewerSymbolFlags(int32_t Index) = 0;
  virtual int32_t GetViewerVisibilityFlags(int32_t Index) = 0;
  virtual int32_t GetProcDispatchFlags(int32_t Index) = 0;
  virtual void SetSortOrder(TKelSortOrder Value) = 0;
  virtual TKelSortOrder GetSortOrder() = 0;
  virtual int32_t FindIdent(const std::string& Ident) = 0;
  virtual bool FindSymIndex(const std::string& Ident, int32_t& Index) = 0;
  virtual void SetFilter(const std::string& FilterText) = 0;
  virtual std::string GetSymbolText(int32_t Index) = 0;
  virtual std::string GetSymbolTypeText(int32_t Index) = 0;
  virtual std::string GetSymbolClassText(int32_t Index) = 0;
};

class IKelCodeInsightParameterList : public IInterface {
  KEL_INTERFACE(IKelCodeInsightParameterList, IInterface, "{54D8BF7C-5191-4665-866C-FC8171D08A03}")
};

class IKelCodeInsightManager : public IInterface {
  KEL_INTERFACE(IKelCodeInsightManager, IInterface, "{BA5B444A-6E78-4A79-BF05-E184C1132B30}")
  virtual std::string GetName() = 0;
  virtual std::string GetIDString() = 0;
  virtual bool GetEnabled() = 0;
  virtual void SetEnabled(bool Value) = 0;
  virtual TKelCharSet EditorTokenValidChars(bool PreValidating) = 0;
  virtual void AllowCodeInsight(bool& Allow, char Key) = 0;
  virtual bool PreValidateCodeInsight(const std::string& Str) = 0;
  virtual bool IsViewerBrowsable(int32_t Index) = 0;
  virtual bool GetMultiSelect() = 0;
  virtual TKelPtr<IKelCodeInsightSymbolList> GetSymbolList() = 0;
  virtual void OnEditorKey(char Key, bool& CloseViewer, bool& Accept) = 0;
  virtual bool HandlesFile(const std::string& AFileName) = 0;
  virtual std::string GetLongestItem() = 0;
  virtual TKelPtr<IKelCodeInsightParameterList> GetParameterList() = 0;
  virtual void GetCodeInsightType(char AChar, int32_t AElement, TKelCodeInsightType& CodeInsightType,
                                  TKelInvokeType& InvokeType) = 0;
  virtual bool InvokeCodeCompletion(TKelInvokeType HowInvoked, std::string& Str) = 0;
  virtual bool InvokeParameterCodeInsight(TKelInvokeType HowInvoked, int32_t& SelectedIndex) = 0;
  virtual void ParameterCodeInsightAnchorPos(TKelEditPos& EdPos) = 0;
  virtual int32_t ParameterCodeInsightParamIndex(const TKelEditPos& EdPos) = 0;
  virtual std::string GetHintText(int32_t HintLine, int32_t HintCol) = 0;
  virtual bool GotoDefinition(std::string& AFileName, int32_t& ALineNum, int32_t Index) = 0;
  virtual void Done(bool Accepted, bool& DisplayParams) = 0;
};

// ours: a manager whose Done can be tried. While planning, Done writes what
// accepting the row writes, but keeps the state of the open list (fix-ups,
// closing tags due) for the next row; the host takes the text back. One
// parse then tells every row's edit.
class IKelCodeInsightPlanning : public IInterface {
  KEL_INTERFACE(IKelCodeInsightPlanning, IInterface, "{AFE4F722-EF02-46E7-9934-8067A84EDFF2}")
  virtual void SetPlanning(bool Value) = 0;
};

// What a manager's list is about at the caret, in a word: "element",
// "attribute", "value", "entity", "closing" in markup; "property", "value",
// "pseudo-class"… in a sheet; "none" where it has no list.
class IKelCodeInsightPlace : public IInterface {
  KEL_INTERFACE(IKelCodeInsightPlace, IInterface, "{41744FA1-3020-4FDA-8AE6-74259AB64C70}")
  virtual std::string PlaceName() = 0;
};

class IKelCodeInsightItemPainter : public IInterface {
  KEL_INTERFACE(IKelCodeInsightItemPainter, IInterface, "{32CA7B43-9AFC-49CF-ABC9-7ECD772488D9}")
  virtual void PaintItem(int32_t Index, TKelCanvas& Canvas, TKelRect& Rect, bool DrawingHintText,
                         bool DoOutput, bool& DefaultDraw) = 0;
};

// The open completion list window.
class IKelCompletionListView : public IInterface {
  KEL_INTERFACE(IKelCompletionListView, IInterface, "{9825F938-1DD3-480B-9361-CC7505E40213}")
  // -1 when nothing is selected.
  virtual int32_t GetSelectedIndex() = 0;
  virtual std::string GetSelectedString() = 0;
};

class IKelCodeInsightServices : public IInterface {
  KEL_INTERFACE(IKelCodeInsightServices, IInterface, "{EE5C42A9-DBC8-4C5D-B28E-528024CBC97C}")
  // Null when no editor is active.
  virtual TKelPtr<IKelEditView> GetCurrentEditView() = 0;
  // Null when the list window is closed.
  virtual TKelPtr<IKelCompletionListView> GetCompletionListView() = 0;
  virtual int32_t GetCodeInsightManagerCount() = 0;
  virtual TKelPtr<IKelCodeInsightManager> GetCodeInsightManager(int32_t Index) = 0;
  virtual int32_t AddCodeInsightManager(IKelCodeInsightManager* Manager) = 0;
  virtual void RemoveCodeInsightManager(int32_t Index) = 0;
  // Replace true: the text replaces the identifier being typed before the
  // caret; false: it goes in at the caret. The caret ends after the text.
  virtual void InsertText(const std::string& Str, bool Replace) = 0;
};

// ---- Other services -------------------------------------------------------------

class IKelMessageServices : public IInterface {
  KEL_INTERFACE(IKelMessageServices, IInterface, "{B81DC43E-0705-43DA-8E39-8978E24EA6A9}")
  virtual void ClearToolMessages() = 0;
  virtual void ShowMessageView() = 0;
  virtual void AddToolMessage(const std::string& FileName, const std::string& MessageStr,
                              const std::string& PrefixStr, int32_t LineNumber, int32_t ColumnNumber) = 0;
};

class IKelHostServices : public IInterface {
  KEL_INTERFACE(IKelHostServices, IInterface, "{D30688AB-4CF8-4C4E-BCC8-5EEE99C13FDA}")
  // The path below which the package's options live ("\Code Insight", ...).
  virtual std::string GetBaseRegistryKey() = 0;
  // ours: the application's executable, links resolved.
  virtual std::string GetExecutableFileName() = 0;
  // ours: the options file that backs the registry.
  virtual std::string GetOptionsFileName() = 0;
};

struct TKelURLRequest {
  std::string InitialDir;
  std::string ModuleFileName;
};
// The unit dialog's content: a value field and a drop-down list of units.
struct TKelUnitRequest {
  std::string Caption = "Unit";
  std::string ValueLabel = "Value:";
  std::string InitialValue = "0";
  std::string UnitsLabel = "Units:";
  std::vector<std::string> Units;
  int32_t Selected = -1;  // the first unit when there is one
};
struct TKelFileOpenRequest {
  std::string InitialDir;
  std::string Filter;
  std::string Title;
};

// Modal dialogs and keyboard state; the host runs them its own way (a script in
// tests, a prompt in the terminal, a choice list in an editor).
class IKelDialogServices : public IInterface {
  KEL_INTERFACE(IKelDialogServices, IInterface, "{AA6E8519-9840-4782-9470-C001B547E86A}")
  // Each returns whether the user confirmed, and the answer in the out argument.
  virtual bool RunURLDialog(const TKelURLRequest& Request, std::string& URL) = 0;
  virtual bool RunColorDialog(std::string& Color) = 0;
  virtual bool RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) = 0;
  virtual bool IsControlKeyDown() = 0;
  // ours: the value's text and the index of the chosen unit (-1: none).
  virtual bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) = 0;
};

// The host's global services object; queried for the services above.
class IKelIDEServices : public IInterface {
  KEL_INTERFACE(IKelIDEServices, IInterface, "{B93BABEA-24A5-4F45-962D-2A8F5D3E92E4}")
};

// ---- Global accessors -------------------------------------------------------------

// The host instance the package talks to; null before a front end or test
// installs one.
TKelPtr<IKelIDEServices> QuorvelIDEServices();
TKelPtr<IKelCodeInsightServices> GlobalKibitzManager();
void SetQuorvelIDEServices(IKelIDEServices* Services);

// Shorthands for querying the installed host; null when it lacks the service.
TKelPtr<IKelMessageServices> KelMessageServices();
TKelPtr<IKelHostServices> KelHostServices();
TKelPtr<IKelDialogServices> KelDialogServices();

// The host's executable file name; empty without a host.
std::string KelApplicationExeName();

}  // namespace kel
