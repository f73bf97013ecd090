# Everything that makes Pinnote an installed desktop program: the version and
# application id compiled in, the help pages, the icons, the installed files and the
# Debian package. Included by the top-level CMakeLists.txt once pinnote_lib and
# pinnote exist.
include(GNUInstallDirs)

# One reverse-DNS id names the desktop entry, the metainfo, the icon and the running
# program (QGuiApplication::setDesktopFileName), so desktops match them up.
set(PINNOTE_APP_ID com.example.pinnote)
set(PINNOTE_VERSION_TEXT "V${PROJECT_VERSION}")
set(PINNOTE_RELEASE_DATE 2026-12-08)
set(PINNOTE_GENERATED ${CMAKE_CURRENT_BINARY_DIR}/generated)

configure_file(src/app/BuildInfo.h.in ${PINNOTE_GENERATED}/app/BuildInfo.h @ONLY)
target_include_directories(pinnote_lib PUBLIC ${PINNOTE_GENERATED})

# Help pages: filled in with the version, then bundled into the program.
file(GLOB PINNOTE_HELP_PAGES CONFIGURE_DEPENDS resources/help/*.html)
foreach(page ${PINNOTE_HELP_PAGES})
    get_filename_component(page_name ${page} NAME)
    configure_file(${page} ${PINNOTE_GENERATED}/help/${page_name} @ONLY)
endforeach()
configure_file(resources/help/help.qrc ${PINNOTE_GENERATED}/help/help.qrc COPYONLY)
target_sources(pinnote_lib PRIVATE ${PINNOTE_GENERATED}/help/help.qrc)

# The desktop's icons: the drawing itself, and pixels at the usual sizes made from it.
set(PINNOTE_ICON_SVG ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/pinnote.svg)
set(PINNOTE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(PINNOTE_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons/hicolor)
set(PINNOTE_ICON_PNGS)
foreach(size ${PINNOTE_ICON_SIZES})
    list(APPEND PINNOTE_ICON_PNGS ${PINNOTE_ICON_DIR}/${size}x${size}/apps/${PINNOTE_APP_ID}.png)
endforeach()
add_executable(pinnote_iconpngs resources/IconPngs.cpp)
target_link_libraries(pinnote_iconpngs PRIVATE Qt6::Gui Qt6::Svg pinnote_warnings)
add_custom_command(OUTPUT ${PINNOTE_ICON_PNGS}
    COMMAND pinnote_iconpngs ${PINNOTE_ICON_SVG} ${PINNOTE_ICON_DIR} ${PINNOTE_APP_ID} ${PINNOTE_ICON_SIZES}
    DEPENDS pinnote_iconpngs ${PINNOTE_ICON_SVG}
    VERBATIM)

# Texts that carry the version or the id.
configure_file(resources/pinnote.desktop.in ${PINNOTE_GENERATED}/${PINNOTE_APP_ID}.desktop @ONLY)
configure_file(resources/pinnote.metainfo.xml.in ${PINNOTE_GENERATED}/${PINNOTE_APP_ID}.metainfo.xml @ONLY)
configure_file(resources/pinnote.1.in ${PINNOTE_GENERATED}/pinnote.1 @ONLY)
configure_file(resources/debian/changelog.in ${PINNOTE_GENERATED}/changelog @ONLY)

# Manual page and changelog go out compressed, as Debian wants them; -n keeps the
# bytes the same from build to build.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(PINNOTE_COMPRESSED)
foreach(text pinnote.1 changelog)
    add_custom_command(OUTPUT ${PINNOTE_GENERATED}/${text}.gz
        COMMAND ${GZIP_PROGRAM} -9nc ${PINNOTE_GENERATED}/${text} > ${PINNOTE_GENERATED}/${text}.gz
        DEPENDS ${PINNOTE_GENERATED}/${text})
    list(APPEND PINNOTE_COMPRESSED ${PINNOTE_GENERATED}/${text}.gz)
endforeach()
add_custom_target(pinnote_desktop_files ALL DEPENDS ${PINNOTE_ICON_PNGS} ${PINNOTE_COMPRESSED})

install(TARGETS pinnote RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PINNOTE_GENERATED}/${PINNOTE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PINNOTE_GENERATED}/${PINNOTE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PINNOTE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${PINNOTE_APP_ID}.svg)
foreach(size ${PINNOTE_ICON_SIZES})
    install(FILES ${PINNOTE_ICON_DIR}/${size}x${size}/apps/${PINNOTE_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PINNOTE_GENERATED}/pinnote.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/debian/copyright ${PINNOTE_GENERATED}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pinnote)

# cpack -G DEB in the build folder makes the Debian package.
set(CPACK_PACKAGE_NAME pinnote)
set(CPACK_PACKAGE_VENDOR "Brindle Software")
set(CPACK_PACKAGE_CONTACT "Brindle Software <pinnote@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small note pad that stays on top, with named pages")
# The synopsis is the summary above; cpack indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pinnote is one small window that stays above all other windows and shows
one page of notes at a time in an editor with a yellow background. The
pages are named on tabs along the bottom edge. Text can be found, exported
as plain text or Rich Text, and printed.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its windowing plugins at run time, where dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
