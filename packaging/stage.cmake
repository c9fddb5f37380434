# Installs the build in BUILD_DIR into a fresh STAGE_DIR, as a package would.
# cmake -DBUILD_DIR=<build folder> -DSTAGE_DIR=<folder> -P stage.cmake
foreach(var BUILD_DIR STAGE_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()
file(REMOVE_RECURSE "${STAGE_DIR}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE_DIR}"
    COMMAND_ERROR_IS_FATAL ANY)
