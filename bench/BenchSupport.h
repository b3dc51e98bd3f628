// What the benchmarks share: large documents built from the bundled
// examples, and the peak resident set.
//
// Example: LargePage(1 << 20, "\n<div>") is index.html with its body repeated
// past 1 MB, ending in an unfinished "<div>".
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>

namespace kel::bench {

inline std::string ReadExample(const char* Name) {
  std::ifstream In(std::string(MLINSIGHT_SOURCE_DIR "/examples/") + Name, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

// The example page with its body repeated up to Size bytes, then Tail.
inline std::string LargePage(size_t Size, const std::string& Tail) {
  const std::string Example = ReadExample("index.html");
  const size_t BodyStart = Example.find("<body>") + 6;
  const std::string Body = Example.substr(BodyStart, Example.find("</body>") - BodyStart);
  std::string Text = Example.substr(0, BodyStart);
  while (Text.size() < Size) Text += Body;
  return Text + Tail;
}

// The site's style sheet repeated up to Size bytes, then Tail.
inline std::string LargeSheet(size_t Size, const std::string& Tail = "") {
  const std::string One = ReadExample("style/site.css");
  std::string Text;
  while (Text.size() < Size) Text += One;
  return Text + Tail;
}

inline long PeakKiB() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return U.ru_maxrss;
}

}  // namespace kel::bench
