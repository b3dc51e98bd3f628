#include "markup/MLBufferProducer.h"

#include <algorithm>
#include <cstring>

namespace kel {

TMLBufferProducer::TMLBufferProducer(IKelEditView* EditView) : FEditView(EditView) {
  if (!EditView) return;
  if (auto Buffer = EditView->GetBuffer()) FReader = Buffer->CreateReader();
}

TMLBufferProducer::TMLBufferProducer(IKelSourceEditor* SourceEditor) {
  if (SourceEditor) FReader = SourceEditor->CreateReader();
}

TMLBufferProducer::TMLBufferProducer(TKelStream* Stream) : FStream(Stream) {
  if (FStream) FStream->SetPosition(0);
}

int32_t TMLBufferProducer::CutPoint(const char* Chunk, int32_t Count) {
  // A CR at the very end may be the first half of a CR LF pair: it goes on
  // with the next chunk.
  const int32_t End = Chunk[Count - 1] == '\r' && Count > 1 ? Count - 1 : Count;
  for (int32_t I = End - 1; I >= 0; --I)
    if (Chunk[I] == '\t' || Chunk[I] == '\n' || Chunk[I] == '\r' || Chunk[I] == ' ') return I + 1;
  // Minified text: no token spans a tag or rule boundary either, so cut
  // after the last ">", ";", "{" or "}", or before the last "<".
  for (int32_t I = End - 1; I > 0; --I) {
    const char C = Chunk[I];
    if (C == '>' || C == ';' || C == '{' || C == '}') return I + 1;
    if (C == '<') return I;
  }
  // One long value or text run: any cut will do that splits no character.
  int32_t Lead = End - 1;
  while (Lead > 0 && Lead > End - 4 && (static_cast<unsigned char>(Chunk[Lead]) & 0xC0) == 0x80) --Lead;
  const auto B = static_cast<unsigned char>(Chunk[Lead]);
  const int32_t Length = B >= 0xF0 && B <= 0xF7   ? 4
                         : B >= 0xE0 && B <= 0xEF ? 3
                         : B >= 0xC0 && B <= 0xDF ? 2
                                                  : 1;
  return Lead + Length <= End || Lead == 0 ? End : Lead;
}

bool TMLBufferProducer::FillBuffer() {
  if (FReader)
    FCount = FReader->GetText(FPosition, FBuffer.data(), MLBufferSize);
  else if (FStream)
    FCount = FStream->Read(FBuffer.data(), MLBufferSize);
  else
    FCount = 0;
  if (FCount < 0 || FCount > MLBufferSize) FCount = 0;

  // The scanners take a zero byte for the chunk's end: a NUL in the text
  // reads as a blank, so nothing after it is skipped.
  for (char* Nul = FBuffer.data();
       (Nul = static_cast<char*>(std::memchr(Nul, 0, static_cast<size_t>(FBuffer.data() + FCount - Nul))));)
    *Nul = ' ';
  if (FCount == MLBufferSize) {
    const int32_t Tail = FCount - CutPoint(FBuffer.data(), FCount);
    FCount -= Tail;
    if (FStream && Tail > 0) FStream->Seek(-Tail, TSeekOrigin::soCurrent);
  }
  if (FCount > 0) {
    FBuffer[FCount] = '\0';
    FPosition += FCount;
  }
  FHasData = FCount > 0;
  return FHasData;
}

void TMLBufferProducer::Seek(int32_t Offset) {
  FPosition = std::max(Offset, 0);
  FCount = 0;
  FHasData = false;
  if (FStream) FStream->SetPosition(FPosition);
}

int32_t TMLBufferProducer::BufferOffset(const char* P) {
  if (FCount == 0) return FPosition;
  return static_cast<int32_t>(P - FBuffer.data()) + (FPosition - FCount);
}

const char* TMLBufferProducer::BufferAtOffset(int32_t Offset) {
  if (Offset < 0 || Offset >= FCount) return nullptr;
  return FBuffer.data() + Offset;
}

}  // namespace kel
