# Native build: the core over the in-memory platform, with sanitizers, for fast tests.
find_package(GTest REQUIRED)
find_package(benchmark QUIET)

set(sanitize -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
add_compile_options(-g ${sanitize})
add_link_options(${sanitize})

file(GLOB memory_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/memory/*.cpp)
set(memory_tests ${memory_sources})
list(FILTER memory_sources EXCLUDE REGEX "_test\\.cpp$")
list(FILTER memory_tests INCLUDE REGEX "_test\\.cpp$")

add_library(tidewell_core STATIC ${core_sources} ${memory_sources})
target_include_directories(tidewell_core PUBLIC ${CMAKE_SOURCE_DIR} ${generated_dir})
target_include_directories(tidewell_core SYSTEM PUBLIC ${json_include_dir})
target_link_libraries(tidewell_core PUBLIC Threads::Threads)
tidewell_warnings(tidewell_core)

add_executable(tidewell_tests ${native_tests} ${contract_tests} ${memory_tests})
target_link_libraries(tidewell_tests PRIVATE tidewell_core GTest::gtest GTest::gtest_main)
tidewell_warnings(tidewell_tests)
include(GoogleTest)
gtest_discover_tests(tidewell_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")

if(benchmark_FOUND)
  file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
  foreach(f ${bench_sources})
    get_filename_component(name ${f} NAME_WE)
    add_executable(${name} ${f})
    target_link_libraries(${name} PRIVATE tidewell_core benchmark::benchmark)
  endforeach()
endif()
