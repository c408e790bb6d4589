# Windows build: Tidewell.exe, Tidewell.com and the test programs that run under Wine.
enable_language(RC)
add_compile_options(-O2)
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)

file(GLOB win32_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
file(GLOB win32_env_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*_contract_env_win.cpp)
list(FILTER win32_sources EXCLUDE REGEX "(_test|_contract_env_win)\\.cpp$")
file(GLOB app_win_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*_win.cpp)
set(app_main ${CMAKE_SOURCE_DIR}/app/main_win.cpp)
set(app_console_main ${CMAKE_SOURCE_DIR}/app/console_main_win.cpp)
list(REMOVE_ITEM app_win_sources ${app_main} ${app_console_main})

# Only libraries that Windows keeps among its known ones are imported; any other is loaded at run
# time from the System folder (platform/win32/system_libraries.h).
set(win32_libs advapi32 user32 gdi32 kernel32)

# The units below the window and the real platform: all the console program is made of.
set(unit_sources ${core_sources})
list(FILTER unit_sources EXCLUDE REGEX "/app/[^/]*$")
set(app_sources ${core_sources})
list(FILTER app_sources INCLUDE REGEX "/app/[^/]*$")
add_library(tidewell_units STATIC ${unit_sources} ${win32_sources})
target_include_directories(tidewell_units PUBLIC ${CMAKE_SOURCE_DIR} ${generated_dir})
target_include_directories(tidewell_units SYSTEM PUBLIC ${json_include_dir})
target_link_libraries(tidewell_units PUBLIC ${win32_libs} Threads::Threads)
tidewell_warnings(tidewell_units)

# The window and its Win32 peers over the units.
add_library(tidewell_core STATIC ${app_sources} ${app_win_sources})
target_link_libraries(tidewell_core PUBLIC tidewell_units)
tidewell_warnings(tidewell_core)

# Each program's manifest, with the version filled in; the resource scripts take them from here.
configure_file(${CMAKE_SOURCE_DIR}/app/tidewell.manifest ${generated_dir}/Tidewell.exe.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/app/tidewell_console.manifest ${generated_dir}/Tidewell.com.manifest @ONLY)
set(version_inputs ${generated_dir}/tidewell_version.h ${CMAKE_SOURCE_DIR}/app/version_info.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/tidewell.rc PROPERTIES
  OBJECT_DEPENDS "${version_inputs};${generated_dir}/Tidewell.exe.manifest")
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/tidewell_console.rc PROPERTIES
  OBJECT_DEPENDS "${version_inputs};${generated_dir}/Tidewell.com.manifest")

add_executable(Tidewell WIN32 ${app_main} ${CMAKE_SOURCE_DIR}/app/tidewell.rc)
target_link_libraries(Tidewell PRIVATE tidewell_core)
# Terminal-Server-aware: the system gives the program its own Windows folder, not a per-user copy.
target_link_options(Tidewell PRIVATE -s -Wl,--tsaware)
set_target_properties(Tidewell PROPERTIES OUTPUT_NAME Tidewell RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
tidewell_warnings(Tidewell)
add_custom_command(TARGET Tidewell POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/app/Tidewell.html ${CMAKE_BINARY_DIR}/bin/Tidewell.html)

# Tidewell.com, the console program beside Tidewell.exe: made of the units alone, never the window.
# Its name puts it first where a prompt looks for "tidewell" (.COM comes before .EXE in PATHEXT).
add_executable(TidewellConsole ${app_console_main} ${CMAKE_SOURCE_DIR}/app/tidewell_console.rc)
target_link_libraries(TidewellConsole PRIVATE tidewell_units)
target_link_options(TidewellConsole PRIVATE -s -Wl,--tsaware)
set_target_properties(TidewellConsole PROPERTIES OUTPUT_NAME Tidewell SUFFIX .com
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
tidewell_warnings(TidewellConsole)

# What a user downloads: Tidewell-<version>.zip with both programs, the help page, the README and
# the licence (scripts/package.sh).
set(release_files $<TARGET_FILE:Tidewell> $<TARGET_FILE:TidewellConsole> ${CMAKE_SOURCE_DIR}/app/Tidewell.html
  ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE)
set(release_dir ${CMAKE_BINARY_DIR}/release)
set(release_zip ${CMAKE_BINARY_DIR}/Tidewell-${TIDEWELL_VERSION}.zip)
add_custom_command(OUTPUT ${release_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_dir}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${release_files} ${release_dir}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${release_zip}
  COMMAND ${CMAKE_COMMAND} -E chdir ${release_dir} ${CMAKE_COMMAND} -E tar cf ${release_zip} --format=zip --
    Tidewell.exe Tidewell.com Tidewell.html README.md LICENSE
  DEPENDS ${release_files} Tidewell TidewellConsole
  COMMENT "Packing Tidewell-${TIDEWELL_VERSION}.zip"
  VERBATIM)
add_custom_target(release_zip DEPENDS ${release_zip})

# GoogleTest from Debian's sources, built with the MinGW toolchain.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One ctest test per Windows test binary: each process start under Wine costs time.
function(tidewell_wine_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tidewell_core gtest gtest_main)
  target_compile_definitions(${name} PRIVATE TIDEWELL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TIDEWELL_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  tidewell_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

tidewell_wine_test(contract_tests ${contract_tests} ${win32_env_sources})

file(GLOB wine_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
foreach(f ${wine_tests})
  get_filename_component(name ${f} NAME_WE)
  tidewell_wine_test(${name} ${f})
endforeach()

# The installer's tests build their packages with the installer's own database calls.
target_link_libraries(installer_test PRIVATE msi)
target_link_libraries(product_registration_test PRIVATE msi)

# Windows tests that a script runs in a prefix of its own, such as one of another code page.
file(GLOB wine_scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.sh)
foreach(f ${wine_scripts})
  get_filename_component(name ${f} NAME_WE)
  add_test(NAME ${name} COMMAND bash ${f} ${CMAKE_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT 1800)
endforeach()

# Small helper programs the Wine tests start (stand-in uninstallers, removal children).
file(GLOB wine_helpers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/helpers/*.cpp)
foreach(f ${wine_helpers})
  get_filename_component(name ${f} NAME_WE)
  add_executable(${name} ${f})
  target_link_libraries(${name} PRIVATE tidewell_core)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  foreach(t ${wine_tests})
    get_filename_component(tname ${t} NAME_WE)
    add_dependencies(${tname} ${name})
  endforeach()
endforeach()

# A library that leaves a mark when it is loaded, for the test that plants it beside the program.
add_library(planted_library SHARED ${CMAKE_SOURCE_DIR}/tests/wine/planted/planted_library.cpp)
set_target_properties(planted_library PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(Tidewell planted_library)

# Window tests: Tidewell.exe driven under Xvfb by shell scripts.
file(GLOB window_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/window/*_test.sh)
foreach(f ${window_tests})
  get_filename_component(name ${f} NAME_WE)
  add_test(NAME ${name} COMMAND bash ${f} ${CMAKE_BINARY_DIR}/bin/Tidewell.exe ${CMAKE_BINARY_DIR}/artifacts)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endforeach()
