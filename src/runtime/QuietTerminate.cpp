// The handler std::terminate calls (an uncaught exception, a throw from a
// noexcept function), for binaries that carry the C++ runtime: abort, as
// the runtime's own default does, without its message. Defined here, in an
// object of the executable, the runtime's default definition is never
// taken from its archive, and with it go the message's printing and the
// symbol demangler, about 45 kB on the device.
#include <cstdlib>
#include <exception>

namespace {

[[noreturn]] void abortQuietly() noexcept {
    std::abort();
}

}  // namespace

// The runtime's own name for the handler in force until std::set_terminate.
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = abortQuietly;
}  // namespace __cxxabiv1
