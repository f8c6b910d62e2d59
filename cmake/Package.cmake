# What `cmake --install` lays out, and the Debian package of it (`cpack -G DEB`, `make package`):
#   bin/eedb-replay
#   lib[/<multiarch>]/libeedb26.so.<version> and libzuri_platform.so.<version>, with their
#     SONAME links (.so.<major>) and the unversioned links
#   share/man/man1/eedb-replay.1.gz
#   share/bash-completion/completions/eedb-replay
#   share/eedb26/schemas/*.schema.json
#   share/doc/eedb26/: README.md, CHANGELOG.md, examples/*.jsonl, and docs/ with the guides
#     (replay.md, design.md, performance.md, formats.md), where the README's links find them
install(DIRECTORY ${PROJECT_SOURCE_DIR}/schemas/ DESTINATION ${CMAKE_INSTALL_DATADIR}/eedb26/schemas
        FILES_MATCHING PATTERN "*.schema.json")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILES_MATCHING PATTERN "*.jsonl")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/replay.md ${PROJECT_SOURCE_DIR}/docs/design.md
              ${PROJECT_SOURCE_DIR}/docs/performance.md ${PROJECT_SOURCE_DIR}/docs/formats.md
              ${PROJECT_SOURCE_DIR}/docs/bench-scaling.svg
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME eedb26)
set(CPACK_PACKAGE_VENDOR "eedb26")
set(CPACK_PACKAGE_CONTACT "eedb26 maintainers <eedb26@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "EEDB table utilities of chip type 26 for the switch's hardware-programming agent")
set(CPACK_PACKAGE_DESCRIPTION
    "The plug-in libeedb26 translates software log entries into the chip's EEDB entry formats, "
    "writes the agent's hardware shadow and returns the SCHAN commands. The package holds the "
    "plug-in, its platform library, the replay tool eedb-replay with its man page and bash "
    "completion, JSON Schemas of its stream formats and example streams.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Depends: from the Debian packages of the libraries the binaries link (dpkg-shlibdeps); the
# package's own platform library is found in the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/platform)
set(CPACK_STRIP_FILES ON)
include(CPack)
