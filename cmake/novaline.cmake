# The build's own rules: include folders per target, test programs, and assets made by generator
# programs and embedded in the data block.

# novaline_headers(target HEADERS files...)
# Gives `target` an include folder of its own in which only the listed headers of the source folder
# it is declared from are visible (links to them, so the sources keep their "folder/file.h"
# includes). A target sees another library's headers only by linking that library, and never a
# header of the same folder that belongs to another library, so a dependency that is not declared
# does not compile.
function(novaline_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "HEADERS")
  if(NOT arg_HEADERS)
    message(FATAL_ERROR "novaline_headers ${target}: name its HEADERS")
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  # Made afresh at every configure, so that no header dropped from the list, and nothing an older
  # layout linked here, stays visible. (The removal takes links, never what they point to.)
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS arg_HEADERS)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${header})
      message(FATAL_ERROR "novaline_headers ${target}: ${folder}/${header} does not exist")
    endif()
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# Picks the platform backend a program runs on: `platform` (SDL2), `platform_headless` or
# `platform_web` (Emscripten only). The
# engine links it after itself, so the audio device it calls is found whatever the link order.
function(novaline_platform program backend)
  set_property(TARGET ${program} PROPERTY NOVALINE_PLATFORM ${backend})
  target_link_libraries(${program} PRIVATE ${backend})
endfunction()

# novaline_test(NAME program SOURCES files... LINK targets... [PLATFORM backend] [ONE_PROCESS]
#               [ENVIRONMENT VAR=value...] [LABELS labels...])
# A GoogleTest program on the headless platform unless PLATFORM says otherwise, whose cases ctest
# runs one by one, each in a process of its own; with ONE_PROCESS, ctest runs the program once,
# all its cases in one process (for cases that share one costly run, such as the whole show).
function(novaline_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "ONE_PROCESS" "NAME;PLATFORM" "SOURCES;LINK;ENVIRONMENT;LABELS")
  if(NOT arg_PLATFORM)
    set(arg_PLATFORM platform_headless)
  endif()
  add_executable(${arg_NAME} ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LINK} GTest::gtest GTest::gtest_main)
  novaline_platform(${arg_NAME} ${arg_PLATFORM})
  set(properties)
  if(arg_ENVIRONMENT)
    list(JOIN arg_ENVIRONMENT ";" environment)
    list(APPEND properties ENVIRONMENT "${environment}")
  endif()
  if(arg_LABELS)
    list(APPEND properties LABELS "${arg_LABELS}")
  endif()
  if(arg_ONE_PROCESS)
    add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
    if(properties)
      set_tests_properties(${arg_NAME} PROPERTIES ${properties})
    endif()
  else()
    gtest_discover_tests(${arg_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()

# A build can embed the files another (native) build's generators wrote, from its assets folder,
# instead of making them itself: the web build must (its generators would be WebAssembly), and the
# sanitizer builds do, so the assets are made once. There is no default: a guessed folder could
# hold another tree's, or an older, set of files.
set(NOVALINE_ASSET_DIR "" CACHE PATH
    "The assets folder of a native build whose generated files this build embeds (empty: make them)")
if(NOVALINE_ASSET_DIR STREQUAL "${PROJECT_BINARY_DIR}/assets")
  # A build's own folder (a cache made when that was the default) means: make them here.
  set_property(CACHE NOVALINE_ASSET_DIR PROPERTY VALUE "")
  set(NOVALINE_ASSET_DIR "")
endif()
if(EMSCRIPTEN AND NOT NOVALINE_ASSET_DIR)
  message(FATAL_ERROR "A web build embeds a native build's generated files: give its folder with "
                      "-DNOVALINE_ASSET_DIR=<native build>/assets (./build.sh web does)")
endif()

# novaline_embed(NAME symbol GENERATOR program [ARGS args...] [ALIGN bytes] [MIN_OFFSET bytes]
#                [SIZE bytes | MIN_SIZE bytes] [DESCRIPTION text])
# Runs `program OUTPUT args...` at build time and places what it wrote in the embedded data block,
# in the order of the calls, at an offset that is a multiple of ALIGN (default 16) and at least
# MIN_OFFSET. The build stops when the output is not SIZE bytes, or shorter than MIN_SIZE. Code reads it through the generated assets/embedded_data.h as `symbol` (its bytes)
# and `symbolBytes` (their count). Call it from assets/ only, before novaline_embedded_block().
function(novaline_embed)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;GENERATOR;ALIGN;MIN_OFFSET;SIZE;MIN_SIZE;DESCRIPTION"
                        "ARGS")
  if(NOT arg_NAME OR NOT arg_GENERATOR)
    message(FATAL_ERROR "novaline_embed needs NAME and GENERATOR")
  endif()
  if(arg_DESCRIPTION MATCHES "[|;]")
    message(FATAL_ERROR "novaline_embed ${arg_NAME}: the DESCRIPTION may not hold '|' or ';'")
  endif()
  if(NOT arg_ALIGN)
    set(arg_ALIGN 16)
  endif()
  if(NOT arg_MIN_OFFSET)
    set(arg_MIN_OFFSET 0)
  endif()
  # The layout checks sizes as a range: SIZE is the range of one value.
  set(maxSize "")
  if(arg_SIZE)
    set(arg_MIN_SIZE ${arg_SIZE})
    set(maxSize ${arg_SIZE})
  elseif(NOT arg_MIN_SIZE)
    set(arg_MIN_SIZE 0)
  endif()
  set_property(GLOBAL APPEND PROPERTY NOVALINE_GENERATORS ${arg_GENERATOR})
  if(NOVALINE_ASSET_DIR)
    set(output ${NOVALINE_ASSET_DIR}/${arg_NAME}.bin)
    if(NOT EXISTS ${output})
      message(FATAL_ERROR "novaline_embed ${arg_NAME}: ${output} is missing; build the native "
                          "build whose assets NOVALINE_ASSET_DIR names first")
    endif()
  else()
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}.bin)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${arg_GENERATOR} ${output} ${arg_ARGS}
      DEPENDS ${arg_GENERATOR}
      COMMENT "Generating ${arg_NAME} with ${arg_GENERATOR}"
      VERBATIM)
  endif()
  set_property(GLOBAL APPEND PROPERTY NOVALINE_EMBEDDED
    "${arg_NAME}|${output}|${arg_ALIGN}|${arg_MIN_OFFSET}|${arg_MIN_SIZE}|${maxSize}|${arg_DESCRIPTION}")
