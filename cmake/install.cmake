# Installed tree: headers, both libraries, a CMake package (zalcv::zalcv,
# zalcv::zalcore) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS zalcv zalcore EXPORT zalcvTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT zalcvTargets NAMESPACE zalcv::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zalcv)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zalcvConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zalcvConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zalcv)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zalcvConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zalcvConfig.cmake ${PROJECT_BINARY_DIR}/zalcvConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zalcv)

set(ZALCV_PC_OPENMP_FLAGS "${OpenMP_CXX_FLAGS}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zalcv.pc.in ${PROJECT_BINARY_DIR}/zalcv.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zalcv.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
