# Settings of the WebAssembly build (Emscripten), included by the top-level CMakeLists.txt.

# The engine's faults are C++ exceptions: WebAssembly's own exception handling, which node
# and every current browser run.
add_compile_options(-fwasm-exceptions)
add_link_options(-fwasm-exceptions -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=8388608)

# node runs the tests and the tools. emcmake names it with a flag for WebAssembly threads
# that current node refuses; this build has no threads.
find_program(OMBRIX_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${OMBRIX_NODE})

# Programs for node (tests, the command-line tool): the real file system, synchronous
# start (node's fetch cannot load a file path), the exit code passed on.
set(OMBRIX_NODE_LINK_OPTIONS -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0
    -sEXIT_RUNTIME=1)
function(ombrix_node_program target)
  target_link_options(${target} PRIVATE ${OMBRIX_NODE_LINK_OPTIONS})
endfunction()

# Emscripten's JavaScript optimiser needs the acorn module; Debian keeps it where only
# Debian's own node looks. With another node, show it the way at link time.
execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} -e "require('acorn')"
                RESULT_VARIABLE acorn_missing OUTPUT_QUIET ERROR_QUIET)
if(acorn_missing AND EXISTS /usr/share/nodejs/acorn)
  set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endif()
