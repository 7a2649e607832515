# Debian's hardening flags (those of `dpkg-buildflags` with hardening=+all,
# and the stack-clash and control-flow protections newer releases add) for
# every build, so the tests run on what the package ships.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

# Position-independent executables, and static libraries fit to link into one.
check_pie_supported(OUTPUT_VARIABLE ONDRIX_PIE_ERROR LANGUAGES CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(FATAL_ERROR "the linker cannot make position-independent executables: ${ONDRIX_PIE_ERROR}")
endif()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "ONDRIX_HAS${flag}" var)
  check_cxx_compiler_flag(${flag} ${var})
  if(${var})
    add_compile_options(${flag})
  endif()
endforeach()

# _FORTIFY_SOURCE works only with optimisation (glibc warns otherwise, which
# the Debug build must not), and a sanitizer checks the same calls more
# closely than the _chk variants of the library would.
if(NOT ONDRIX_FUZZ AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  add_compile_options(
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()

# Relocations read-only after start-up, every symbol bound at load.
add_link_options(LINKER:-z,relro LINKER:-z,now)
