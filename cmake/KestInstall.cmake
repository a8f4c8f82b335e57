# Installation: the kest library with picdec.spi beside it (the library loads
# the plug-in from its own folder), the C header, kestctl and kestsim, a
# pkg-config file and a CMake package (find_package(kest) gives kest::kest).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KEST_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kest)

# Installed programs find the library through a path relative to themselves,
# so a prefix can be moved as a whole.
file(RELATIVE_PATH kest_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
foreach(program kestctl kestsim kestcfg)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${kest_bin_to_lib}")
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# A library built with sanitizers needs their run time in every program that
# loads it: the link flags say so to the programs built against the install.
set(KEST_INTERFACE_LINK_FLAGS "")
if(KEST_SANITIZE)
    set(KEST_INTERFACE_LINK_FLAGS "-fsanitize=${KEST_SANITIZE}")
    target_link_options(kest INTERFACE $<INSTALL_INTERFACE:-fsanitize=${KEST_SANITIZE}>)
endif()

install(TARGETS kest EXPORT kestTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS picdec LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/kest.h ${PROJECT_SOURCE_DIR}/include/kest_records.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT kestTargets NAMESPACE kest:: DESTINATION ${KEST_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kestConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/kestConfig.cmake INSTALL_DESTINATION ${KEST_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kestConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/kestConfigVersion.cmake DESTINATION ${KEST_INSTALL_CMAKEDIR})

file(RELATIVE_PATH KEST_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KEST_PC_TO_PREFIX "${KEST_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kest.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kest.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kest.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python module over the C interface. Debian's interpreter reads
# <prefix>/lib/python3/dist-packages for the prefix /usr; other prefixes go on
# PYTHONPATH. _install.py tells the module where the library lies from it.
set(KEST_INSTALL_PYTHONDIR lib/python3/dist-packages CACHE STRING
    "Where the Python module kest is installed: relative to the prefix, or absolute")
if(EXISTS ${PROJECT_SOURCE_DIR}/python/kest/__init__.py)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/kest DESTINATION ${KEST_INSTALL_PYTHONDIR}
        FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
    if(IS_ABSOLUTE "${KEST_INSTALL_PYTHONDIR}")
        # Outside the prefix (a virtual environment, say): the library's own path.
        set(KEST_PY_TO_LIB ${CMAKE_INSTALL_FULL_LIBDIR})
    else()
        file(RELATIVE_PATH KEST_PY_TO_LIB ${CMAKE_INSTALL_PREFIX}/${KEST_INSTALL_PYTHONDIR}/kest
            ${CMAKE_INSTALL_FULL_LIBDIR})
    endif()
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/python/_install.py
        "# Written at installation.\nLIBRARY_FROM_PACKAGE = \"${KEST_PY_TO_LIB}\"\n")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/python/_install.py
        DESTINATION ${KEST_INSTALL_PYTHONDIR}/kest)
    install(PROGRAMS ${PROJECT_SOURCE_DIR}/python/examples/camera_settings.py
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kest/examples)
endif()
