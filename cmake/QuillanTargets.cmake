# Common compile settings of every target of the project.
add_library(quillan_flags INTERFACE)
target_compile_options(quillan_flags INTERFACE -Wall -Wextra -Wshadow -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Text inside the program is Windows-1251, as stored in hot.ini and the registry.
    # (clang, used only for the fuzzer, has no such option; the fuzzer needs none.)
    target_compile_options(quillan_flags INTERFACE -finput-charset=UTF-8 -fexec-charset=CP1251)
endif()
target_include_directories(quillan_flags INTERFACE ${PROJECT_SOURCE_DIR})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # At -O3 GCC 12 warns that "literal" + std::string&& may copy onto itself: a known false alarm
    # inside libstdc++. Overlapping copies of our own are caught by AddressSanitizer in the host tests.
    target_compile_options(quillan_flags INTERFACE $<$<CONFIG:Release>:-Wno-restrict>)
endif()

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

# Adds every immediate subfolder of AREA that has a CMakeLists.txt (extra arguments, such as
# EXCLUDE_FROM_ALL, go to add_subdirectory).
function(quillan_add_subdirs area)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${area})
        return()
    endif()
    if(EXISTS ${PROJECT_SOURCE_DIR}/${area}/CMakeLists.txt)
        add_subdirectory(${area} ${ARGN})
        return()
    endif()
    # CONFIGURE_DEPENDS: a folder that gains a CMakeLists.txt (after a merge, say)
    # reconfigures an existing build tree instead of being left out of it.
    file(GLOB lists CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/${area} ${PROJECT_SOURCE_DIR}/${area}/*/CMakeLists.txt)
    list(SORT lists)
    foreach(list_file ${lists})
        get_filename_component(child ${list_file} DIRECTORY)
        add_subdirectory(${area}/${child} ${ARGN})
    endforeach()
endfunction()

# quillan_library(name [PLATFORM_FREE|WIN32_ONLY] SOURCES ... DEPS ...)
# Platform-free libraries build in both presets; WIN32_ONLY ones only in the cross build.
# A Windows file is named *_win and belongs to a WIN32_ONLY library, which compiles nothing else.
# A platform-free library builds the same files everywhere: it lists no *_win file (but one of a
# pair whose *_posix twin the other builds take), and gains no source after it is declared. The
# configure step fails otherwise, once every folder has been read.
function(quillan_library name)
    cmake_parse_arguments(A "PLATFORM_FREE;WIN32_ONLY" "" "SOURCES;DEPS" ${ARGN})
    if(A_WIN32_ONLY AND NOT WIN32)
        return()
    endif()
    add_library(${name} STATIC ${A_SOURCES})
    target_link_libraries(${name} PUBLIC quillan_flags ${A_DEPS})
    if(A_PLATFORM_FREE)
        set_property(TARGET ${name} PROPERTY QUILLAN_DECLARED_SOURCES "${A_SOURCES}")
        set_property(GLOBAL APPEND PROPERTY QUILLAN_PLATFORM_FREE_LIBRARIES ${name})
    elseif(A_WIN32_ONLY)
        set_property(GLOBAL APPEND PROPERTY QUILLAN_WIN32_ONLY_LIBRARIES ${name})
    endif()
    get_property(deferred GLOBAL PROPERTY QUILLAN_PLATFORM_CHECK_DEFERRED)
    if(NOT deferred)
        set_property(GLOBAL PROPERTY QUILLAN_PLATFORM_CHECK_DEFERRED ON)
        cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quillan_check_platform_names)
    endif()
endfunction()

# The check of the libraries' file names (see quillan_library).
function(quillan_check_platform_names)
    set(problems)
    get_property(libraries GLOBAL PROPERTY QUILLAN_WIN32_ONLY_LIBRARIES)
    foreach(library ${libraries})
        get_target_property(sources ${library} SOURCES)
        foreach(source ${sources})
            get_filename_component(file_name ${source} NAME_WE)
            if(NOT file_name MATCHES "_win$")
                list(APPEND problems "the Windows library ${library} compiles ${source}, not named *_win")
            endif()
        endforeach()
    endforeach()
    get_property(libraries GLOBAL PROPERTY QUILLAN_PLATFORM_FREE_LIBRARIES)
    foreach(library ${libraries})
        get_target_property(sources ${library} SOURCES)
        get_target_property(declared ${library} QUILLAN_DECLARED_SOURCES)
        get_target_property(folder ${library} SOURCE_DIR)
        foreach(source ${sources})
            if(NOT source IN_LIST declared)
                list(APPEND problems "${library} gains ${source} after its declaration")
            endif()
            get_filename_component(file_name ${source} NAME)
            if(file_name MATCHES "^(.*)_win(\\.[^.]+)$")
                if(NOT EXISTS ${folder}/${CMAKE_MATCH_1}_posix${CMAKE_MATCH_2})
                    list(APPEND problems "${library} compiles the Windows file ${source}")
                endif()
            endif()
        endforeach()
    endforeach()
    if(problems)
        list(JOIN problems "\n  " text)
        message(FATAL_ERROR "Windows files are named *_win and go to a WIN32_ONLY library; platform-free "
                            "libraries build the same files everywhere:\n  ${text}")
    endif()
endfunction()

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt
# (for grouping folders such as tests/crash).
function(quillan_add_children)
    file(GLOB lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    list(SORT lists)
    foreach(list_file ${lists})
        get_filename_component(child ${list_file} DIRECTORY)
        add_subdirectory(${child})
    endforeach()
endfunction()
