# The command-line program stays on the message layer: it must load neither
# Qt Widgets nor Qt Gui (nor anything that pulls them in).
# cmake -DPROGRAM=<path> -P check_no_widgets.cmake
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PROGRAM}"
    RESOLVED_DEPENDENCIES_VAR libraries UNRESOLVED_DEPENDENCIES_VAR unresolved)
foreach(library IN LISTS libraries unresolved)
    if(library MATCHES "libQt6(Widgets|Gui|OpenGL)")
        message(FATAL_ERROR "${PROGRAM} loads ${library}")
    endif()
endforeach()
if(NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "${PROGRAM}: Qt Core not among its libraries, so this check saw nothing: ${libraries}")
endif()
message(STATUS "${PROGRAM} loads no widgets: ${libraries}")
