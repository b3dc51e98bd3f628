#include "cli/TextPositions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kel {

namespace {

bool IsContinuation(char C) { return (static_cast<unsigned char>(C) & 0xC0) == 0x80; }

}  // namespace

int32_t ByteColumn(const std::string& Text, int32_t Line, int32_t Column) {
  size_t Pos = 0;
  for (int32_t L = 1; L < Line && Pos < Text.size(); ++L) {
    const size_t Break = Text.find_first_of("\r\n", Pos);
    if (Break == std::string::npos) return Column;
    Pos = Break + ((Text[Break] == '\r' && Break + 1 < Text.size() && Text[Break + 1] == '\n') ? 2 : 1);
  }
  int32_t Bytes = 0;
  for (int32_t C = 1; C < Column && Pos + static_cast<size_t>(Bytes) < Text.size(); ++C) {
    const auto B = static_cast<unsigned char>(Text[Pos + static_cast<size_t>(Bytes)]);
    if (B == '\n' || B == '\r') return Bytes + 1 + (Column - C);
    ++Bytes;
    while (Pos + static_cast<size_t>(Bytes) < Text.size() &&
           IsContinuation(Text[Pos + static_cast<size_t>(Bytes)]))
      ++Bytes;
  }
  return Bytes + 1;
}

std::string CaretOutside(const std::string& Text, int32_t Line, int32_t Column) {
  size_t Pos = 0;
  int32_t L = 1;
  for (; L < Line; ++L) {
    const size_t Break = Text.find_first_of("\r\n", Pos);
    if (Break == std::string::npos) break;
    Pos = Break + ((Text[Break] == '\r' && Break + 1 < Text.size() && Text[Break + 1] == '\n') ? 2 : 1);
  }
  if (L < Line) return "the file has " + std::to_string(L) + " lines";
  const size_t End = std::min(Text.find_first_of("\r\n", Pos), Text.size());
  int64_t Characters = 0;
  for (size_t I = Pos; I < End; ++I) Characters += IsContinuation(Text[I]) ? 0 : 1;
  if (Column > Characters + 1)
    return "line " + std::to_string(Line) + " has " + std::to_string(Characters) + " characters";
  return {};
}

std::pair<int32_t, int32_t> LineColumnOf(const std::string& Text, int32_t Offset) {
  int32_t Line = 1, Column = 1;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  for (size_t I = 0; I < End; ++I) {
    const char C = Text[I];
    if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') continue;
    if (C == '\n' || C == '\r') {
      ++Line;
      Column = 1;
    } else if (!IsContinuation(C)) {
      ++Column;
    }
  }
  return {Line, Column};
}

bool ReadDocument(const std::string& FileName, TDecodedDocument& Doc, std::ostream& Err, TReadFrom* From) {
  std::error_code Ec;
  if (std::filesystem::is_directory(FileName, Ec)) {
    Err << "mlinsight: cannot read " << FileName << ": it is a folder\n";
    return false;
  }
  const int Fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  const auto Fail = [&](int Error) {
    if (Fd >= 0) ::close(Fd);
    Err << "mlinsight: cannot read " << FileName << ": " << std::strerror(Error) << '\n';
    return false;
  };
  if (Fd < 0) return Fail(errno);
  // The file as opened, whatever its name leads to later.
  if (From) {
    struct stat St {};
    if (::fstat(Fd, &St) != 0) return Fail(errno);
    From->Device = St.st_dev;
    From->Inode = St.st_ino;
    std::error_code Ec;
    From->Resolved = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(Fd), Ec).string();
    if (Ec) From->Resolved = std::filesystem::absolute(FileName, Ec).string();
  }
  // Read in pieces up to the cap: a pipe may be named, and /dev/zero never
  // ends. A regular file says its size: one too large is not read at all.
  struct stat Info {};
  const bool Regular = ::fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode);
  const size_t Limit = Regular ? MaxDocumentBytes : MaxStreamBytes;
  const auto TooLarge = [&] {
    ::close(Fd);
    Err << "mlinsight: cannot read " << FileName << ": larger than " << (Limit >> 20) << " MiB\n";
    return false;
  };
  if (Regular && static_cast<uint64_t>(Info.st_size) > Limit) return TooLarge();
  std::string Bytes;
  if (Regular) Bytes.reserve(static_cast<size_t>(Info.st_size));
  char Piece[65536];
  for (;;) {
    const ssize_t N = ::read(Fd, Piece, sizeof Piece);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) return Fail(errno);
    if (N == 0) break;
    Bytes.append(Piece, static_cast<size_t>(N));
    if (Bytes.size() > Limit) return TooLarge();
  }
  ::close(Fd);
  Doc = DecodeDocument(Bytes);
  return true;
}

