# Install rules, also for a project that pulls this one in (CMakeLists.txt,
# SLOT_LIST_INSTALL): its exported targets may then link SlotList::slot_list.
include(CMakePackageConfigHelpers)

set(SLOT_LIST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/SlotList)

install(TARGETS slot_list EXPORT SlotListTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SLOT_LIST_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/slot_list)
# Not CMAKE_INSTALL_DOCDIR: GNUInstallDirs caches it with the name of the
# first project that includes it, which may be one that pulled this one in.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/SlotList)

install(EXPORT SlotListTargets NAMESPACE SlotList:: DESTINATION ${SLOT_LIST_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/SlotListConfig.cmake.in
  ${PROJECT_BINARY_DIR}/SlotListConfig.cmake
  INSTALL_DESTINATION ${SLOT_LIST_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/SlotListConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/SlotListConfig.cmake
  ${PROJECT_BINARY_DIR}/SlotListConfigVersion.cmake
  DESTINATION ${SLOT_LIST_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so that
# `cmake --install --prefix` anywhere gives a working file.
set(SLOT_LIST_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(SLOT_LIST_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(SLOT_LIST_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(SLOT_LIST_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH up "/${SLOT_LIST_PC_DIR}" "/")
  string(REGEX REPLACE "/$" "" up "${up}")
  set(SLOT_LIST_PC_PREFIX "\${pcfiledir}/${up}")
  set(SLOT_LIST_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(SLOT_LIST_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
if(SLOT_LIST_KIND STREQUAL "SHARED_LIBRARY")
  set(SLOT_LIST_PC_CFLAGS " -DSLOT_LIST_SHARED")
  set(SLOT_LIST_PC_LIBS "")
  set(SLOT_LIST_PC_LIBS_PRIVATE "-pthread")
else()
  # A static library brings its needs to every link.
  set(SLOT_LIST_PC_CFLAGS "")
  set(SLOT_LIST_PC_LIBS " -pthread")
  set(SLOT_LIST_PC_LIBS_PRIVATE "")
endif()
if(WIN32)
  set(SLOT_LIST_PC_LIBS "")
  set(SLOT_LIST_PC_LIBS_PRIVATE "")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/slot_list.pc.in ${PROJECT_BINARY_DIR}/slot_list.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/slot_list.pc DESTINATION ${SLOT_LIST_PC_DIR})
