#include "platform/lazy_library.h"

#include <atomic>
#include <cstdio>
#include <dlfcn.h>

namespace {

std::atomic<Library_opener> test_opener{nullptr};

}  // namespace

void Set_library_opener_for_tests(Library_opener opener) { test_opener = opener; }

bool Lazy_library::Load()
{
    // Local: the library's names stay its own and never stand in for
    // another's. It is never closed: its objects may live as long as the
    // program does.
    const Library_opener opener = test_opener;
    void* handle = opener ? opener(soname_) : ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "sorane: %s cannot be loaded: %s\n", soname_,
                     opener ? "refused by the test" : ::dlerror());
        return false;
    }
    for (int i = 0; i < count_; ++i) {
        addresses_[i] = ::dlsym(handle, names_[i]);
        if (!addresses_[i]) {
            // An older library than the program was built for: none of it
            // is used, rather than some of it.
            std::fprintf(stderr, "sorane: %s has no %s\n", soname_, names_[i]);
            return false;
        }
    }
    return true;
}
