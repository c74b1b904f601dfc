# Warnings and sanitizers are applied per target, never through global flags.

set(RAVELIN_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

set(RAVELIN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# Coverage instrumentation for libFuzzer on every target, so the fuzzers see
# into the library; only the fuzz targets themselves link libFuzzer's main.
set(RAVELIN_FUZZ_INSTRUMENT_FLAGS -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=all -fno-omit-frame-pointer)

if(RAVELIN_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "RAVELIN_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
endif()

function(ravelin_apply_project_options target)
  target_compile_options(${target} PRIVATE ${RAVELIN_WARNINGS})
  if(RAVELIN_SANITIZE)
    target_compile_options(${target} PUBLIC ${RAVELIN_SANITIZER_FLAGS})
    target_link_options(${target} PUBLIC ${RAVELIN_SANITIZER_FLAGS})
  endif()
  if(RAVELIN_FUZZ)
    target_compile_options(${target} PUBLIC ${RAVELIN_FUZZ_INSTRUMENT_FLAGS})
    target_link_options(${target} PUBLIC ${RAVELIN_FUZZ_INSTRUMENT_FLAGS})
  endif()
endfunction()

# The dynamic loader spends most of a short run binding libstdc++'s symbols;
# linked in, the programs start about as fast as a C program. Distributions
# that must link the system's C++ runtime leave this off.
function(ravelin_apply_runtime_linkage executable)
  if(RAVELIN_STATIC_RUNTIME)
    target_link_options(${executable} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
