# Installation and the package files: the shared library with its headers,
# the program, a CMake package (find_package(masscal) gives masscal::masscal)
# and a pkg-config file. Refers only to the targets masscal and masscal_cli.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# A sanitized library needs the sanitizers' runtime in every program that
# links it.
set(masscal_pc_link_options "")
if(MASSCAL_SANITIZE)
  set_property(TARGET masscal APPEND PROPERTY INTERFACE_LINK_OPTIONS -fsanitize=address,undefined)
  set(masscal_pc_link_options " -fsanitize=address,undefined")
endif()

# The installed program finds the library beside it in the prefix.
file(RELATIVE_PATH masscal_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set_target_properties(masscal_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${masscal_bin_to_lib}")

install(TARGETS masscal EXPORT masscalTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS masscal_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/masscal DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")

set(masscal_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/masscal)
install(EXPORT masscalTargets NAMESPACE masscal:: DESTINATION ${masscal_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/masscalConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/masscalConfig.cmake INSTALL_DESTINATION ${masscal_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/masscalConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/masscalConfig.cmake ${PROJECT_BINARY_DIR}/masscalConfigVersion.cmake
        DESTINATION ${masscal_cmake_dir})

# The prefix is found from the .pc file's own place, so the package works
# wherever `cmake --install --prefix` puts it.
set(masscal_pc_libdir "${CMAKE_INSTALL_LIBDIR}")
set(masscal_pc_includedir "${CMAKE_INSTALL_INCLUDEDIR}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(masscal_pc_prefix "${CMAKE_INSTALL_PREFIX}")
  set(masscal_pc_libdir_full "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH masscal_pc_up "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
  string(REGEX REPLACE "/$" "" masscal_pc_up "${masscal_pc_up}")
  set(masscal_pc_prefix "\${pcfiledir}/${masscal_pc_up}")
  set(masscal_pc_libdir_full "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(masscal_pc_includedir_full "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(masscal_pc_includedir_full "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/masscal.pc.in ${PROJECT_BINARY_DIR}/masscal.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/masscal.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
