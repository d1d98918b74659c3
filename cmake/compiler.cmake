# Compiler settings shared by every target.
#
# The show's numbers are 32-bit float results: no fast-math, no fused
# multiply-add contraction, and SSE arithmetic on 32-bit x86 (never x87's
# extended precision).
add_library(demo_options INTERFACE)
target_compile_options(demo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -fno-fast-math -ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i[3-6]86" OR CMAKE_CXX_COMPILER MATCHES "i686")
  target_compile_options(demo_options INTERFACE -msse2 -mfpmath=sse)
endif()
target_include_directories(demo_options INTERFACE ${PROJECT_SOURCE_DIR})

if(DEMO_SANITIZE)
  target_compile_options(demo_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(demo_options INTERFACE -fsanitize=address,undefined)
endif()
