#include "platform/shared_library.h"

#include <dlfcn.h>

namespace vek::platform {

bool load_library(const char* soname, std::span<const char* const> names, std::span<void*> addresses) {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    for (size_t i = 0; i < names.size(); ++i) {
        addresses[i] = dlsym(library, names[i]);
        if (addresses[i]) continue;
        dlclose(library);
        return false;
    }
    return true;
}

}  // namespace vek::platform
