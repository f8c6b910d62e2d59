# What `cmake --install` lays out, by component (one Debian package each, `make package`):
#   platform  lib[/<multiarch>]/libzuri_platform.so.<version> and its SONAME link (.so.<major>)
#   plugin    lib[/<multiarch>]/libeedb26.so.<version> and its SONAME link
#   tool      bin/eedb-replay
#             share/man/man1/eedb-replay.1.gz
#             share/bash-completion/completions/eedb-replay
#             share/eedb26/schemas/*.schema.json
#             share/doc/eedb26/: README.md, CHANGELOG.md, examples/ (the streams and host/), and
#               docs/ with the guides (replay.md, design.md, performance.md, formats.md,
#               host.md), where the README's links find them
#   dev       include/eedb26/: the platform's headers, in their folders (asic/, plugin/, ...)
#             lib[/<multiarch>]/libzuri_platform.so and libeedb26.so (the unversioned links)
#             lib[/<multiarch>]/cmake/eedb26/: find_package(eedb26 CONFIG), eedb26::platform and
#               eedb26::plugin
#             lib[/<multiarch>]/pkgconfig/eedb26.pc
install(DIRECTORY ${PROJECT_SOURCE_DIR}/schemas/ DESTINATION ${CMAKE_INSTALL_DATADIR}/eedb26/schemas
        COMPONENT tool FILES_MATCHING PATTERN "*.schema.json")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        COMPONENT tool FILES_MATCHING PATTERN "*.jsonl" PATTERN "*.cc" PATTERN "CMakeLists.txt")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/docs/replay.md ${PROJECT_SOURCE_DIR}/docs/design.md
              ${PROJECT_SOURCE_DIR}/docs/performance.md ${PROJECT_SOURCE_DIR}/docs/formats.md
              ${PROJECT_SOURCE_DIR}/docs/host.md ${PROJECT_SOURCE_DIR}/docs/bench-scaling.svg
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT tool)

# The CMake package: eedb26Config.cmake finds the platform's own dependencies (its headers
# include fmt's and Abseil's) and imports the targets; a host of another major version is
# refused, as the SONAME would.
include(CMakePackageConfigHelpers)
set(EEDB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/eedb26)
install(EXPORT eedb26Targets NAMESPACE eedb26:: DESTINATION ${EEDB_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/eedb26Config.cmake.in
                              ${PROJECT_BINARY_DIR}/eedb26Config.cmake
                              INSTALL_DESTINATION ${EEDB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/eedb26ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/eedb26Config.cmake ${PROJECT_BINARY_DIR}/eedb26ConfigVersion.cmake
        DESTINATION ${EEDB_CMAKE_DIR} COMPONENT dev)

# eedb26.pc, its prefix the one installed to (cmake --install --prefix, DESTDIR kept out).
set(EEDB_PC_PREFIX "@prefix@")
configure_file(${PROJECT_SOURCE_DIR}/cmake/eedb26.pc.in ${PROJECT_BINARY_DIR}/eedb26.pc.in @ONLY)
install(CODE "set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/eedb26.pc.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/eedb26.pc\" @ONLY)"
        COMPONENT dev)

# The Debian packages (target deb, `make package`): libzuri-platform0, libeedb26-0, eedb26 (the
# tool) and libeedb26-dev, each staged from its component by cmake/deb/build-debs.sh and packed
# with dpkg-deb, in <build>/deb/. The version is the project's, with the commit while
# CHANGELOG.md's latest section is "Unreleased" (cmake/BuildVersion.cmake).
add_custom_target(deb
                  COMMAND ${PROJECT_SOURCE_DIR}/cmake/deb/build-debs.sh ${PROJECT_SOURCE_DIR}
                          ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/deb ${EEDB_SOVERSION}
                  COMMENT "Packing the Debian packages into deb/"
                  VERBATIM)
add_dependencies(deb eedb26 zuri_platform eedb-replay eedb-replay-docs eedb_build_version)
