include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/QuillanModuleData.cmake)

# Under MinGW the tests' own code and GoogleTest build for debugging (-Og), with functions and line
# tables only (-g1) where the build has debug information at all; see quillan_test.
set(QUILLAN_TEST_CODE_OPTIONS -Og)
if(NOT QUILLAN_COMPILE_CHECK)
    list(APPEND QUILLAN_TEST_CODE_OPTIONS -g1)
endif()

# GoogleTest: the host build uses Debian's libgtest-dev; the cross build compiles
# the sources of Debian's googletest package with the MinGW toolchain.
if(WIN32)
    if(NOT TARGET gtest)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
        # Built like the tests' own code (below).
        target_compile_options(gtest PRIVATE ${QUILLAN_TEST_CODE_OPTIONS})
        target_compile_options(gtest_main PRIVATE ${QUILLAN_TEST_CODE_OPTIONS})
    endif()
    set(QUILLAN_GTEST gtest gtest_main)
else()
    find_package(GTest REQUIRED)
    set(QUILLAN_GTEST GTest::gtest GTest::gtest_main)
endif()

# The headers nearly every test source includes, GoogleTest's above all (about a second of each test
# source's build), precompiled once per build tree and used by every quillan_test program. The
# holder is compiled with the test programs' flags, which GCC checks when it reads the header in
# (-Winvalid-pch, an error here). Code inlined from a precompiled header loses its system-header
# standing, so GCC's false -Warray-bounds alarms inside libstdc++'s string copies would stop an -O2
# build; the test programs build at -O0 natively and at -Og under MinGW, where those checks do not run.
if(QUILLAN_TESTS AND NOT TARGET quillan_test_pch)
    set(_pch_source ${CMAKE_BINARY_DIR}/quillan_test_pch.cpp)
    if(NOT EXISTS ${_pch_source})
        file(WRITE ${_pch_source} "// Holds the tests' precompiled header.\n")
    endif()
    add_library(quillan_test_pch STATIC EXCLUDE_FROM_ALL ${_pch_source})
    target_link_libraries(quillan_test_pch PRIVATE quillan_flags ${QUILLAN_GTEST})
    if(WIN32)
        target_compile_options(quillan_test_pch PRIVATE ${QUILLAN_TEST_CODE_OPTIONS})
    endif()
    target_precompile_headers(quillan_test_pch PRIVATE <gtest/gtest.h> <algorithm> <cstdint> <cstdlib> <cstring>
        <functional> <map> <memory> <string> <vector>)
endif()

# Windows tests run in parallel only when declared free of shared state; every other one takes a Wine
# desktop for its run: one of the resource "desktop" that the Windows test presets hand out
# (cmake/wine_desktops.json), each its own Wine prefix, server and X display, so that its windows,
# focus, clipboard, hotkeys and registry are no other test's. scripts/wine-emulator.sh runs the test
# on the desktop ctest gave it. (Without the presets' resource file ctest hands out none: run such a
# build's Windows tests one at a time.)
set(QUILLAN_DESKTOP_RESOURCE "desktop:1")
# Every test added under Wine, by quillan_test or a plain add_test, starts with a desktop to itself.
# quillan_test lifts that for PLATFORM_FREE and SHARES_NOTHING tests. (The built-in stays reachable as
# _add_test.)
function(add_test)
    _add_test(${ARGV})
    if(WIN32)
        if(ARGV0 STREQUAL "NAME")
            set(name ${ARGV1})
        else()
            set(name ${ARGV0})
        endif()
        set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS ${QUILLAN_DESKTOP_RESOURCE})
    endif()
endfunction()

# quillan_test(name [PLATFORM_FREE|WIN32_ONLY] [SHARES_NOTHING] [NO_UNITY] [TIMEOUT s] SOURCES ... DEPS ...)
# One ctest entry per executable: under Wine each process start costs about a
# second, so the cases of one executable run in one process. SHARES_NOTHING: the test
# touches no desktop, clipboard, hotkey or registry state (no windows, no focus, no
# registry keys, only files of its own), so it may run beside others.
function(quillan_test name)
    cmake_parse_arguments(A "PLATFORM_FREE;WIN32_ONLY;SHARES_NOTHING;NO_UNITY" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
    if(A_WIN32_ONLY AND NOT WIN32)
        return()
    endif()
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE quillan_flags ${A_DEPS} ${QUILLAN_GTEST})
    # A program's test sources are compiled as one unit: GoogleTest's and Windows' headers, most of
    # each source's build, are read once per program instead of once per source. NO_UNITY: the
    # program's reports must resolve its own functions, and the module data leaves out units in the
    # build tree, where the one unit would be.
    list(LENGTH A_SOURCES source_count)
    if(source_count GREATER 1 AND NOT A_NO_UNITY)
        set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    endif()
    # The tests' own code, GoogleTest's assertion macros above all, is built for debugging (-Og), in
    # about half the time of -O2 (-O0 builds faster still but links far slower: every inline function
    # of the standard library and GoogleTest stays out of line in every object). The libraries under
    # test keep the build's optimisation and debug information, as shipped. The tests' own code keeps
    # functions and line tables only (-g1, a third less build time than -g): enough for a report
    # made in a test to name the test's functions and lines; locals are left to a debugging build.
    if(WIN32)
        target_compile_options(${name} PRIVATE ${QUILLAN_TEST_CODE_OPTIONS})
    endif()
    if(TARGET quillan_test_pch)
        target_precompile_headers(${name} REUSE_FROM quillan_test_pch)
    endif()
    # Every Windows test program carries its module data block, as the program does, so that a
    # report made in a test resolves its addresses (about a second of the host tool per link).
    quillan_module_data(${name})
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT}
        ENVIRONMENT "QUILLAN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    if(A_PLATFORM_FREE OR A_SHARES_NOTHING)
        set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS "")
    endif()
endfunction()
