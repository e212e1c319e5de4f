// Linked into every shipped binary in place of the standard library's own error helpers, which
// build std::logic_error and its kin: their message is a reference-counted string of the old
// string implementation, and with it that whole implementation comes into the binary (some 45 KB
// each). Here a size beyond what a container can hold fails as an allocation would (that is what
// it amounts to, and how the callers treat it), and the logic and range errors, which only a
// fault of ours can raise, carry the library's message in an exception of their own.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

// The message is kept in the exception itself: nothing to allocate while reporting a failure.
class LibraryError : public std::exception {
 public:
  explicit LibraryError(const char* what) { Append(what ? what : "standard library error"); }
  // The library's message formats know "%s", "%zu" and "%%".
  LibraryError(const char* format, std::va_list args) {
    for (const char* p = format; *p && length_ < kRoom; ++p) {
      if (p[0] == '%' && p[1] == 's') {
        Append(va_arg(args, const char*));
        ++p;
      } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
        AppendNumber(va_arg(args, std::size_t));
        p += 2;
      } else if (p[0] == '%' && p[1] == '%') {
        Append("%");
        ++p;
      } else {
        text_[length_++] = *p;
      }
    }
    text_[length_] = '\0';
  }
  const char* what() const noexcept override { return text_; }

 private:
  static constexpr std::size_t kRoom = 255;
  void Append(const char* s) {
    while (s && *s && length_ < kRoom) text_[length_++] = *s++;
    text_[length_] = '\0';
  }
  void AppendNumber(std::size_t n) {
    char digits[24];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + n % 10); while ((n /= 10) != 0);
    while (count > 0 && length_ < kRoom) text_[length_++] = digits[--count];
    text_[length_] = '\0';
  }
  char text_[kRoom + 1] = {};
  std::size_t length_ = 0;
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_domain_error(const char* what) { throw LibraryError(what); }
void __throw_invalid_argument(const char* what) { throw LibraryError(what); }
void __throw_out_of_range(const char* what) { throw LibraryError(what); }
void __throw_out_of_range_fmt(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  LibraryError error(format, args);
  va_end(args);
  throw error;
}
void __throw_runtime_error(const char* what) { throw LibraryError(what); }
void __throw_range_error(const char* what) { throw LibraryError(what); }
void __throw_overflow_error(const char* what) { throw LibraryError(what); }
void __throw_underflow_error(const char* what) { throw LibraryError(what); }

}  // namespace std
