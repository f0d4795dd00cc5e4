# What `cmake --install` puts where, and the Debian package CPack makes of it: the four programs,
# their manual pages, the documents and, where it was built, the web page. Nothing else is
# installed (no generators, tests, benchmarks or libraries).
include(GNUInstallDirs)

# Folders the install makes are 0755 whatever the umask, as a package's must be.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(NOVALINE_MAN_DIR ${PROJECT_BINARY_DIR}/man)
find_program(NOVALINE_GZIP gzip REQUIRED)

# novaline_install_program(target PAGE page.N)
# Installs the program and its hand-written manual page `page.N` (beside its sources, section N
# from the name) compressed as Debian keeps them, in share/man/manN. The page's tests compare it
# with the program's --help and render it through man.
function(novaline_install_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PAGE" "")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(page ${CMAKE_CURRENT_SOURCE_DIR}/${arg_PAGE})
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${name})
  set(packed ${NOVALINE_MAN_DIR}/${name}.gz)
  # -n leaves the name and time out, so the same page packs to the same bytes.
  add_custom_command(
    OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NOVALINE_MAN_DIR}
    COMMAND ${NOVALINE_GZIP} -9 -n -c ${page} > ${packed}
    DEPENDS ${page}
    COMMENT "Packing the manual page ${name}")
  add_custom_target(${target}_man_page ALL DEPENDS ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  set_property(GLOBAL APPEND PROPERTY NOVALINE_MAN_PAGES "${target}=${page}")
endfunction()

# The documents: the README, the licence, and Debian's copyright file (this project's licence and
# the licence of the font the captions are rasterised from) and changelog.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^novaline \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with '${changelog_top}': its first entry must be "
                      "the project's version, ${PROJECT_VERSION}")
endif()
set(packed_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${packed_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  COMMAND ${NOVALINE_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${packed_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(packed_changelog ALL DEPENDS ${packed_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/packaging/copyright ${packed_changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The web page, from the web build's folder, only where it was built; whether it was is known only
# when the install runs, since the page may be built after this tree was configured. The three
# files go together or not at all (the install test holds the install to that).
set(NOVALINE_WEB_BUILD_DIR "${PROJECT_SOURCE_DIR}/build-web" CACHE PATH
    "The web build whose page the install takes, where it was built")
set(web_files index.html novaline.js novaline.wasm)
list(TRANSFORM web_files PREPEND "${NOVALINE_WEB_BUILD_DIR}/")
install(CODE "
  set(web_files \"${web_files}\")
  if(EXISTS \"${NOVALINE_WEB_BUILD_DIR}/novaline.wasm\")
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/novaline/web\"
         TYPE FILE FILES \${web_files})
  endif()")

# The Debian package (`cpack -G DEB` in a Release tree, as `./build.sh package` does): installed
# under /usr, its programs stripped, its library dependencies found from the programs by
# dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME novaline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Novaline developers <novaline@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo with its XM player and renderer")
# Lines of at most 80 columns, as Debian's control file wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Novaline takes the screen, plays an XM music module through its own replay\n"
  "engine and runs a fixed show of eight software-rendered 320 x 200 scenes\n"
  "timed by the song. All it needs is built into the program.\n"
  "\n"
  "Beside the demo: xmrender renders any XM module offline to WAV, novaline-play\n"
  "plays one live on the sound card, and novaline-capture records the show to\n"
  "PNG frames, WAV and video (with ffmpeg).")
# Not "games": Debian keeps that section's programs in /usr/games, and these are in /usr/bin.
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The capture's --video runs the ffmpeg program; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
