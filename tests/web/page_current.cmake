# Run by ctest ahead of the page's test: brings the web build in WEB_DIR up to date, so that the
# test never loads a stale page, and makes sure it embeds the assets of the build that tests it
# (ASSET_DIR), not another tree's or an older set. A missing web build fails, naming the command.
#   cmake -DWEB_DIR=<web build> -DASSET_DIR=<this build's assets> -P page_current.cmake
if(NOT EXISTS "${WEB_DIR}/CMakeCache.txt")
  message(FATAL_ERROR "no web build in ${WEB_DIR}: ./build.sh web makes the one beside build/; "
                      "for another build, configure one with emcmake and "
                      "-DNOVALINE_ASSET_DIR=${ASSET_DIR}, or name it with -DNOVALINE_WEB_DIR")
endif()
file(STRINGS "${WEB_DIR}/CMakeCache.txt" entry REGEX "^NOVALINE_ASSET_DIR:")
string(REGEX REPLACE "^[^=]*=" "" used "${entry}")
file(REAL_PATH "${used}" used)
file(REAL_PATH "${ASSET_DIR}" wanted)
if(NOT used STREQUAL wanted)
  message(FATAL_ERROR "the page in ${WEB_DIR} embeds the assets of ${used}, not this build's "
                      "(${wanted})")
endif()
# Debian's emscripten runs its optimizer on Node.js with the packaged modules.
set(ENV{NODE_PATH} /usr/share/nodejs)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WEB_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the page in ${WEB_DIR} did not build")
endif()
