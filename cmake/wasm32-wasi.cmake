# The program as WebAssembly for the web page: Debian's clang with wasi-libc and libc++ for
# wasm32 (wasi-libc, libc++-dev-wasm32, libclang-rt-dev-wasm32). Its tests run the module under
# node through the page's own WASI glue.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(FP_WASM ON)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# The smallest code; no exceptions (the library has no runtime for them), no symbols.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT "-Oz -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_INIT -Wl,--strip-all)
set(CMAKE_CROSSCOMPILING_EMULATOR node ${CMAKE_CURRENT_LIST_DIR}/../web/run-node.mjs)
