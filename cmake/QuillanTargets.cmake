# Common compile settings of every target of the project.
add_library(quillan_flags INTERFACE)
target_compile_options(quillan_flags INTERFACE -Wall -Wextra -Wshadow -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Text inside the program is Windows-1251, as stored in hot.ini and the registry.
    # (clang, used only for the fuzzer, has no such option; the fuzzer needs none.)
    target_compile_options(quillan_flags INTERFACE -finput-charset=UTF-8 -fexec-charset=CP1251)
endif()
target_include_directories(quillan_flags INTERFACE ${PROJECT_SOURCE_DIR})

if(WIN32)
    target_compile_definitions(quillan_flags INTERFACE
        WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _UNICODE UNICODE)
    target_link_options(quillan_flags INTERFACE -static -static-libgcc -static-libstdc++)
    set(QUILLAN_PLATFORM_WIN32 ON)
else()
    set(QUILLAN_PLATFORM_WIN32 OFF)
endif()

if(QUILLAN_SANITIZE)
    target_compile_options(quillan_flags INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(quillan_flags INTERFACE -fsanitize=address,undefined)
endif()

# Adds every immediate subfolder of AREA that has a CMakeLists.txt.
function(quillan_add_subdirs area)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${area})
        return()
    endif()
    if(EXISTS ${PROJECT_SOURCE_DIR}/${area}/CMakeLists.txt)
        add_subdirectory(${area})
        return()
    endif()
    file(GLOB children RELATIVE ${PROJECT_SOURCE_DIR}/${area} ${PROJECT_SOURCE_DIR}/${area}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${area}/${child}
           AND EXISTS ${PROJECT_SOURCE_DIR}/${area}/${child}/CMakeLists.txt)
            add_subdirectory(${area}/${child})
        endif()
    endforeach()
endfunction()

# quillan_library(name [PLATFORM_FREE|WIN32_ONLY] SOURCES ... DEPS ...)
# Platform-free libraries build in both presets; WIN32_ONLY ones only in the cross build.
function(quillan_library name)
    cmake_parse_arguments(A "PLATFORM_FREE;WIN32_ONLY" "" "SOURCES;DEPS" ${ARGN})
    if(A_WIN32_ONLY AND NOT WIN32)
        return()
    endif()
    add_library(${name} STATIC ${A_SOURCES})
    target_link_libraries(${name} PUBLIC quillan_flags ${A_DEPS})
endfunction()

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt
# (for grouping folders such as tests/crash).
function(quillan_add_children)
    file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
