# A program does not load the libraries FORBIDDEN (a regular expression over
# their file names) when it starts.
# cmake -DPROGRAM=<path> -DFORBIDDEN=<regex> -P check_libraries_absent.cmake
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PROGRAM}"
    RESOLVED_DEPENDENCIES_VAR libraries UNRESOLVED_DEPENDENCIES_VAR unresolved)
foreach(library IN LISTS libraries unresolved)
    if(library MATCHES "${FORBIDDEN}")
        message(FATAL_ERROR "${PROGRAM} loads ${library} at its start")
    endif()
endforeach()
if(NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "${PROGRAM}: Qt Core not among its libraries, so this check saw nothing: ${libraries}")
endif()
message(STATUS "${PROGRAM} loads none of ${FORBIDDEN}: ${libraries}")
