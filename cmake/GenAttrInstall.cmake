# Install rules: the library (a shared one with its SONAME), the public headers, a CMake
# package (find_package(GenAttr) -> GenAttr::genattr) and a pkg-config file;
# the reader library genattr_xml beside it, in the same package
# (GenAttr::genattr_xml) with a pkg-config file of its own.
include(CMakePackageConfigHelpers)

set(GENATTR_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/GenAttr")

set(GENATTR_INSTALL_TARGETS genattr)
if(TARGET genattr_xml)
  list(APPEND GENATTR_INSTALL_TARGETS genattr_xml)
endif()
install(TARGETS ${GENATTR_INSTALL_TARGETS} EXPORT GenAttrTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/genattr DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT GenAttrTargets NAMESPACE GenAttr:: DESTINATION ${GENATTR_CMAKE_DIR})

configure_package_config_file(cmake/GenAttrConfig.cmake.in
  "${PROJECT_BINARY_DIR}/GenAttrConfig.cmake" INSTALL_DESTINATION ${GENATTR_CMAKE_DIR})
write_basic_package_version_file("${PROJECT_BINARY_DIR}/GenAttrConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/GenAttrConfig.cmake"
  "${PROJECT_BINARY_DIR}/GenAttrConfigVersion.cmake" DESTINATION ${GENATTR_CMAKE_DIR})

# The .pc file finds its prefix from its own place (${pcfiledir}), so that an
# installation given another prefix at install time (cmake --install --prefix)
# or moved later still works.
file(RELATIVE_PATH GENATTR_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
string(REGEX REPLACE "/$" "" GENATTR_PC_TO_PREFIX "${GENATTR_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(GENATTR_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(GENATTR_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
# Users of the shared library take the import side of Export.h.
if(GENATTR_SHARED_LIBRARY)
  set(GENATTR_PC_DEFINES " -DGENATTR_SHARED")
else()
  set(GENATTR_PC_DEFINES "")
endif()
configure_file(cmake/genattr.pc.in "${PROJECT_BINARY_DIR}/genattr.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/genattr.pc" DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET genattr_xml)
  if(GENATTR_SHARED_LIBRARY)
    set(GENATTR_XML_PC_DEFINES " -DGENATTR_XML_SHARED")
  else()
    set(GENATTR_XML_PC_DEFINES "")
  endif()
  configure_file(cmake/genattr_xml.pc.in "${PROJECT_BINARY_DIR}/genattr_xml.pc" @ONLY)
  install(FILES "${PROJECT_BINARY_DIR}/genattr_xml.pc"
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
