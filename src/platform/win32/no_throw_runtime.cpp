// The shipped launcher throws nothing and catches nothing. Where the standard
// library would throw (out of memory, a length beyond its limits), the process ends
// instead; providing these helpers keeps the library's exception classes, their
// strings and the unwinder out of the image, which is most of its size.
#include <bits/functexcept.h>

#include <cstdlib>

namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
}  // namespace std

namespace __gnu_cxx {
// The default handler prints the demangled type of an uncaught exception, which
// links the whole demangler; there are no exceptions to name.
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
