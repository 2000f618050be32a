# Build conventions shared by every folder: flags, output folders, IDL,
# Windows tests under Wine.

add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601
                        __USE_MINGW_ANSI_STDIO=0)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
# No compiler runtime DLL may be needed beside what we ship.
add_link_options(-static -static-libgcc -static-libstdc++)

set(S2M_DIST_DIR ${CMAKE_BINARY_DIR}/dist)   # the files that ship
set(S2M_BIN_DIR  ${CMAKE_BINARY_DIR}/bin)    # tools, tests, benchmarks
set(S2M_GEN_DIR  ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${S2M_DIST_DIR} ${S2M_BIN_DIR} ${S2M_GEN_DIR})

set(S2M_WIDL ${S2M_ARCH}-w64-mingw32-widl)
set(S2M_OBJDUMP ${S2M_ARCH}-w64-mingw32-objdump)
set(S2M_WINE_IDL_DIR /usr/include/wine/wine/windows)
if(S2M_ARCH STREQUAL "i686")
  set(S2M_WINE_TLB_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
  set(S2M_WIDL_TARGET --win32)
else()
  set(S2M_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  set(S2M_WIDL_TARGET --win64)
endif()
if(NOT EXISTS ${S2M_WINE_TLB_DIR}/stdole2.tlb)
  # stdole2.tlb is the same file for both architectures.
  foreach(d /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
    if(EXISTS ${d}/stdole2.tlb)
      set(S2M_WINE_TLB_DIR ${d})
    endif()
  endforeach()
endif()

# Which architecture the Windows tests run as.  32-bit Wine needs a kernel that
# runs 32-bit programs; where it cannot, the tests are built for x86_64 in a
# second build tree (build/wine64) and run under 64-bit Wine.
if(NOT DEFINED S2M_TEST_ARCH)
  execute_process(COMMAND /usr/lib/wine/wine --version
                  RESULT_VARIABLE _s2m_wine32 OUTPUT_QUIET ERROR_QUIET)
  if(_s2m_wine32 EQUAL 0)
    set(_s2m_default_test_arch i686)
  else()
    set(_s2m_default_test_arch x86_64)
  endif()
  set(S2M_TEST_ARCH ${_s2m_default_test_arch} CACHE STRING "Architecture the Windows tests run as")
endif()
if(S2M_TEST_ARCH STREQUAL S2M_ARCH)
  set(S2M_BUILD_TESTS ON)
else()
  set(S2M_BUILD_TESTS OFF)
endif()

# s2m_idl(<name> <file.idl>): widl makes <name>.h, <name>_i.c and <name>.tlb in
# the generated folder; targets depend on the custom target s2m_idl_<name>.
function(s2m_idl name idl)
  get_filename_component(idl_abs ${idl} ABSOLUTE)
  set(out_h ${S2M_GEN_DIR}/${name}.h)
  set(out_i ${S2M_GEN_DIR}/${name}_i.c)
  set(out_t ${S2M_GEN_DIR}/${name}.tlb)
  add_custom_command(
    OUTPUT ${out_h} ${out_i} ${out_t}
    COMMAND ${S2M_WIDL} ${S2M_WIDL_TARGET} -I${S2M_WINE_IDL_DIR} -I${CMAKE_CURRENT_SOURCE_DIR}
            -L ${S2M_WINE_TLB_DIR} -h -H ${out_h} -u -U ${out_i} -t -T ${out_t} ${idl_abs}
    DEPENDS ${idl_abs}
    COMMENT "widl ${name}"
    VERBATIM)
  add_custom_target(s2m_idl_${name} DEPENDS ${out_h} ${out_i} ${out_t})
endfunction()

# s2m_ship(<target>): the target's output lands in build/dist.
function(s2m_ship target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${S2M_DIST_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${S2M_DIST_DIR}
    PREFIX "")
endfunction()

# s2m_tool(<target>): a tool, test helper or benchmark program in build/bin.
function(s2m_tool target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${S2M_BIN_DIR})
endfunction()

# s2m_add_test(<name> SOURCES ... [LIBS ...] [DISPLAY] [TIMEOUT s] [DEPENDS targets])
# A GoogleTest program run under the build tree's Wine prefix.  DISPLAY gives it
# the Xvfb screen; every other test runs without a display.
function(s2m_add_test name)
  cmake_parse_arguments(T "DISPLAY" "TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE s2m_test_support ${T_LIBS})
  s2m_tool(${name})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(fixtures wine)
  set(display 0)
  if(T_DISPLAY)
    set(fixtures "wine\\;display")
    set(display 1)
  endif()
  set_property(GLOBAL APPEND PROPERTY S2M_TESTS
    "add_test(${name} \"${S2M_WINE_RUN}\" \"${S2M_BIN_DIR}/${name}.exe\")\n"
    "set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED \"${fixtures}\" TIMEOUT ${T_TIMEOUT} ENVIRONMENT \"S2M_NEEDS_DISPLAY=${display}\" RESOURCE_LOCK wineprefix)\n")
endfunction()

# s2m_add_script_test(<name> COMMAND ...): a test run on the build machine
# itself (a shell script that may drive Wine programs).
function(s2m_add_script_test name)
  cmake_parse_arguments(T "DISPLAY;NOWINE" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(fixtures wine)
  set(display 0)
  if(T_DISPLAY)
    set(fixtures "wine\\;display")
    set(display 1)
  endif()
  set(cmd "")
  foreach(a ${T_COMMAND})
    string(APPEND cmd " \"${a}\"")
  endforeach()
  set(props "TIMEOUT ${T_TIMEOUT} ENVIRONMENT \"S2M_NEEDS_DISPLAY=${display}\;S2M_BUILD_DIR=${CMAKE_BINARY_DIR}\;S2M_WINE_RUN=${S2M_WINE_RUN}\"")
  if(NOT T_NOWINE)
    string(APPEND props " FIXTURES_REQUIRED \"${fixtures}\" RESOURCE_LOCK wineprefix")
  endif()
  set_property(GLOBAL APPEND PROPERTY S2M_TESTS
    "add_test(${name}${cmd})\n"
    "set_tests_properties(${name} PROPERTIES ${props})\n")
endfunction()

# The Wine prefix of this build tree and the wrapper that runs a program in it.
set(S2M_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(S2M_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
if(S2M_ARCH STREQUAL "i686")
  set(S2M_WINEARCH win32)
  set(S2M_WINE_LOADER /usr/lib/wine/wine)
else()
  set(S2M_WINEARCH win64)
  set(S2M_WINE_LOADER /usr/lib/wine/wine64)
endif()
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${S2M_WINE_RUN}
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)

# Writes the collected tests into one file that ctest includes: from this
# build tree's own tests, or from the x86_64 tree when the tests run there.
function(s2m_finish_tests)
  get_property(lines GLOBAL PROPERTY S2M_TESTS)
  string(JOIN "" body ${lines})
  set(out ${CMAKE_BINARY_DIR}/s2m-tests.cmake)
  file(WRITE ${out} "# Generated: the tests of this build tree.\n${body}")
  if(S2M_BUILD_TESTS)
    foreach(pair "wine;wine-prefix.sh" "display;xvfb.sh")
      list(GET pair 0 fixture)
      list(GET pair 1 script)
      file(APPEND ${out}
        "add_test(${fixture}.start \"${CMAKE_SOURCE_DIR}/scripts/${script}\" start \"${CMAKE_BINARY_DIR}\")\n"
        "set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 600)\n"
        # The screen, when a test needs it, is up before Wine's desktop starts.
        "set_tests_properties(wine.start PROPERTIES DEPENDS display.start)\n"
        "add_test(${fixture}.stop \"${CMAKE_SOURCE_DIR}/scripts/${script}\" stop \"${CMAKE_BINARY_DIR}\")\n"
        "set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture})\n")
    endforeach()
  else()
    # The same sources, built and tested as x86_64 in build/wine64.
    include(ExternalProject)
    ExternalProject_Add(wine64_tests
      SOURCE_DIR ${CMAKE_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/wine64
      CMAKE_ARGS -G ${CMAKE_GENERATOR}
                 -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw.cmake
                 -DS2M_ARCH=${S2M_TEST_ARCH} -DS2M_TEST_ARCH=${S2M_TEST_ARCH}
                 -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON
      USES_TERMINAL_BUILD ON)
    file(APPEND ${out} "include(\"${CMAKE_BINARY_DIR}/wine64/s2m-tests.cmake\" OPTIONAL)\n")
  endif()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${out})
endfunction()

configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-env.in ${CMAKE_BINARY_DIR}/wine-env.sh @ONLY)