size_t DocumentLimit(const std::string& FileName) {
  struct stat Info {};
  return ::stat(FileName.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) ? MaxDocumentBytes : MaxStreamBytes;
}

bool ReadWholeFile(const std::string& FileName, std::string& Text, std::ostream& Err) {
  TDecodedDocument Doc;
  if (!ReadDocument(FileName, Doc, Err)) return false;
  Text = std::move(Doc.Text);
  return true;
}

bool WriteDocument(const std::string& FileName, const std::string& Text, const TDecodedDocument& As,
                   std::ostream& Err, const TReadFrom* From) {
  std::string Bytes;
  if (!EncodeDocument(Text, As, Bytes)) {
    Err << "mlinsight: cannot write " << FileName << ": the text has characters that " << As.Encoding
        << " cannot hold\n";
    return false;
  }
  // A new file beside the old one replaces it whole or not at all: a full
  // disk leaves the page as it was. A link stays a link: the file it names
  // is replaced. The new file's name is new (mkstemp), so nothing planted
  // under a name we would pick is followed.
  namespace fs = std::filesystem;
  std::error_code Ec;
  const fs::path Target = From && !From->Resolved.empty() ? fs::path(From->Resolved)
                          : fs::is_symlink(FileName, Ec)  ? fs::canonical(FileName, Ec)
                                                          : fs::path(FileName);
  if (Ec) {
    Err << "mlinsight: cannot write " << FileName << ": " << Ec.message() << '\n';
    return false;
  }
  struct stat Old {};
  const bool HaveOld = ::stat(Target.c_str(), &Old) == 0;
  // The file read was moved or replaced meanwhile: its edited text belongs
  // to no file there now.
  const auto Replaced = [From](const struct stat& Now) {
    return From && (Now.st_dev != From->Device || Now.st_ino != From->Inode);
  };
  if (From && (!HaveOld || Replaced(Old))) {
    Err << "mlinsight: cannot write " << FileName << ": the file changed since it was read\n";
    return false;
  }
  // What an editor would not overwrite without asking stays as it is: a
  // read-only page, and one with other names (hard links), which the new
  // file would leave holding the old text.
  if (HaveOld && ((Old.st_mode & 0222) == 0 || ::access(Target.c_str(), W_OK) != 0)) {
    Err << "mlinsight: cannot write " << FileName << ": the file is read-only\n";
    return false;
  }
  // A page read from a pipe or a device (a link to /dev/null) is no file to
  // replace: the rename would put a file where the device was.
  if (HaveOld && !S_ISREG(Old.st_mode)) {
    Err << "mlinsight: cannot write " << FileName << ": not a regular file\n";
    return false;
  }
  if (HaveOld && Old.st_nlink > 1) {
    Err << "mlinsight: cannot write " << FileName << ": the file has " << Old.st_nlink - 1
        << " other hard link(s), which a new file would leave with the old text\n";
    return false;
  }
  std::string Name = (Target.parent_path() / ("." + Target.filename().string() + ".XXXXXX")).string();
  const int Fd = ::mkstemp(Name.data());
  const auto Fail = [&](int Error) {
    if (Fd >= 0) ::unlink(Name.c_str());
    Err << "mlinsight: cannot write " << FileName << ": " << std::strerror(Error) << '\n';
    return false;
  };
  if (Fd < 0) return Fail(errno);
  for (size_t Done = 0; Done < Bytes.size();) {
    const ssize_t N = ::write(Fd, Bytes.data() + Done, Bytes.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) {
      const int Error = N < 0 ? errno : EIO;
      ::close(Fd);
      return Fail(Error);
    }
    Done += static_cast<size_t>(N);
  }
  if (HaveOld) {
    // The owner first: a change of owner clears set-id bits. Only root or
    // the owner may give it away; otherwise the file becomes ours.
    [[maybe_unused]] const int Owned = ::fchown(Fd, Old.st_uid, Old.st_gid);
    ::fchmod(Fd, Old.st_mode & 07777);
  }
  if (::fsync(Fd) != 0 || ::close(Fd) != 0) {
    const int Error = errno;
    return Fail(Error);
  }
  // Once more right before the rename: the write took its time.
  if (struct stat Now{}; From && (::stat(Target.c_str(), &Now) != 0 || Replaced(Now))) {
    ::unlink(Name.c_str());
    Err << "mlinsight: cannot write " << FileName << ": the file changed since it was read\n";
    return false;
  }
  if (::rename(Name.c_str(), Target.c_str()) != 0) return Fail(errno);
  return true;
}

}  // namespace kel
