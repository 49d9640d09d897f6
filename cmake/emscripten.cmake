# Builds for WebAssembly with Debian's Emscripten (package emscripten); the
# programs run under node.
#
# Emscripten's own toolchain file does the work. It is found as emcmake finds
# it, below the root that em-config reports, so that no install path is
# written here.
find_program(KESTIVO_EM_CONFIG em-config)
if(NOT KESTIVO_EM_CONFIG)
    message(FATAL_ERROR "em-config not found: install Emscripten (Debian package emscripten)")
endif()
execute_process(COMMAND ${KESTIVO_EM_CONFIG} EMSCRIPTEN_ROOT
    OUTPUT_VARIABLE KESTIVO_EMSCRIPTEN_ROOT OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE em_config_status)
set(KESTIVO_EMSCRIPTEN_TOOLCHAIN
    ${KESTIVO_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
if(NOT em_config_status EQUAL 0 OR NOT EXISTS ${KESTIVO_EMSCRIPTEN_TOOLCHAIN})
    message(FATAL_ERROR "Emscripten's toolchain file is not where em-config says "
        "(${KESTIVO_EMSCRIPTEN_TOOLCHAIN})")
endif()

# em++ links with JavaScript passes run under node, with modules (acorn)
# that Debian installs in /usr/share/nodejs, where not every node looks:
# configuring and every link see it, however the build is started.
if(NOT "$ENV{NODE_PATH}" MATCHES "/usr/share/nodejs")
    set(ENV{NODE_PATH} "/usr/share/nodejs:$ENV{NODE_PATH}")
endif()
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env "NODE_PATH=$ENV{NODE_PATH}")

# Programs run under plain node. (emcmake's emulator adds
# --experimental-wasm-threads, which node 20 refuses; these programs use no
# threads.)
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(KESTIVO_NODE NAMES node nodejs)
    if(NOT KESTIVO_NODE)
        message(FATAL_ERROR "node not found: install nodejs")
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTIVO_NODE})
endif()

include(${KESTIVO_EMSCRIPTEN_TOOLCHAIN})

# The core reports faults by exception; Emscripten's default build throws
# but cannot catch. Every object and the link must agree.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
