#include "host/KelStream.h"

#include <algorithm>
#include <cstring>

namespace kel {

int32_t TKelStringStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int64_t N = std::min<int64_t>(Count, Size() - FPos);
  if (N <= 0) return 0;
  std::memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(N));
  FPos += N;
  return static_cast<int32_t>(N);
}

int64_t TKelStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t Base = Origin == TSeekOrigin::soBeginning ? 0 : Origin == TSeekOrigin::soCurrent ? FPos : Size();
  FPos = std::clamp<int64_t>(Base + Offset, 0, Size());
  return FPos;
}

TKelFileStream::TKelFileStream(const std::string& FileName) : FFile(std::fopen(FileName.c_str(), "rb")) {}

TKelFileStream::~TKelFileStream() {
  if (FFile) std::fclose(FFile);
}

int32_t TKelFileStream::Read(void* Buffer, int32_t Count) {
  if (!FFile || Count <= 0) return 0;
  return static_cast<int32_t>(std::fread(Buffer, 1, static_cast<size_t>(Count), FFile));
}

int64_t TKelFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  if (!FFile) return 0;
  const int64_t Base =
      Origin == TSeekOrigin::soBeginning ? 0 : Origin == TSeekOrigin::soCurrent ? ftello(FFile) : Size();
  fseeko(FFile, std::clamp<int64_t>(Base + Offset, 0, Size()), SEEK_SET);
  return ftello(FFile);
}

int64_t TKelFileStream::Size() {
  if (!FFile) return 0;
  const off_t Here = ftello(FFile);
  fseeko(FFile, 0, SEEK_END);
  const off_t End = ftello(FFile);
  fseeko(FFile, Here, SEEK_SET);
  return End;
}

}  // namespace kel
