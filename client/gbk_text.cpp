#include "gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

// An iconv conversion, closed when it goes.
class Conversion {
 public:
  Conversion(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Conversion() {
    if (ok()) iconv_close(cd_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
  Conversion conversion("UTF-8", "GBK");
  if (!conversion.ok()) throw std::runtime_error("no GBK converter on this system (iconv)");
  // A GBK byte never grows beyond three UTF-8 bytes.
  std::string out(gbk.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const auto grow = [&](size_t to) {
    const auto used = static_cast<size_t>(outPtr - out.data());
    out.resize(to);
    outPtr = out.data() + used;
    outLeft = out.size() - used;
  };
  while (inLeft > 0) {
    if (iconv(conversion.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
      break;
    if (errno == E2BIG) {  // not expected; grow and go on
      grow(out.size() * 2);
      continue;
    }
    // EILSEQ (not GBK) or EINVAL (a lead byte at the very end): replace one
    // byte and go on with the next.
    if (outLeft < 3) grow(out.size() + 64);
    std::memcpy(outPtr, kReplacement, 3);
    outPtr += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
  }
  out.resize(static_cast<size_t>(outPtr - out.data()));
  return out;
}
