# Release and RelWithDebInfo builds are hardened as Debian's "dpkg-buildflags" with
# "hardening=+all" hardens a package: PIE, stack protector, fortified libc calls, format checks,
# and a read-only relocation table bound at start-up. A distribution's own flags come first:
# CFLAGS, CXXFLAGS and LDFLAGS from the environment reach CMAKE_CXX_FLAGS and
# CMAKE_EXE_LINKER_FLAGS, and a flag they already give (or an _FORTIFY_SOURCE of another level,
# as Fedora's 3, or one the compiler defines by itself, as Ubuntu's does) is not added again.
include(CheckCXXSourceCompiles)

set(_tessary_optimized "$<CONFIG:Release,RelWithDebInfo>")

function(_tessary_harden_compile flag already_given)
    if(NOT CMAKE_CXX_FLAGS MATCHES "${already_given}")
        add_compile_options("$<${_tessary_optimized}:${flag}>")
    endif()
endfunction()

function(_tessary_harden_link flag already_given)
    if(NOT CMAKE_EXE_LINKER_FLAGS MATCHES "${already_given}")
        add_link_options("$<${_tessary_optimized}:${flag}>")
    endif()
endfunction()

# PIE as -fPIE on the program and the static libraries it links, not as -fPIC: code built for a
# shared library may not inline its own exported functions. A module (the benchmark's preloaded
# probe) keeps the -fPIC of a shared library.
set(_tessary_not_module "$<NOT:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,MODULE_LIBRARY>>")
set(_tessary_executable "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
if(NOT CMAKE_CXX_FLAGS MATCHES "-f(pie|PIE|pic|PIC)")
    add_compile_options("$<$<AND:${_tessary_optimized},${_tessary_not_module}>:-fPIE>")
endif()
if(NOT CMAKE_EXE_LINKER_FLAGS MATCHES "(^| )-(no-)?pie")
    add_link_options("$<$<AND:${_tessary_optimized},${_tessary_executable}>:-pie>")
endif()
_tessary_harden_compile(-fstack-protector-strong "-fstack-protector")
_tessary_harden_compile(-Wformat "-Wformat([ =]|$)")
_tessary_harden_compile(-Werror=format-security "-Werror=format-security")

# Fortification works only with optimization, so the compiler is asked under -O2 whether the
# flags given already define it.
set(CMAKE_REQUIRED_FLAGS "${CMAKE_CXX_FLAGS} -O2")
set(CMAKE_REQUIRED_QUIET ON)
check_cxx_source_compiles([[
#include <cstdio>
#ifdef _FORTIFY_SOURCE
#error fortified already
#endif
int main() { return 0; }
]] TESSARY_FORTIFY_UNDEFINED)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_QUIET)
if(TESSARY_FORTIFY_UNDEFINED AND NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    add_compile_definitions("$<${_tessary_optimized}:_FORTIFY_SOURCE=2>")
endif()

_tessary_harden_link(-Wl,-z,relro "-z,relro|-zrelro")
_tessary_harden_link(-Wl,-z,now "-z,now|-znow")
