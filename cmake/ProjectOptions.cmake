# Warnings and sanitizers are applied per target, never through global flags.

set(RAVELIN_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

set(RAVELIN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

function(ravelin_apply_project_options target)
  target_compile_options(${target} PRIVATE ${RAVELIN_WARNINGS})
  if(RAVELIN_SANITIZE)
    target_compile_options(${target} PUBLIC ${RAVELIN_SANITIZER_FLAGS})
    target_link_options(${target} PUBLIC ${RAVELIN_SANITIZER_FLAGS})
  endif()
endfunction()
