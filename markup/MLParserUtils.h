// The markup document model as every unit and other extensions see it: the
// interfaces of tags, attributes and text nodes, the enumerations shared by
// all markup code, the buffer-producer interfaces, and the small helpers the
// markup units share (name hash, identifiers, schema file lookup).
//
// Example: GetSchemaFileName("-//W3C//DTD HTML 4.01//EN", kmHTML) gives
// "<exe dir>/../schemas/strict.dtd"; Hash("TABLE") == Hash("table").
//
// The operation order of each interface is a contract with other extensions.
#pragma once

#include <cstdint>
#include <string>

#include "host/KelHostAPI.h"
#include "host/KelObjects.h"

namespace kel {

class TMLParser;

enum class TTagType {
  ttComment,
  ttAttribute,  // also a quoted string of a DOCTYPE
  ttOpen,
  ttClose,
  ttSingleLine,  // a tag ending in "/>"
  ttServerScript,
  ttProcessingInstruction,
  ttText,
  ttDocType,
  ttDirective  // an ASP.NET directive, "<%@ ... %>"
};

enum class TTagCase { tcNormal, tcLowerCase, tcUpperCase };

enum class TKibitzMode { kmHTML, kmXSL, kmWML, kmResX };

enum class TMLParserState { mlpsNone, mlpsParsing };

// Any node with a place in the document. Offsets are absolute byte offsets;
// 0 for an object not met in a document.
class IKelMLMarkupPos : public IInterface {
  KEL_INTERFACE(IKelMLMarkupPos, IInterface, "{99BCE3A1-BF8F-40FD-8B3F-B6707BAE0561}")
  // -1 for text nodes and placeholders.
  virtual int32_t GetID() = 0;
  virtual int32_t GetOffsetEnd() = 0;
  virtual int32_t GetOffsetStart() = 0;
  virtual void SetOffsetEnd(int32_t Value) = 0;
  virtual void SetOffsetStart(int32_t Value) = 0;
};

class IKelMLTextNode : public IKelMLMarkupPos {
  KEL_INTERFACE(IKelMLTextNode, IKelMLMarkupPos, "{CE597066-8BDF-4C01-8281-FD15D1166161}")
  virtual void SetText(const std::string& Value) = 0;
  // Comment: between its marks; script or processing instruction: between its
  // delimiters; text run: between two tags.
  virtual std::string GetText() = 0;
};

class IKelMLText : public IKelMLTextNode {
  KEL_INTERFACE(IKelMLText, IKelMLTextNode, "{E8129A0F-8307-4278-977F-D2CEA1F80014}")
};

class IKelMLComment : public IKelMLTextNode {
  KEL_INTERFACE(IKelMLComment, IKelMLTextNode, "{85B1143F-BC12-4398-B60E-3B34AAFE7D52}")
};

// Server scripts and processing instructions share one identity and one set
// of operations, so they are one C++ type: a query for either succeeds on both
// node kinds, and the TTagType reported with a node tells them apart.
class IKelMLServerScript : public IKelMLTextNode {
  KEL_INTERFACE(IKelMLServerScript, IKelMLTextNode, "{705FFD5A-E56C-4AE3-8022-F79AB873FA85}")
};
using IKelMLProcessingInstruction = IKelMLServerScript;

// An attribute with the values the schema allows (an enumeration, a type
// keyword such as CDATA, or an editor entry such as "color..."), kept sorted,
// and a filter range over them that completion narrows as the user types.
class IKelMLTagAttribute : public IKelMLMarkupPos {
  KEL_INTERFACE(IKelMLTagAttribute, IKelMLMarkupPos, "{9D90964C-E7BD-419E-B9B7-FEB2D9871FE5}")
  virtual int32_t GetAttributeValueStartOffset() = 0;
  virtual void SetAttributeValueStartOffset(int32_t Value) = 0;
  virtual std::string GetName() = 0;
  virtual bool GetRequired() = 0;
  virtual bool GetFixed() = 0;
  virtual void SetFixed(bool Value) = 0;
  virtual std::string GetFixedValue() = 0;
  virtual void SetFixedValue(const std::string& Value) = 0;
  virtual void SetRequired(bool Value) = 0;
  // Values in the current filter range.
  virtual int32_t GetCount() = 0;
  // Value Index of the current range; empty out of range.
  virtual std::string GetValue(int32_t Index) = 0;
  // Replaces value Index of the whole list.
  virtual void SetValue(int32_t Index, const std::string& Value) = 0;
  virtual void AddValue(const std::string& Value) = 0;
  virtual void SetFilter(const std::string& Filter) = 0;
  // Index relative to the range of the first value beginning with Prefix; -1 if none.
  virtual int32_t FindSymbol(const std::string& Prefix) = 0;
  virtual std::string GetFilter() = 0;
};

class IKelMLTagAttributeEvent : public IKelMLTagAttribute {
  KEL_INTERFACE(IKelMLTagAttributeEvent, IKelMLTagAttribute, "{EB434E45-2B29-43B6-B30E-67983A23815E}")
};

class IKelMLUnknownTagAttribute : public IKelMLTagAttribute {
  KEL_INTERFACE(IKelMLUnknownTagAttribute, IKelMLTagAttribute, "{4FFAB803-9ABD-4765-9B00-3154F9E8505F}")
};

// A tag with its allowed children and its attributes, each a sorted list with
// a hash index by name, and one filter range over the children or, while the
// show-attributes flag is on, over the attributes.
class IKelMLTag : public IKelMLMarkupPos {
  KEL_INTERFACE(IKelMLTag, IKelMLMarkupPos, "{CE942B07-4A6C-4243-BE19-482490827D5E}")
  virtual TKelPtr<IKelMLTagAttribute> GetAttribute(int32_t Index) = 0;
  virtual int32_t GetStartIndex() = 0;
  virtual bool GetRequiresClosingTag() = 0;
  virtual bool GetRequiresOpeningTag() = 0;
  virtual TKelPtr<IKelMLTag> GetTags(int32_t Index) = 0;
  virtual int32_t GetTagCount() = 0;
  // GetTagCount less the custom elements the symbol manager added.
  virtual int32_t GetPureTagCount() = 0;
  virtual int32_t GetAttributeCount() = 0;
  // In the letter case of the current TTagCase.
  virtual std::string GetName() = 0;
  virtual bool GetEmpty() = 0;
  virtual std::string GetEntityName(int32_t Index) = 0;
  virtual int32_t GetEntityCount() = 0;
  virtual bool GetAny() = 0;
  virtual bool GetIsChild() = 0;
  virtual void SetIsChild(bool Value) = 0;
  virtual std::string GetFilter() = 0;
  virtual void SetFilter(const std::string& Filter) = 0;
  virtual TKelPtr<IKelMLTagAttribute> FindAttribute(const std::string& Name) = 0;
  virtual int32_t FindSymbol(const std::string& Prefix) = 0;
  virtual bool GetShowAttributes() = 0;
  virtual void SetShowAttributes(bool Value) = 0;
  virtual void AlphaSort() = 0;
  virtual void ClearTags() = 0;
  virtual void ClearAttrs() = 0;
  virtual void AddTag(IKelMLTag* Tag) = 0;
  virtual void RemoveTag(IKelMLTag* Tag) = 0;
  virtual void AddAttribute(IKelMLTagAttribute* Attr) = 0;
  virtual TKelPtr<IKelMLTagAttribute> RemoveAttribute(const std::string& Name) = 0;
  virtual TKelPtr<IKelMLTag> LookupTag(const std::string& Name) = 0;
};

// An element that the schema does not declare.
class IKelMLNamedTag : public IKelMLTag {
  KEL_INTERFACE(IKelMLNamedTag, IKelMLTag, "{09768F0E-F71A-4E35-864D-4F263B6E6C1C}")
  virtual void SetName(const std::string& Value) = 0;
};

class IKelMLDocTypeTag : public IKelMLNamedTag {
  KEL_INTERFACE(IKelMLDocTypeTag, IKelMLNamedTag, "{45CE7023-7C57-441A-A16E-5E30C27EF527}")
};

// An XSL element inserted by the symbol manager.
class IKelMLXSLTag : public IKelMLTag {
  KEL_INTERFACE(IKelMLXSLTag, IKelMLTag, "{E07634AD-EAD1-4C10-9BB1-6EA33FD1DA99}")
};

class IKelMLCustomTag : public IInterface {
  KEL_INTERFACE(IKelMLCustomTag, IInterface, "{1CD5106F-C8A1-4F93-9B7B-19C8C06A9588}")
  // For a closing tag offered for completion: the line of the element's start tag.
  virtual int32_t GetLineNumber() = 0;
  virtual void SetLineNumber(int32_t Value) = 0;
};

class IKelMLClosingTag : public IKelMLCustomTag {
  KEL_INTERFACE(IKelMLClosingTag, IKelMLCustomTag, "{291B4A0C-256E-44D1-A526-4F3D398DFDDF}")
};

class IKelMLWrapperTag : public IKelMLCustomTag {
  KEL_INTERFACE(IKelMLWrapperTag, IKelMLCustomTag, "{5BBC2174-4EE7-4050-9F46-78D1BF8F3441}")
};

// Implemented by clients of the parser (TMLParser::AddCallback). When every
// registered callback sets Handled for a node, the parser stops scanning.
class IKelMLElementCallback : public IInterface {
  KEL_INTERFACE(IKelMLElementCallback, IInterface, "{4F012750-E32F-455B-990B-6A5A322AB507}")
  virtual void ElementParsed(TMLParser* Sender, IKelMLMarkupPos* Node, TTagType TagType, int32_t StartOffset,
                             int32_t EndOffset, bool& Handled) = 0;
  virtual void Invalidate() = 0;
};

// A value editor attached to an attribute.
class IKelMLEditor : public IInterface {
  KEL_INTERFACE(IKelMLEditor, IInterface, "{78A18929-8C73-4EDF-AFC3-FA1221615D64}")
  // Context is the attribute being edited; Index selects a value of it.
  virtual bool Execute(IInterface* Context, int32_t Index) = 0;
  virtual int32_t RelativeMoveCaretPos() = 0;
  virtual bool InvokeCodeCompletion() = 0;
  virtual std::string GetValue() = 0;
};

// Declared for other extensions; nothing here implements or queries it.
class IKelCSSProvider : public IInterface {
  KEL_INTERFACE(IKelCSSProvider, IInterface, "{BAC8CBAB-149B-4091-A378-1200CD66535D}")
};

// Hands out a document in zero-terminated chunks of at most 16384 bytes, each
// cut after its last whitespace, with absolute offsets.
class IMLBufferProducer : public IInterface {
  KEL_INTERFACE(IMLBufferProducer, IInterface, "{D60B4BB1-E995-4135-807F-4120C250E14A}")
  // Reads the next chunk; true when it holds at least one byte.
  virtual bool FillBuffer() = 0;
  // True when the last fill delivered data (not "at the end"). Spelled so
  // because EOF is a macro of the C library.
  virtual bool Eof() = 0;
  // Absolute offset of the byte at P, a pointer into the current chunk.
  virtual int32_t BufferOffset(const char* P) = 0;
  // Pointer to byte Offset of the current chunk; null at or past its end.
  virtual const char* BufferAtOffset(int32_t Offset) = 0;
};

class IMLBufferProducerInternal : public IMLBufferProducer {
  KEL_INTERFACE(IMLBufferProducerInternal, IMLBufferProducer, "{E6C5FFD2-9355-466A-9BDE-1914051626DB}")
  // Null unless the producer was made on an edit view.
  virtual TKelPtr<IKelEditView> GetEditView() = 0;
  // The next fill reads from Offset on (a chunk boundary of an earlier read).
  virtual void Seek(int32_t Offset) = 0;
};

// The chunk size of every buffer producer.
inline constexpr int32_t MLBufferSize = 16384;

// Sum of the name's bytes, each OR 32, modulo 256: names that differ only in
// ASCII letter case fall into the same of 256 chains.
uint8_t Hash(const std::string& S);

// Numbers schema tags and attributes from 0, process-wide.
int32_t NewID();

// False for the attribute type keywords of a DTD (case-sensitive).
bool IdentIsNotDTDType(const std::string& Ident);

// "uri..." and "color..." (any case) in a value list mark an attribute that a
// value editor fills.
bool IdentIsAttributeEditor(const std::string& Ident);

// Full path of the schema file for a DOCTYPE public or system identifier.
std::string GetSchemaFileName(const std::string& Identifier, TKibitzMode Mode);
// A DTD a document names by a relative path, in Folder (the document's own)
// or below it: no absolute path, no "..", no scheme, nothing that leaves
// Folder through a link. Empty when there is no such regular file.
std::string LocalSchemaFile(const std::string& Identifier, const std::string& Folder);

// Whether the table of public identifiers names a schema for this one.
bool IsKnownPublicIdentifier(const std::string& Identifier);

// The folder "schemas" beside the executable's folder, with a trailing separator.
std::string GetSchemaFolder();

// Class-column captions (two trailing blanks each).
inline constexpr const char* SElement = "Element  ";
inline constexpr const char* SAttribute = "Attribute  ";

}  // namespace kel
