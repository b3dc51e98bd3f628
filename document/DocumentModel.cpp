#include "document/DocumentModel.h"

#include <algorithm>

#include "host/KelEnvironmentOptions.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

TKelPtr<IKelCodeInsightManager> Registered(TMemoryHost& Host, const char* Id) {
  for (int32_t I = 0; I < Host.GetCodeInsightManagerCount(); ++I) {
    auto M = Host.GetCodeInsightManager(I);
    if (M && M->GetEnabled() && M->GetIDString() == Id) return M;
  }
  return nullptr;
}

}  // namespace

void TDocumentModel::Edited(size_t Start, size_t OldEnd, size_t NewEnd) {
  if (!FBuilt) return;
  if (!FEdited) {
    FEdited = true;
    FPrefix = FSuffix = FLength;
    FLengthNow = FLength;
  }
  OldEnd = std::max(OldEnd, Start);
  FParseCache.Edited(Start);
  if (OldEnd > FLengthNow) {
    FBuilt = false;  // an edit of another text than ours: read it whole
    return;
  }
  FPrefix = std::min(FPrefix, Start);
  FSuffix = std::min(FSuffix, FLengthNow - OldEnd);
  FLengthNow = FLengthNow - (OldEnd - Start) + (std::max(NewEnd, Start) - Start);
}

const TMLTree& TDocumentModel::Tree(std::string_view Text, uint64_t Version) {
  if (FBuilt && Version == FVersion && Text.size() == FLength) return FTree;
  const bool Edits = FBuilt && FEdited && Text.size() == FLengthNow && FPrefix + FSuffix <= FLength &&
                     FPrefix + FSuffix <= Text.size() && Text.size() < UINT32_MAX;
  if (Edits) {
    FTree = TMLTree::Rebuild(std::move(FTree), Text, static_cast<uint32_t>(FPrefix),
                             static_cast<uint32_t>(FLength - FSuffix),
                             static_cast<uint32_t>(Text.size() - FSuffix));
  } else {
    FTree = TMLTree();  // one tree at a time
    FTree = TMLTree::Build(Text, TMLTree::XmlByName(FPath));
  }
  if (!Edits) FParseCache.Clear();
  FEdited = false;
  FBuilt = true;
  FVersion = Version;
  FLength = Text.size();
  ++FBuilds;
  return FTree;
}

std::vector<TDocumentSheet> SheetsOf(std::string_view Text, const TMLTree* Page) {
  std::vector<TDocumentSheet> Out;
  const auto Size = static_cast<uint32_t>(std::min<size_t>(Text.size(), UINT32_MAX - 1));
  if (!Page) {
    Out.push_back({TMLNode::None, TCSSTree::Build(Text, 0, Size, false)});
    return Out;
  }
  for (uint32_t I = 0; I < Page->Regions.size(); ++I) {
    const TMLRegion& R = Page->Regions[I];
    if (R.Kind == TMLRegionKind::StyleSheet || R.Kind == TMLRegionKind::StyleDeclarations)
      Out.push_back(
          {I, TCSSTree::Build(Text, R.Range.Start, R.Range.End, R.Kind == TMLRegionKind::StyleDeclarations)});
  }
  return Out;
}

bool IsStyleSheetFile(std::string_view Path) {
  // The file types of the style-sheet editor, as the options file may widen them.
  return TEnvironmentOptions::MatchExtensions(
      std::string(Path), TEnvironmentOptions::GetExtensionsForTypeID("Quorvel.EditOptions.StyleSheet"));
}

const std::vector<TDocumentSheet>& TDocumentModel::Sheets(std::string_view Text) {
  if (FSheetsOf != FBuilds) {
    FSheets = SheetsOf(Text, IsStyleSheetFile(FPath) ? nullptr : &FTree);
    FSheetsOf = FBuilds;
  }
  return FSheets;
}

TKelPtr<IKelCodeInsightManager> TDocumentModel::ManagerAt(TMemoryHost& Host, uint32_t Offset) const {
  auto M = TCompletionCycle::ManagerFor(Host, FPath);
  if (!M || M->GetIDString() != "Quorvel.CodeInsight.HTML") return M;
  const TMLRegion* R = FTree.RegionAt(Offset);
  if (!R || (R->Kind != TMLRegionKind::StyleSheet && R->Kind != TMLRegionKind::StyleDeclarations)) return M;
  auto Sheet = Registered(Host, "Quorvel.CodeInsight.CSS");
  return Sheet ? Sheet : M;
}

TCompletionCycle::TClassifier TDocumentModel::Classifier() const {
  return [this](const std::string&, int32_t Offset) {
    return FTree.ElementCodeAt(static_cast<uint32_t>(std::max(Offset, 0)));
  };
}

int32_t MarkupElementAt(const std::string& Text, int32_t Offset, const std::string& Path) {
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  return TMLTree::Build(std::string_view(Text).substr(0, End), TMLTree::XmlByName(Path))
      .ElementCodeAt(static_cast<uint32_t>(End));
}

}  // namespace kel
