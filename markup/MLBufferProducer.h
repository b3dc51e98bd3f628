// Feeds editor or file text to the parsers in chunks of at most 16384 bytes,
// each cut after its last whitespace and terminated by a zero byte, so that a
// scanner refills at the terminator and never joins a token from two chunks.
//
// Example: on a 20000-byte page whose byte 16000 is the last blank before
// 16384, the first fill gives bytes 0..16000, the second 16001..19999, the
// third returns false; BufferOffset(BufferAtOffset(0)) is 16001 after the second.
#pragma once

#include <array>

#include "host/KelHostAPI.h"
#include "host/KelStream.h"
#include "markup/MLParserUtils.h"

namespace kel {

class TMLBufferProducer : public TKelInterfaced<IMLBufferProducerInternal> {
 public:
  // Reads the view's edit buffer through a reader of its own.
  explicit TMLBufferProducer(IKelEditView* EditView);
  explicit TMLBufferProducer(IKelSourceEditor* SourceEditor);
  // Reads the stream from its start; the stream is not owned.
  explicit TMLBufferProducer(TKelStream* Stream);

  bool FillBuffer() override;
  bool Eof() override { return FHasData; }
  int32_t BufferOffset(const char* P) override;
  const char* BufferAtOffset(int32_t Offset) override;
  TKelPtr<IKelEditView> GetEditView() override { return FEditView; }
  void Seek(int32_t Offset) override;

  // Length of the part of a full chunk that is delivered: up to its last
  // whitespace, or in text without any, a boundary no token crosses.
  static int32_t CutPoint(const char* Chunk, int32_t Count);

 private:
  bool FHasData = false;
  TKelPtr<IKelEditReader> FReader;
  TKelPtr<IKelEditView> FEditView;
  TKelStream* FStream = nullptr;
  int32_t FCount = 0;
  int32_t FPosition = 0;
  // Held in the object so that a fill allocates nothing.
  std::array<char, MLBufferSize + 1> FBuffer{};
};

}  // namespace kel
