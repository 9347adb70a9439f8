// The sd-bus calls of wmi/linux/Udisks.cpp, each forwarded to libsystemd
// loaded on the first call rather than at the program's start: linked
// normally, libsystemd brought six more shared libraries (libcap,
// libgcrypt, libgpg-error, liblzma, libzstd, liblz4) into every start of
// tolvex and tolvex-query, whether a drive's health was asked for or not.
// Where libsystemd cannot be loaded, every call fails as an unreachable bus
// does (-ENOSYS), and udisks' values are Null with that reason.

#include <dlfcn.h>
#include <systemd/sd-bus.h>

#include <cerrno>
#include <mutex>

namespace {

void* library() {
    static void* handle = nullptr;
    static std::once_flag once;
    std::call_once(once, [] { handle = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL); });
    return handle;
}

// The library's function of that name, looked up once; null when the
// library or the function is missing.
template <class Function>
Function* symbol(const char* name) {
    void* handle = library();
    return handle ? reinterpret_cast<Function*>(::dlsym(handle, name)) : nullptr;
}

}  // namespace

// Each forwarder looks its function up once and answers `failed` without it.
#define TOLVEX_SD_BUS_FORWARD(result, name, failed, params, args) \
    extern "C" result name params {                               \
        static auto* const real = symbol<result params>(#name);   \
        return real ? real args : failed;                         \
    }

TOLVEX_SD_BUS_FORWARD(int, sd_bus_new, -ENOSYS, (sd_bus * *bus), (bus))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_open_system, -ENOSYS, (sd_bus * *bus), (bus))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_set_address, -ENOSYS, (sd_bus * bus, const char* address),
                      (bus, address))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_set_bus_client, -ENOSYS, (sd_bus * bus, int b), (bus, b))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_set_allow_interactive_authorization, -ENOSYS,
                      (sd_bus * bus, int b), (bus, b))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_set_method_call_timeout, -ENOSYS, (sd_bus * bus, uint64_t usec),
                      (bus, usec))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_start, -ENOSYS, (sd_bus * bus), (bus))
TOLVEX_SD_BUS_FORWARD(sd_bus*, sd_bus_flush_close_unref, nullptr, (sd_bus * bus), (bus))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_call, -ENOSYS,
                      (sd_bus * bus, sd_bus_message* m, uint64_t usec, sd_bus_error* ret_error,
                       sd_bus_message** reply),
                      (bus, m, usec, ret_error, reply))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_new_method_call, -ENOSYS,
                      (sd_bus * bus, sd_bus_message** m, const char* destination, const char* path,
                       const char* interface, const char* member),
                      (bus, m, destination, path, interface, member))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_set_auto_start, -ENOSYS, (sd_bus_message * m, int b),
                      (m, b))
TOLVEX_SD_BUS_FORWARD(sd_bus_message*, sd_bus_message_unref, nullptr, (sd_bus_message * m), (m))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_enter_container, -ENOSYS,
                      (sd_bus_message * m, char type, const char* contents), (m, type, contents))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_exit_container, -ENOSYS, (sd_bus_message * m), (m))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_peek_type, -ENOSYS,
                      (sd_bus_message * m, char* type, const char** contents), (m, type, contents))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_read_array, -ENOSYS,
                      (sd_bus_message * m, char type, const void** ptr, size_t* size),
                      (m, type, ptr, size))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_read_basic, -ENOSYS,
                      (sd_bus_message * m, char type, void* p), (m, type, p))
TOLVEX_SD_BUS_FORWARD(int, sd_bus_message_skip, -ENOSYS, (sd_bus_message * m, const char* types),
                      (m, types))

extern "C" void sd_bus_error_free(sd_bus_error* e) {
    static auto* const real = symbol<void(sd_bus_error*)>("sd_bus_error_free");
    if (real) {
        real(e);
    }
}
