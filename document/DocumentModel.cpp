#include "document/DocumentModel.h"

#include <algorithm>

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

void TDocumentModel::SetPath(std::string Path) {
  if (Path == FPath) return;
  FPath = std::move(Path);
  FBuilt = false;
}

const TMLTree& TDocumentModel::Tree(std::string_view Text, uint64_t Version) {
  if (FBuilt && Version == FVersion && Text.size() == FLength) return FTree;
  FTree = TMLTree::Build(Text, TMLTree::XmlByName(FPath));
  FBuilt = true;
  FVersion = Version;
  FLength = Text.size();
  ++FBuilds;
  return FTree;
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
