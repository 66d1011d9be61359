# Checks with the toolchain's objdump that a program exports the crash reporter's entries by name.
# cmake -DOBJDUMP=... -DPROGRAM=... -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${PROGRAM}")
endif()
foreach(name ExceptionManager MishapLog_PasswordRequestEvent)
    # "[   0] ExceptionManager" in the table of names, undecorated.
    if(NOT dump MATCHES "\\[ *[0-9]+\\] ${name}\n")
        message(FATAL_ERROR "${PROGRAM} does not export ${name} by name")
    endif()
endforeach()
message(STATUS "${PROGRAM} exports ExceptionManager and MishapLog_PasswordRequestEvent")
