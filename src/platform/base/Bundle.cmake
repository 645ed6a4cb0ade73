# The resource bundle: its sources in mirelo_platform_base, a copy of resources/ in
# the build tree so that every program run from the build finds it, and the
# install rule for the installed programs.
target_sources(mirelo_platform_base PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Bundle.cpp ${CMAKE_CURRENT_LIST_DIR}/StringTable.cpp)

set(MIRELO_RESOURCES_BUILD_DIR "${CMAKE_BINARY_DIR}/resources")
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/Bundle.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS "MIRELO_BUILD_RESOURCES_DIR=\"${MIRELO_RESOURCES_BUILD_DIR}\""
                      "MIRELO_BUILD_TREE_DIR=\"${CMAKE_BINARY_DIR}\"")

# The copy mirrors the source folder: a file removed there goes here too.
file(GLOB_RECURSE _mirelo_resource_files CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/resources/*")
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/resources.stamp"
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${MIRELO_RESOURCES_BUILD_DIR}"
  COMMAND ${CMAKE_COMMAND} -E copy_directory "${PROJECT_SOURCE_DIR}/resources" "${MIRELO_RESOURCES_BUILD_DIR}"
  COMMAND ${CMAKE_COMMAND} -E touch "${CMAKE_BINARY_DIR}/resources.stamp"
  DEPENDS ${_mirelo_resource_files}
  COMMENT "Copying resources into the build tree"
  VERBATIM)
add_custom_target(mirelo_resources ALL DEPENDS "${CMAKE_BINARY_DIR}/resources.stamp")
add_dependencies(mirelo_platform_base mirelo_resources)

install(DIRECTORY "${PROJECT_SOURCE_DIR}/resources/"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/mirelo-updater")
