#include "markup/MLParser.h"

#include <algorithm>

#include "host/KelStrings.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

TMLParser::TMLParser(TMLSymbolManager* SymbolManager)
    : FDocTypeHash(Hash("DOCTYPE")), FXSLTemplateHash(Hash("xsl:template")), FSymbolManager(SymbolManager) {}

TMLParser::~TMLParser() {
  FAttrValues = nullptr;
  FFreeEntries.clear();
  FTagStack.clear();
  FOpenTags.clear();
  FAutoClosePositions.clear();
  FCallbacks.clear();
  if (FSymbolManager && FSymbolManager->GetParser() == this) FSymbolManager->SetParser(nullptr);
}

void TMLParser::AddCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C || std::find(FCallbacks.begin(), FCallbacks.end(), C) != FCallbacks.end()) return;
  FCallbacks.push_back(C);
}

void TMLParser::RemoveCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C) return;
  FCallbacks.erase(std::remove(FCallbacks.begin(), FCallbacks.end(), C), FCallbacks.end());
}

void TMLParser::CallbacksInvalidate() {
  // A callback may unregister itself while it is told.
  const auto Callbacks = FCallbacks;
  for (const auto& C : Callbacks) C->Invalidate();
}

int32_t TMLParser::GetCurrentTagAttrCount() const {
  return FAttrValues ? static_cast<int32_t>(FAttrValues->size()) : 0;
}

TKelPtr<IKelMLTagAttribute> TMLParser::GetCurrentTagAttrs(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return nullptr;
  return (*FAttrValues)[static_cast<size_t>(Index)]->Attribute;
}

std::string TMLParser::GetCurrentTagAttrName(int32_t Index) const {
  const auto A = GetCurrentTagAttrs(Index);
  return A ? A->GetName() : std::string();
}

std::u16string TMLParser::GetCurrentTagAttrValue(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return {};
  return (*FAttrValues)[static_cast<size_t>(Index)]->Value;
}

const TTagAttributeValue* TMLParser::FindAttrValue(const std::string& Name) const {
  if (!FAttrValues) return nullptr;
  for (const auto& V : *FAttrValues)
    if (V->Attribute && SameText(V->Attribute->GetName(), Name)) return V.get();
  return nullptr;
}

std::u16string TMLParser::GetCurrentTagAttrValueByName(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Value : std::u16string();
}

char TMLParser::GetCurrentTagAttrStrType(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Quote : '\0';
}

char TMLParser::GetCurrentTagAttrStrTypeEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->QuoteEnd : '\0';
}

int32_t TMLParser::GetCurrentTagAttrOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetStart() : 0;
}

int32_t TMLParser::GetCurrentTagAttrOffsetEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetEnd() : 0;
}

int32_t TMLParser::GetCurrentTagAttrValueOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetAttributeValueStartOffset() : 0;
}

}  // namespace kel
