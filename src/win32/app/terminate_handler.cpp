// The stub's std::terminate handler, linked into each stub program in place of the C++ library's.
// The library's default handler writes the exception's type name to stderr and aborts; to spell
// that name it carries the C++ demangler, about 50 KB of the stub for a message that a windowed
// program has nowhere to show. This one hands the exception's text to the debugger output and
// aborts the same way. It takes the library handler's name, so the linker never pulls that one
// in (a second definition would fail the link rather than go unnoticed).
#include <windows.h>

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& error) {
      ::OutputDebugStringA("terminate called after throwing an exception, what(): ");
      ::OutputDebugStringA(error.what());
    } catch (...) {
      ::OutputDebugStringA("terminate called after throwing an exception");
    }
  } else {
    ::OutputDebugStringA("terminate called without an active exception");
  }
  std::abort();
}

}  // namespace __gnu_cxx
