// Linked into every shipped binary in place of the standard library's default terminate handler,
// which names the uncaught exception's type through the demangler and a printf of its own (some
// 70 KB a binary) on a standard error that a Windows program does not have. This one only aborts.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
