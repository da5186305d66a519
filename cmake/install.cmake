# What `cmake --install` lays out: the shared library, the public headers, the
# `istrel` tool, a CMake package (Istrel::istrel) and istrel.pc. The static
# libraries the tools and tests link stay in the build tree.
include(CMakePackageConfigHelpers)

set(ISTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Istrel)

install(TARGETS istrel EXPORT IstrelTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES include/istrel/istrel.h ${PROJECT_BINARY_DIR}/include/istrel/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/istrel COMPONENT Development)
if(TARGET istrel_cli)
  install(TARGETS istrel_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT IstrelTargets NAMESPACE Istrel:: DESTINATION ${ISTREL_CMAKE_DIR}
  COMPONENT Development)
configure_package_config_file(cmake/IstrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/IstrelConfig.cmake INSTALL_DESTINATION ${ISTREL_CMAKE_DIR})
# The SONAME carries the major version: only the same major version fits.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/IstrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/IstrelConfig.cmake
  ${PROJECT_BINARY_DIR}/IstrelConfigVersion.cmake
  DESTINATION ${ISTREL_CMAKE_DIR} COMPONENT Development)

# istrel.pc finds its prefix relative to itself, so the installed tree can move.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ISTREL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH ISTREL_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" ISTREL_PC_UP "${ISTREL_PC_UP}")
  set(ISTREL_PC_PREFIX "\${pcfiledir}/${ISTREL_PC_UP}")
endif()
cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_LIBDIR BASE_DIRECTORY "\${prefix}"
  OUTPUT_VARIABLE ISTREL_PC_LIBDIR)
cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_INCLUDEDIR BASE_DIRECTORY "\${prefix}"
  OUTPUT_VARIABLE ISTREL_PC_INCLUDEDIR)
configure_file(cmake/istrel.pc.in ${PROJECT_BINARY_DIR}/istrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/istrel.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
