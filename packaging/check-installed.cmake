# Checks that the installed desktop entry, metainfo and icons in STAGE_DIR
# name each other and the installed program, that the newest release in the
# metainfo is VERSION, and that the installed programs find their libraries.
# Needs STAGE_DIR, APP_ID, VERSION, BINDIR and DATADIR.
set(failures 0)
macro(fail)
    message(SEND_ERROR ${ARGN})
    math(EXPR failures "${failures} + 1")
endmacro()

# Every library the installed FILE links is found; NAME is how a failure
# names it.
macro(check_libraries_found file name)
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${file}"
        RESOLVED_DEPENDENCIES_VAR ignored UNRESOLVED_DEPENDENCIES_VAR unresolved)
    if(unresolved)
        fail("${name} needs libraries that are not found: ${unresolved}")
    endif()
endmacro()

set(desktop "${STAGE_DIR}/${DATADIR}/applications/${APP_ID}.desktop")
set(metainfo "${STAGE_DIR}/${DATADIR}/metainfo/${APP_ID}.metainfo.xml")
foreach(file "${desktop}" "${metainfo}")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# Value of Key= in the [Desktop Entry] group (the file has only that group).
file(STRINGS "${desktop}" desktop_lines)
function(desktop_value key out)
    set(value "")
    foreach(line IN LISTS desktop_lines)
        if(line MATCHES "^${key}=(.*)$")
            set(value "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Exec: its program (first word, no field codes) is installed in BINDIR and
# runnable.
desktop_value(Exec exec)
string(REGEX REPLACE " .*" "" program "${exec}")
if(program STREQUAL "")
    fail("the desktop entry has no Exec")
elseif(IS_ABSOLUTE "${program}")
    fail("Exec=${exec}: name the program, not a path, so any prefix works")
elseif(NOT EXISTS "${STAGE_DIR}/${BINDIR}/${program}"
       OR IS_DIRECTORY "${STAGE_DIR}/${BINDIR}/${program}")
    fail("Exec=${exec}: ${BINDIR}/${program} is not installed")
else()
    check_libraries_found("${STAGE_DIR}/${BINDIR}/${program}" "${BINDIR}/${program}")
endif()

# The command-line twin is installed beside the window's program.
if(NOT EXISTS "${STAGE_DIR}/${BINDIR}/veltrane-post")
    fail("${BINDIR}/veltrane-post is not installed")
else()
    check_libraries_found("${STAGE_DIR}/${BINDIR}/veltrane-post" "${BINDIR}/veltrane-post")
endif()

# Icon: a theme name (not a path) with both sizes in the hicolor theme, and
# each PNG really of its folder's size.
desktop_value(Icon icon)
if(icon STREQUAL "" OR icon MATCHES "[/.]")
    fail("Icon=${icon}: expected a bare icon name")
else()
    foreach(size 48 256)
        set(png "${STAGE_DIR}/${DATADIR}/icons/hicolor/${size}x${size}/apps/${icon}.png")
        if(NOT EXISTS "${png}")
            fail("Icon=${icon}: ${png} is not installed")
            continue()
        endif()
        # PNG: 8-byte signature, IHDR length and type, then width and height
        # as 4-byte big-endian numbers.
        file(READ "${png}" header LIMIT 24 HEX)
        string(SUBSTRING "${header}" 32 8 width_hex)
        string(SUBSTRING "${header}" 40 8 height_hex)
        math(EXPR width "0x${width_hex}")
        math(EXPR height "0x${height_hex}")
        if(NOT header MATCHES "^89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
            fail("${png} is not a ${size}x${size} PNG (${width}x${height})")
        endif()
    endforeach()
endif()

# Metainfo: its id is the desktop entry's name, it launches that entry, it
# provides the Exec program, and its first (newest) release is VERSION.
file(READ "${metainfo}" xml)
if(NOT xml MATCHES "<id>([^<]*)</id>" OR NOT CMAKE_MATCH_1 STREQUAL APP_ID)
    fail("metainfo id '${CMAKE_MATCH_1}' is not ${APP_ID}")
endif()
if(NOT xml MATCHES "<launchable type=\"desktop-id\">([^<]*)</launchable>"
   OR NOT CMAKE_MATCH_1 STREQUAL "${APP_ID}.desktop")
    fail("metainfo launchable '${CMAKE_MATCH_1}' is not ${APP_ID}.desktop")
endif()
if(NOT xml MATCHES "<binary>${program}</binary>")
    fail("metainfo does not provide the binary ${program}")
endif()
if(NOT xml MATCHES "<release [^>]*version=\"([^\"]*)\"" OR NOT CMAKE_MATCH_1 STREQUAL VERSION)
    fail("newest metainfo release is '${CMAKE_MATCH_1}', the project is ${VERSION}: "
         "add a <release> for it at the top of <releases>")
endif()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} problem(s) in the installed files")
endif()
message(STATUS "installed files agree: ${program}, icon ${icon}, ${APP_ID}, release ${VERSION}")
