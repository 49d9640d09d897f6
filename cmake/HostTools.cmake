# A cross build still runs the icon generator at build time: it is built for
# this machine in a build of its own inside this one, from the same sources
# and with the project's defaults (warnings fatal), and stands in for the
# target kestivo_icongen. Ninja picks its own parallelism, as for the outer
# build (CMAKE_BUILD_PARALLEL_LEVEL, if set, reaches both).
include(ExternalProject)
set(KESTIVO_HOST_TOOLS_DIR ${PROJECT_BINARY_DIR}/host-tools)
set(KESTIVO_HOST_ICONGEN ${KESTIVO_HOST_TOOLS_DIR}/tools/icongen/kestivo_icongen)
ExternalProject_Add(kestivo_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${KESTIVO_HOST_TOOLS_DIR}
    CMAKE_ARGS
        -DCMAKE_BUILD_TYPE=Release
        -DKESTIVO_BUILD_TESTS=OFF
        -DKESTIVO_BUILD_BENCH=OFF
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${KESTIVO_HOST_TOOLS_DIR} --target kestivo_icongen
    BUILD_BYPRODUCTS ${KESTIVO_HOST_ICONGEN}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    EXCLUDE_FROM_ALL ON)
add_executable(kestivo_icongen IMPORTED GLOBAL)
set_target_properties(kestivo_icongen PROPERTIES IMPORTED_LOCATION ${KESTIVO_HOST_ICONGEN})
add_dependencies(kestivo_icongen kestivo_host_tools)
