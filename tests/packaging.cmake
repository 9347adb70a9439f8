# The Debian package, made by CPack from this build tree (stripped, as
# `make package` makes it from its Release tree) and checked: lintian, the
# control data and files, appstreamcli and desktop-file-validate, the manual
# pages under man --warnings, and an install and purge in a scratch root with
# its own dpkg database. Then the Windows zip, made from the cross build of
# tests/windows.cmake, and its listing. tests/packaging/check-package does
# the work; `make package` runs the same checks on its own package.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()

set(tolvex_check_package ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check-package)

set(tolvex_package_tools lintian appstreamcli desktop-file-validate dpkg-deb dpkg-shlibdeps
    man unzip systemctl deb-systemd-helper)
set(tolvex_package_missing)
foreach(tool ${tolvex_package_tools})
  string(MAKE_C_IDENTIFIER "TOLVEX_TOOL_${tool}" variable)
  find_program(${variable} ${tool})
  if(NOT ${variable})
    list(APPEND tolvex_package_missing ${tool})
  endif()
endforeach()

if(tolvex_package_missing)
  message(STATUS "Package tests skipped: ${tolvex_package_missing} missing "
                 "(scripts/install-deps installs them)")
elseif(NOT TARGET tolvex OR NOT TARGET tolvex-query)
  message(STATUS "Debian package tests skipped: the package needs the Qt program (TOLVEX_GUI=ON)")
else()
  # The checks get their folders as `make package` gives them: relative to
  # the repository's root, which they are run from.
  file(RELATIVE_PATH tolvex_deb_dir ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/package-test)
  file(RELATIVE_PATH tolvex_cpack_config ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
  add_test(NAME packaging.deb_build
           COMMAND ${tolvex_check_package} build ${tolvex_cpack_config} ${tolvex_deb_dir}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(packaging.deb_build PROPERTIES FIXTURES_SETUP tolvex_deb TIMEOUT 300)
  foreach(check lintian contents metadata manpages install)
    add_test(NAME packaging.deb_${check}
             COMMAND ${tolvex_check_package} ${check} ${tolvex_deb_dir} ${PROJECT_VERSION}
             WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
    set_tests_properties(packaging.deb_${check} PROPERTIES
      FIXTURES_REQUIRED tolvex_deb TIMEOUT 300)
  endforeach()
endif()

# What needs the other tests of this folder (the cross build that
# tests/windows.cmake defines, the install test) is set once every file of
# the folder has been read.
function(tolvex_finish_package_tests)
  # Installing this build tree completes the systemd units inside it
  # (integrations/), so CPack's install and the install test never run at once.
  foreach(test packaging.deb_build tolvex_install)
    if(TEST ${test})
      set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK tolvex_build_tree_install)
    endif()
  endforeach()
  if(NOT TARGET tolvex_windows OR tolvex_package_missing)
    return()
  endif()
  file(RELATIVE_PATH tolvex_zip_windows ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/windows)
  file(RELATIVE_PATH tolvex_zip_dir ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/package-test-windows)
  add_test(NAME packaging.windows_zip
           COMMAND ${tolvex_check_package} zip ${tolvex_zip_windows} ${tolvex_zip_dir} .
                   ${PROJECT_VERSION}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(packaging.windows_zip PROPERTIES TIMEOUT 300)
endfunction()
cmake_language(DEFER CALL tolvex_finish_package_tests)
