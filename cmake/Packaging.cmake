# What `cmake --install` puts beside the two programs, and the Debian package CPack builds of it.
include(GNUInstallDirs)

set(QUILLONDE_MAINTAINER "Quillonde developers <maintainers@users.noreply.c-seed-dc4aff73.example>")

if(QUILLONDE_GUI)
    install(FILES data/quillonde.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES data/quillonde-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quillonde.xml)
    include(cmake/Metainfo.cmake)
    install(FILES ${CMAKE_BINARY_DIR}/${QUILLONDE_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES data/icons/quillonde.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The icon theme's sizes, rendered at build time from the drawings the window's icon comes from.
    set(icon_folder ${CMAKE_BINARY_DIR}/icons/hicolor)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icons/icons.stamp
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                $<TARGET_FILE:make_icons> ${icon_folder}
        COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/icons/icons.stamp
        DEPENDS make_icons
        COMMENT "Drawing the icon theme's icons")
    add_custom_target(icons ALL DEPENDS ${CMAKE_BINARY_DIR}/icons/icons.stamp)
    install(DIRECTORY ${icon_folder} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# Debian wants manual pages and changelogs compressed, reproducibly.
find_program(GZIP gzip REQUIRED)
function(quillonde_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP} -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()
set(manual_pages)
foreach(program quillonde-cli quillonde)
    if(program STREQUAL "quillonde-cli" OR QUILLONDE_GUI)
        quillonde_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/${program}.1 ${CMAKE_BINARY_DIR}/${program}.1.gz)
        list(APPEND manual_pages ${CMAKE_BINARY_DIR}/${program}.1.gz)
    endif()
endforeach()
quillonde_gzip(${CMAKE_CURRENT_SOURCE_DIR}/data/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${manual_pages} ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillonde)
set(CPACK_PACKAGE_VENDOR "The Quillonde developers")
set(CPACK_PACKAGE_CONTACT "${QUILLONDE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "depth from water pressure and sound velocity profiles from CTD casts")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillonde converts water pressure in decibar into depth in metres, for\n\
fresh water by a fixed factor and for sea water by the UNESCO 1983\n\
algorithm with latitude-dependent gravity. It turns a CTD cast recorded by\n\
a Sea & Sun probe (a .TOB file) into a depth-thinned sound velocity profile\n\
in the ELAC .sva format that a multibeam echo sounder loads.\n\
.\n\
The package holds the desktop program and quillonde-cli, which converts\n\
many casts at once from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLONDE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin at run time, which no binary links against.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Reproducible: every time stamp in the package is the commit's (cpack_config.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_config.cmake)
set(CPACK_QUILLONDE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(CPack)
