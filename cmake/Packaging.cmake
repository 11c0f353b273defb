# How other projects consume the library: install rules, the CMake package gestal::gestal (from an
# install prefix or from this build tree) and a pkg-config file. The package files locate
# everything relative to themselves, so `cmake --install --prefix P` may pick any P.
include(CMakePackageConfigHelpers)

set(GESTAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/gestal)
set(GESTAL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/gestal)
set(GESTAL_MODEL_NAME gestal_gesture_adaboost)

write_basic_package_version_file(${PROJECT_BINARY_DIR}/gestalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)

# The build tree as a package: find_package(gestal) with gestal_DIR set to this build directory.
set(GESTAL_MODEL_FILE ${PROJECT_SOURCE_DIR}/models/${GESTAL_MODEL_NAME})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/gestalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/gestalConfig.cmake
  INSTALL_DESTINATION . INSTALL_PREFIX ${PROJECT_BINARY_DIR} PATH_VARS GESTAL_MODEL_FILE)
export(TARGETS gestal NAMESPACE gestal:: FILE ${PROJECT_BINARY_DIR}/gestalTargets.cmake)

if(NOT GESTAL_INSTALL)
  return()
endif()

install(TARGETS gestal EXPORT gestalTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/gestal.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/models/${GESTAL_MODEL_NAME} DESTINATION ${GESTAL_DATA_DIR})
file(GLOB GESTAL_DOCS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${GESTAL_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT gestalTargets NAMESPACE gestal:: DESTINATION ${GESTAL_CMAKE_DIR})
set(GESTAL_MODEL_FILE ${GESTAL_DATA_DIR}/${GESTAL_MODEL_NAME})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/gestalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/install/gestalConfig.cmake
  INSTALL_DESTINATION ${GESTAL_CMAKE_DIR} PATH_VARS GESTAL_MODEL_FILE)
install(FILES ${PROJECT_BINARY_DIR}/install/gestalConfig.cmake
  ${PROJECT_BINARY_DIR}/gestalConfigVersion.cmake DESTINATION ${GESTAL_CMAKE_DIR})

# pkg-config finds the prefix from where the .pc file lies.
file(RELATIVE_PATH GESTAL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" GESTAL_PC_TO_PREFIX "${GESTAL_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/gestal.pc.in ${PROJECT_BINARY_DIR}/install/gestal.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/install/gestal.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
