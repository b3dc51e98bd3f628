// Byte streams the readers work on: a file, or a string held in memory.
// Stands where the host platform's streams stood, so the buffer producer and
// the schema readers can read a file and a test string alike.
//
// Example: TKelStringStream S("<p>"); S.Read(Buf, 16) == 3, then S.Read == 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kel {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TKelStream {
 public:
  virtual ~TKelStream() = default;
  // Copies up to Count bytes to Buffer; returns how many, 0 at the end.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Moves the position (clamped to 0..Size) and returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual int64_t Size() = 0;

  int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t P) { Seek(P, TSeekOrigin::soBeginning); }
};

class TKelStringStream : public TKelStream {
 public:
  explicit TKelStringStream(std::string Data) : FData(std::move(Data)) {}
  int32_t Read(void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  const std::string& Data() const { return FData; }

 private:
  std::string FData;
  int64_t FPos = 0;
};

// Read-only file stream. Open() tells whether the file could be opened; a
// stream that did not open reads nothing.
class TKelFileStream : public TKelStream {
 public:
  explicit TKelFileStream(const std::string& FileName);
  ~TKelFileStream() override;
  bool IsOpen() const { return FFile != nullptr; }
  int32_t Read(void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;

 private:
  std::FILE* FFile = nullptr;
};

}  // namespace kel