endfunction()

# The `assets` library: the data block of every novaline_embed call so far, laid out at build time
# (when the sizes are known) by embed_layout.cmake, and its header, written now (the names are
# known).
function(novaline_embedded_block)
  get_property(entries GLOBAL PROPERTY NOVALINE_EMBEDDED)
  set(files)
  set(layout)
  set(declarations)
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 file)
    list(GET fields 2 align)
    list(GET fields 3 minOffset)
    list(GET fields 4 minSize)
    list(GET fields 5 maxSize)
    list(GET fields 6 description)
    list(APPEND files ${file})
    list(APPEND layout "${name}|${file}|${align}|${minOffset}|${minSize}|${maxSize}")
    if(description)
      string(APPEND declarations "// ${description}\n")
    endif()
    string(APPEND declarations "extern const uint8_t ${name}[];\nextern const uint32_t ${name}Bytes;\n")
  endforeach()

  set(generated ${PROJECT_BINARY_DIR}/generated/assets)
  file(MAKE_DIRECTORY ${generated}/assets)
  set(NOVALINE_EMBEDDED_DECLARATIONS "${declarations}")
  configure_file(${PROJECT_SOURCE_DIR}/assets/embedded_data.h.in
                 ${generated}/assets/embedded_data.h @ONLY)

  set(block ${CMAKE_CURRENT_BINARY_DIR}/embedded_block.S)
  list(JOIN layout ";" layoutArgument)
  add_custom_command(
    OUTPUT ${block}
    COMMAND ${CMAKE_COMMAND} "-DLAYOUT=${layoutArgument}" -DOUTPUT=${block} -DWASM=${EMSCRIPTEN}
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_layout.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/embed_layout.cmake
    COMMENT "Laying out the embedded data block"
    VERBATIM)
  set_source_files_properties(${block} PROPERTIES OBJECT_DEPENDS "${files}")
  add_library(assets STATIC ${block})
  target_include_directories(assets PUBLIC ${generated})
endfunction()

# With the assets taken from another build, the generators' folders are left out of this build's
# `all`: what of them the tests or tools link is still built for them.
function(novaline_leave_out_generators)
  if(NOT NOVALINE_ASSET_DIR)
    return()
  endif()
  get_property(generators GLOBAL PROPERTY NOVALINE_GENERATORS)
  list(REMOVE_DUPLICATES generators)
  foreach(generator IN LISTS generators)
    get_target_property(folder ${generator} SOURCE_DIR)
    set_property(DIRECTORY ${folder} PROPERTY EXCLUDE_FROM_ALL ON)
  endforeach()
endfunction()
