// What happens when a C++ exception escapes: the process ends at once, as
// with the runtime's own handler. That handler would first write the
// exception's demangled type to a console the debugger does not have, and
// the demangler it pulls in is about a third of this library's size. This
// definition takes its place at link time.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
