# What Tolvex ships and how CPack packs it: on Linux a Debian package
# (`make package`: cpack -G DEB), on Windows a portable zip
# (`make package-windows`: cpack -G ZIP from the MinGW-w64 cross build).
# Included from the top-level CMakeLists.txt before the program folders, so the
# install directories below are the ones their install() rules use.
#
# Every version number comes from project(): the package's version, the zip's
# name, the About box (tolvex/Version.h) and the Windows file version
# (tolvex/VersionResource.h, for the program's version resource).

if(WIN32)
  # The zip is portable: the programs sit at the top of its folder. A plain
  # variable, so a build folder whose cache already holds GNUInstallDirs'
  # "bin" still packages them there.
  set(CMAKE_INSTALL_BINDIR .)
endif()
include(GNUInstallDirs)

# The Windows file version has four parts: major.minor.0.revision.
set(TOLVEX_FILE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.${PROJECT_VERSION_PATCH}")
set(TOLVEX_FILE_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,${PROJECT_VERSION_PATCH}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/VersionResource.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/tolvex/VersionResource.h @ONLY)

set(TOLVEX_PACKAGE_MAINTAINER "Tolvex maintainers <maintainers@tolvex.org>"
    CACHE STRING "The Maintainer field of the Debian package")
set(TOLVEX_HOMEPAGE "https://tolvex.org/")

set(TOLVEX_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

set(CPACK_PACKAGE_NAME tolvex)
set(CPACK_PACKAGE_VENDOR "Tolvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TOLVEX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TOLVEX_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hardware and system information viewer")
set(CPACK_STRIP_FILES ON)
# Directories in the package are 0755 whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # A portable zip: the programs at the top of one folder named with the
  # version, beside the README, the docs/ its links lead to and the
  # copyright statement.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "tolvex-${PROJECT_VERSION}-win64")
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md DESTINATION .)
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/docs DESTINATION .)
  install(FILES ${TOLVEX_PACKAGING_DIR}/copyright DESTINATION . RENAME COPYRIGHT.txt)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TOLVEX_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOLVEX_HOMEPAGE})
  # The libraries the programs link, as dpkg-shlibdeps finds them, and the
  # device name databases the provider reads at run time.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "pci.ids, usb.ids")
  # xdg-open starts the browser for File, "Goto Tolvex web site"; DejaVu Sans
  # stands in for Verdana on the screens.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core")
  # The maintainer scripts a package with systemd units carries (as
  # dh_installsystemd writes them): systemd reloads its units, a removal
  # stops and masks the timer, a purge removes its links.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${TOLVEX_PACKAGING_DIR}/postinst ${TOLVEX_PACKAGING_DIR}/prerm ${TOLVEX_PACKAGING_DIR}/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  file(READ ${TOLVEX_PACKAGING_DIR}/description.txt tolvex_description)
  string(STRIP "${tolvex_description}" tolvex_description)
  # CPack puts the summary above it as the synopsis line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${tolvex_description}")

  # The manual pages (their footer names the version) and the changelog, in
  # the compressed form Debian installs them.
  set(tolvex_docs_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
  configure_file(docs/man/tolvex.1 ${tolvex_docs_dir}/tolvex.1 @ONLY)
  configure_file(docs/man/tolvex-query.1 ${tolvex_docs_dir}/tolvex-query.1 @ONLY)
  configure_file(packaging/changelog ${tolvex_docs_dir}/changelog COPYONLY)
  set(tolvex_compressed)
  foreach(name tolvex.1 tolvex-query.1 changelog)
    add_custom_command(
      OUTPUT ${tolvex_docs_dir}/${name}.gz
      COMMAND gzip -9 -n -c ${tolvex_docs_dir}/${name} > ${tolvex_docs_dir}/${name}.gz
      DEPENDS ${tolvex_docs_dir}/${name}
      COMMENT "Compressing ${name}"
      VERBATIM)
    list(APPEND tolvex_compressed ${tolvex_docs_dir}/${name}.gz)
  endforeach()
  add_custom_target(tolvex_packaging_docs ALL DEPENDS ${tolvex_compressed})

  install(FILES ${tolvex_docs_dir}/tolvex.1.gz ${tolvex_docs_dir}/tolvex-query.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${tolvex_docs_dir}/changelog.gz ${TOLVEX_PACKAGING_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvex)
  install(FILES ${TOLVEX_PACKAGING_DIR}/org.tolvex.Tolvex.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

include(CPack)
