// Shared libraries loaded at the first call of one of their functions rather
// than with the program. Loading and relocating a library, and the libraries
// it pulls in, at every start costs more than the rest of vek takes to start,
// while most runs never decode an image or make a digest.
//
// A module lists the functions it calls as an X-macro and declares them with
// VEK_SHARED_LIBRARY inside its own unnamed namespace. Each function is then
// an object of the function's own name, which hides the library's declaration
// within the module's namespace, so the module's code (and the library's own
// macros, which expand to calls) reads as direct calls. `library.available()`
// loads the library and looks up every listed function the first time it is
// asked; the module calls none of them unless it answered true.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace vek::platform {

// Opens the library by its file name (its soname) and finds each name in it,
// in order. False, with the library closed again, when the library or one of
// the names is missing. A library that loads stays loaded for the run.
bool load_library(const char* soname, std::span<const char* const> names, std::span<void*> addresses);

template <size_t N>
class SharedLibrary {
public:
    constexpr SharedLibrary(const char* soname, std::array<const char*, N> names) : soname_(soname), names_(names) {}

    // Whether the library and every listed function are there; the first
    // call loads them, and its answer holds for the rest of the run.
    bool available() {
        if (state_ == State::untried)
            state_ = load_library(soname_, names_, addresses_) ? State::loaded : State::missing;
        return state_ == State::loaded;
    }

    void* address(size_t index) const { return addresses_[index]; }

private:
    enum class State : uint8_t { untried, loaded, missing };

    const char* soname_;
    std::array<const char*, N> names_;
    std::array<void*, N> addresses_{};
    State state_ = State::untried;
};

// One listed function of a library, called as the function itself. The
// arguments reach the function's own parameter types (and a variadic
// function's promotions) at the call through the loaded address.
template <typename Function, auto& library, size_t index>
struct LibraryFunction {
    template <typename... Args>
    decltype(auto) operator()(Args&&... args) const {
        return reinterpret_cast<Function>(library.address(index))(std::forward<Args>(args)...);
    }
};

// A std::unique_ptr deleter that hands the pointer to a library function,
// such as the library's close or free.
template <auto& release>
struct Releaser {
    template <typename T>
    void operator()(T* pointer) const {
        release(pointer);
    }
};

}  // namespace vek::platform

#define VEK_LIBRARY_INDEX(name) name##_index,
#define VEK_LIBRARY_NAME(name) #name,
#define VEK_LIBRARY_FUNCTION(name) \
    constexpr ::vek::platform::LibraryFunction<decltype(&::name), library, name##_index> name{};

// Declares `library`, the shared library of that soname, and an object for
// each function that FUNCTIONS(F) lists as F(name).
#define VEK_SHARED_LIBRARY(soname, FUNCTIONS)                                                               \
    enum FunctionIndex : size_t { FUNCTIONS(VEK_LIBRARY_INDEX) function_count };                            \
    constinit ::vek::platform::SharedLibrary<function_count> library(soname, {FUNCTIONS(VEK_LIBRARY_NAME)}); \
    FUNCTIONS(VEK_LIBRARY_FUNCTION)
