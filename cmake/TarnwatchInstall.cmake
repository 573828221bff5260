# What `cmake --install` puts where on Linux, and the .deb that CPack makes of it
# (scripts/package-deb.sh). Included by the top-level CMakeLists.txt after the targets exist.
include(GNUInstallDirs)
# The documentation folder is named after the package, not the project (GNUInstallDirs' DOCDIR
# would be share/doc/Tarnwatch).
set(TARNWATCH_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tarnwatch)
set(TARNWATCH_FULL_DOC_DIR ${CMAKE_INSTALL_FULL_DATADIR}/doc/tarnwatch)

set(TARNWATCH_LINUX_DATA ${PROJECT_SOURCE_DIR}/data/linux)
set(TARNWATCH_GENERATED_DATA ${PROJECT_BINARY_DIR}/data)

# systemd's own place for units under /usr (Debian 12 keeps them in /lib); another prefix keeps
# them under itself.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(default_unit_dir /lib/systemd/system)
else()
  set(default_unit_dir ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(TARNWATCH_SYSTEMD_UNIT_DIR ${default_unit_dir} CACHE PATH "Where the recorder's systemd unit is installed")

install(TARGETS tarnwatch-record RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnwatch)
  install(TARGETS tarnwatch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwatch.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# The program icon: the SVG, and the fixed sizes menus and panels pick from, drawn from it at
# build time when rsvg-convert (librsvg2-bin) is there.
set(icon_svg ${PROJECT_SOURCE_DIR}/packaging/tarnwatch.svg)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icon_pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${TARNWATCH_GENERATED_DATA}/icons/${size}/tarnwatch.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TARNWATCH_GENERATED_DATA}/icons/${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon_svg}
      DEPENDS ${icon_svg}
      COMMENT "Drawing the ${size} px program icon")
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(tarnwatch_icons ALL DEPENDS ${icon_pngs})
else()
  message(STATUS "rsvg-convert not found: only the scalable program icon is installed")
endif()

# The polkit action the desktop program's capture helper is started under (pkexec).
set(TARNWATCH_RECORD_PATH ${CMAKE_INSTALL_FULL_BINDIR}/tarnwatch-record)
configure_file(${TARNWATCH_LINUX_DATA}/org.tarnwatch.capture.policy.in
  ${TARNWATCH_GENERATED_DATA}/org.tarnwatch.capture.policy @ONLY)
install(FILES ${TARNWATCH_GENERATED_DATA}/org.tarnwatch.capture.policy
  DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

# The recorder as a service: its unit, its settings file and its options, both kept by the
# package manager as the administrator's files.
configure_file(${TARNWATCH_LINUX_DATA}/tarnwatch-record.service.in
  ${TARNWATCH_GENERATED_DATA}/tarnwatch-record.service @ONLY)
install(FILES ${TARNWATCH_GENERATED_DATA}/tarnwatch-record.service DESTINATION ${TARNWATCH_SYSTEMD_UNIT_DIR})
# (The full path: under the /usr prefix the system's configuration is /etc, not /usr/etc.)
install(FILES ${TARNWATCH_LINUX_DATA}/config.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/tarnwatch)
install(FILES ${TARNWATCH_LINUX_DATA}/tarnwatch-record.default
  DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default RENAME tarnwatch-record)

# The manual pages, compressed without a time stamp as Debian wants them.
set(man_pages)
foreach(page tarnwatch-record tarnwatch)
  if(page STREQUAL "tarnwatch" AND NOT TARGET tarnwatch)
    continue()
  endif()
  set(man_gz ${TARNWATCH_GENERATED_DATA}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${man_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TARNWATCH_GENERATED_DATA}/man
    COMMAND gzip -9n -c ${TARNWATCH_LINUX_DATA}/man/${page}.1 > ${man_gz}
    DEPENDS ${TARNWATCH_LINUX_DATA}/man/${page}.1
    COMMENT "Compressing the manual page of ${page}")
  list(APPEND man_pages ${man_gz})
  install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(tarnwatch_man_pages ALL DEPENDS ${man_pages})

# Documentation: the README, and what Debian wants of every package (copyright, a changelog
# compressed without a time stamp).
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${TARNWATCH_LINUX_DATA}/copyright
  DESTINATION ${TARNWATCH_DOC_DIR})
set(changelog_gz ${TARNWATCH_GENERATED_DATA}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9n -c ${TARNWATCH_LINUX_DATA}/changelog.Debian > ${changelog_gz}
  DEPENDS ${TARNWATCH_LINUX_DATA}/changelog.Debian
  COMMENT "Compressing the Debian changelog")
add_custom_target(tarnwatch_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${TARNWATCH_DOC_DIR})

# The .deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwatch)
set(CPACK_PACKAGE_VENDOR "Tarnwatch developers")
set(CPACK_PACKAGE_CONTACT "Tarnwatch developers <tarnwatch@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file system change recorder")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarnwatch records the changes made to files and folders (created, deleted,
renamed, written, attributes changed) while you watch, shows them as a tree
and a list, and exports a report.

tarnwatch-record is the same recorder without a window: it prints each change
as tab-separated text or JSON lines, and runs as a systemd service that writes
its JSON lines to the journal.")
# The package's first revision of this version (data/linux/changelog.Debian names the same).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec, adwaita-icon-theme, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarnwatch.example.org/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${TARNWATCH_LINUX_DATA}/debian/conffiles
  ${TARNWATCH_LINUX_DATA}/debian/postinst
  ${TARNWATCH_LINUX_DATA}/debian/prerm
  ${TARNWATCH_LINUX_DATA}/debian/postrm)
include(CPack)
