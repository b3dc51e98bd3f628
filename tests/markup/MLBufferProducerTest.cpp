#include <gtest/gtest.h>

#include <cstring>

#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"

namespace kel {
namespace {

enum class TSource { Stream, EditView, SourceEditor };

// Owns whatever a producer reads from, so that each case runs on all three.
struct TProducerFor {
  std::unique_ptr<TKelStringStream> Stream;
  TKelPtr<TMemoryEditView> View;
  TKelPtr<TMLBufferProducer> Producer;

  TProducerFor(TSource Source, const std::string& Text) {
    switch (Source) {
      case TSource::Stream:
        Stream = std::make_unique<TKelStringStream>(Text);
        Stream->SetPosition(3);  // the producer rewinds it
        Producer = MakeKel<TMLBufferProducer>(Stream.get());
        break;
      case TSource::EditView:
        View = MakeMemoryEditView(Text);
        Producer = MakeKel<TMLBufferProducer>(static_cast<IKelEditView*>(View.get()));
        break;
      case TSource::SourceEditor:
        View = MakeMemoryEditView(Text);
        Producer = MakeKel<TMLBufferProducer>(query<IKelSourceEditor>(View->GetBuffer()).get());
        break;
    }
  }
};

struct TChunk {
  int32_t Offset;
  std::string Text;
};

// Fills until the producer runs dry and checks each chunk's terminator.
std::vector<TChunk> Drain(TMLBufferProducer& P) {
  std::vector<TChunk> Chunks;
  while (P.FillBuffer()) {
    EXPECT_TRUE(P.Eof());
    const char* Start = P.BufferAtOffset(0);
    EXPECT_NE(Start, nullptr);
    if (!Start) break;
    size_t Len = 0;
    while (P.BufferAtOffset(static_cast<int32_t>(Len))) ++Len;
    EXPECT_EQ(Start[Len], '\0') << "chunk not terminated";
    EXPECT_LE(Len, static_cast<size_t>(MLBufferSize));
    Chunks.push_back({P.BufferOffset(Start), std::string(Start, Len)});
    if (Chunks.size() > 100) break;  // a producer that does not advance
  }
  EXPECT_FALSE(P.Eof());
  return Chunks;
}

std::string Words(size_t Size) {
  std::string S;
  const char* W[] = {"table ", "td\t", "colgroup\n", "caption\r\n", "a "};
  for (size_t I = 0; S.size() < Size; ++I) S += W[I % 5];
  S.resize(Size);
  return S;
}

class Producer : public ::testing::TestWithParam<TSource> {};

TEST_P(Producer, ChunksJoinToTheDocumentAndEachFullChunkEndsOnWhitespace) {
  for (size_t Size : {size_t(0), size_t(1), size_t(100), size_t(16383), size_t(16384), size_t(16385),
                      size_t(40000), size_t(100000)}) {
    const std::string Text = Words(Size);
    TProducerFor F(GetParam(), Text);
    auto Chunks = Drain(*F.Producer);
    std::string Joined;
    for (size_t I = 0; I < Chunks.size(); ++I) {
      EXPECT_EQ(Chunks[I].Offset, static_cast<int32_t>(Joined.size())) << Size;
      if (I + 1 < Chunks.size()) {
        EXPECT_TRUE(std::strchr("\t\n ", Chunks[I].Text.back())) << Size;
        // A CR LF pair is never split.
        EXPECT_FALSE(Chunks[I].Text.back() == '\r' && Chunks[I + 1].Text[0] == '\n') << Size;
      }
      Joined += Chunks[I].Text;
    }
    EXPECT_EQ(Joined, Text) << Size;
    EXPECT_EQ(F.Producer->BufferOffset(nullptr), static_cast<int32_t>(Size));
  }
}

TEST_P(Producer, FullChunkWithoutWhitespaceIsDeliveredWholeAndReadingAdvances) {
  const std::string Text(40000, 'w');
  TProducerFor F(GetParam(), Text);
  auto Chunks = Drain(*F.Producer);
  ASSERT_EQ(Chunks.size(), 3u);
  EXPECT_EQ(Chunks[0].Text.size(), size_t(MLBufferSize));
  EXPECT_EQ(Chunks[1].Offset, MLBufferSize);
  EXPECT_EQ(Chunks[2].Text.size(), 40000u - 2 * MLBufferSize);
}

struct TCutCase {
  const char* Name;
  std::string Tail;  // the end of a full chunk of 'x'
  int32_t Cut;       // how many characters of the tail are delivered
};

TEST(ProducerCut, FullChunksAreCutWhereNoTokenIsSplit) {
  const TCutCase Cases[] = {
      {"after the last whitespace", "ab cd", 3},
      {"form feed, vertical tab and no-break space do not cut",
       "a b\f\v\xA0"
       "c",
       2},
      {"a final CR waits for its LF", "ab\r", 2},
      {"a final CR after a blank", "a b\r", 2},
      {"minified markup: before the last <", "<b>x</b><ta", 8},
      {"minified markup: after the last >", "<b>x</b>ta", 8},
      {"minified style sheet: after ; { }", "a{color:red}b{co", 14},
      {"no boundary: the chunk whole", "abcdef", 6},
      {"no boundary: a split character goes on", "ab\xE2\x80", 2},
      {"no boundary: a whole character stays", "ab\xE2\x80\x94", 5},
  };
  for (const auto& C : Cases) {
    std::string Chunk(MLBufferSize - C.Tail.size(), 'x');
    Chunk += C.Tail;
    const int32_t Kept = MLBufferSize - static_cast<int32_t>(C.Tail.size()) + C.Cut;
    EXPECT_EQ(TMLBufferProducer::CutPoint(Chunk.data(), MLBufferSize), Kept) << C.Name;
  }
}

TEST_P(Producer, ShortDocumentComesInOneFill) {
  TProducerFor F(GetParam(), "<p>hi</p>");
  auto& P = *F.Producer;
  EXPECT_FALSE(P.Eof());  // nothing filled yet
  EXPECT_EQ(P.BufferAtOffset(0), nullptr);
  ASSERT_TRUE(P.FillBuffer());
  EXPECT_STREQ(P.BufferAtOffset(0), "<p>hi</p>");
  EXPECT_EQ(P.BufferOffset(P.BufferAtOffset(3)), 3);
  EXPECT_EQ(P.BufferAtOffset(9), nullptr);
  EXPECT_EQ(P.BufferAtOffset(-1), nullptr);
  EXPECT_FALSE(P.FillBuffer());
  EXPECT_FALSE(P.Eof());
  EXPECT_EQ(P.BufferOffset(nullptr), 9);  // after the end: the document length
  EXPECT_FALSE(P.FillBuffer());           // stays at the end
  EXPECT_EQ(P.BufferOffset(nullptr), 9);
}

INSTANTIATE_TEST_SUITE_P(AllSources, Producer,
                         ::testing::Values(TSource::Stream, TSource::EditView, TSource::SourceEditor),
                         [](const auto& Info) {
                           switch (Info.param) {
                             case TSource::Stream:
                               return "Stream";
                             case TSource::EditView:
                               return "EditView";
                             case TSource::SourceEditor:
                               return "SourceEditor";
                           }
                           return "";
                         });

}  // namespace
}  // namespace kel
