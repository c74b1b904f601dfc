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

# Debug information is most of an optimised build's compile time. The
# programs and their libraries keep it; test programs of an optimised build,
# whose failures GoogleTest reports by file and line, go without. The
# sanitizer build keeps it everywhere: its reports are read through it.
function(ravelin_apply_test_options target)
  if(NOT RAVELIN_SANITIZE)
    target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-g0>)
  endif()
endfunction()

# How the programs link, which packaging.runtime_linkage checks:
#   static          no dynamic loader, nothing loaded, not position-independent
#   static-runtime  libstdc++ and libgcc linked in, the C library loaded
#   dynamic         as a distribution links them
# A fully static program that need not relocate itself starts as fast as a
# process can (the dynamic loader and its relocations were most of a short
# run's start); it needs the C library's static archive, which a platform
# may lack, and never applies under the sanitizers, which link dynamically.
set(RAVELIN_PROGRAM_LINKAGE dynamic)
if(RAVELIN_STATIC AND NOT RAVELIN_SANITIZE AND NOT RAVELIN_FUZZ)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static -no-pie)
  check_cxx_source_compiles("int main() { return 0; }" RAVELIN_CAN_LINK_STATIC)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(RAVELIN_CAN_LINK_STATIC)
    set(RAVELIN_PROGRAM_LINKAGE static)
  else()
    message(WARNING "No static C library: ravelin and palisade link the C library dynamically")
  endif()
endif()
if(RAVELIN_PROGRAM_LINKAGE STREQUAL "dynamic" AND (RAVELIN_STATIC OR RAVELIN_STATIC_RUNTIME))
  set(RAVELIN_PROGRAM_LINKAGE static-runtime)
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
# linked in, the programs start about as fast as a C program, and linked
# fully static faster still. Distributions that must link the system's
# libraries leave both options off.
function(ravelin_apply_runtime_linkage executable)
  if(RAVELIN_PROGRAM_LINKAGE STREQUAL "static")
    # The C and C++ libraries keep each function in a section of its own:
    # the link drops those that nothing calls.
    target_link_options(${executable} PRIVATE -static -no-pie -Wl,--gc-sections)
  elseif(RAVELIN_PROGRAM_LINKAGE STREQUAL "static-runtime")
    target_link_options(${executable} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
