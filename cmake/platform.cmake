# What the build does differently per platform, for every target: the hardening. Linux builds an
# ELF program, Windows (the MinGW-w64 cross build) a static .exe, macOS a Mach-O program, the web
# page a WebAssembly module. What is
# installed and packaged is in packaging.cmake.

# Hardened as Debian builds its packages. Fortification needs an optimised build and does not
# mix with the sanitizers; the file prefix maps keep the build folder out of the binary, so
# that two builds of one commit are byte-identical.
add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}=." "-ffile-prefix-map=${CMAKE_BINARY_DIR}=.")
if(FP_WASM)
  # WebAssembly (the web page): the browser guards its memory; wasi-libc has neither a stack
  # protector nor fortified functions.
  return()
endif()
add_compile_options(-fstack-protector-strong)
if(NOT FP_SANITIZE AND NOT FP_FUZZ)
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()

if(WIN32)
  # Static, so that it needs no DLL beyond the system's; ASLR, also above 4 GiB, and DEP; no
  # time stamp in the header, so that two builds are byte-identical. MinGW's stack protector and
  # fortification live in libssp, which the flag also links.
  add_link_options(-static -fstack-protector-strong
                   LINKER:--dynamicbase,--nxcompat,--high-entropy-va,--no-insert-timestamp)
elseif(NOT APPLE)
  # ELF only: relocations read-only once resolved, all of them at start. (Apple's linker has no
  # -z options.)
  add_link_options(LINKER:-z,relro,-z,now)
  # Where the compiler has them for the target (x86 for the second): the stack probed page by page,
  # and indirect branches marked for the processor's control-flow checks.
  include(CheckCXXCompilerFlag)
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "FP_COMPILER_HAS${flag}" has_flag)
    check_cxx_compiler_flag("${flag} -Werror" ${has_flag})
    if(${has_flag})
      add_compile_options(${flag})
    endif()
  endforeach()
endif()
