# A program loads no network library at its start: libcurl (with the TLS,
# Kerberos, LDAP... libraries it links) and libcrypto come with the network
# module when it first posts or signs.
# cmake -DPROGRAM=<path> -P check_start_libraries.cmake
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PROGRAM}"
    RESOLVED_DEPENDENCIES_VAR libraries UNRESOLVED_DEPENDENCIES_VAR unresolved)
foreach(library IN LISTS libraries unresolved)
    if(library MATCHES "lib(curl|crypto|ssl)[.-]")
        message(FATAL_ERROR "${PROGRAM} loads ${library} at its start")
    endif()
endforeach()
if(NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "${PROGRAM}: Qt Core not among its libraries, so this check saw nothing: ${libraries}")
endif()
message(STATUS "${PROGRAM} loads no network library at its start: ${libraries}")
