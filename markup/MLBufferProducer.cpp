#include "markup/MLBufferProducer.h"

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

bool TMLBufferProducer::FillBuffer() {
  if (FReader)
    FCount = FReader->GetText(FPosition, FBuffer.data(), MLBufferSize);
  else if (FStream)
    FCount = FStream->Read(FBuffer.data(), MLBufferSize);
  else
    FCount = 0;
  if (FCount < 0 || FCount > MLBufferSize) FCount = 0;

  if (FCount == MLBufferSize) {
    int32_t Last = FCount - 1;
    while (Last >= 0 && FBuffer[Last] != '\t' && FBuffer[Last] != '\n' && FBuffer[Last] != '\r' &&
           FBuffer[Last] != ' ')
      --Last;
    // A chunk without any whitespace goes whole: cutting nothing is the only
    // way to advance, at the price of a token split at the chunk end.
    const int32_t Tail = Last < 0 ? 0 : FCount - 1 - Last;
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

int32_t TMLBufferProducer::BufferOffset(const char* P) {
  if (FCount == 0) return FPosition;
  return static_cast<int32_t>(P - FBuffer.data()) + (FPosition - FCount);
}

const char* TMLBufferProducer::BufferAtOffset(int32_t Offset) {
  if (Offset < 0 || Offset >= FCount) return nullptr;
  return FBuffer.data() + Offset;
}

}  // namespace kel
