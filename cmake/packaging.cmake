# What is installed, and the package, per platform. Linux: the program, its manual page and a
# Debian package. Windows: the .exe with a README for its users, the licence, the notices of the
# runtime linked into it and the manual as plain text, in a ZIP.
include(GNUInstallDirs)
# The manual page's header names the version of the project() line.
configure_file(doc/floating_point.1.in floating_point.1 @ONLY)
set(manual ${CMAKE_CURRENT_BINARY_DIR}/floating_point.1)
# Directories that an install makes are rwxr-xr-x whatever the umask: the packages' modes too.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                               WORLD_READ WORLD_EXECUTE)
if(WIN32 OR FP_WASM)
  # The notices of what the linker took from the compiler's and the C library's packages, traced
  # from the link map (scripts/link_origins.py); third_party.json is the same for the SBOM.
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  set(link_map ${CMAKE_CURRENT_BINARY_DIR}/floating_point.map)
  target_link_options(floating_point PRIVATE LINKER:-Map=${link_map})
  set(FP_THIRD_PARTY ${CMAKE_CURRENT_BINARY_DIR}/third_party)
  add_custom_command(OUTPUT ${FP_THIRD_PARTY}.txt ${FP_THIRD_PARTY}.json
                     COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/scripts/link_origins.py ${link_map}
                             $<TARGET_FILE_NAME:floating_point> ${FP_THIRD_PARTY} $<$<BOOL:${WIN32}>:crlf>
                     DEPENDS floating_point ${CMAKE_CURRENT_SOURCE_DIR}/scripts/link_origins.py VERBATIM)
  add_custom_target(third_party_notices ALL DEPENDS ${FP_THIRD_PARTY}.txt)
endif()
if(FP_WASM)
  return()
endif()
if(WIN32)
  # Texts in the ZIP have Windows' line ends.
  find_program(GROFF groff REQUIRED)
  find_program(SED sed REQUIRED)
  add_custom_command(OUTPUT floating_point.txt
                     COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
                             ${GROFF} -man -Tutf8 -P-cbou ${manual} | ${SED} "s/$/\r/" > floating_point.txt
                     DEPENDS ${manual} VERBATIM)
  add_custom_target(documents DEPENDS floating_point.txt)
  install(TARGETS floating_point RUNTIME DESTINATION .)
  # The README for Windows users says how to start and end the program, not how to build it.
  configure_file(doc/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE
                ${CMAKE_CURRENT_BINARY_DIR}/floating_point.txt DESTINATION .)
  install(FILES ${FP_THIRD_PARTY}.txt DESTINATION . RENAME THIRD-PARTY-NOTICES.txt)
  # The web page too, where the web preset has built it (build/web): it runs in any browser.
  set(FP_WEB_PAGE ${CMAKE_SOURCE_DIR}/build/web/floating_point.html CACHE FILEPATH "The web page that the ZIP carries")
  install(FILES ${FP_WEB_PAGE} DESTINATION . OPTIONAL)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # Debian wants the manual page and the changelog compressed, reproducibly (gzip -n).
  find_program(GZIP gzip REQUIRED)
  foreach(document ${manual} ${CMAKE_CURRENT_SOURCE_DIR}/doc/changelog)
    get_filename_component(name ${document} NAME)
    add_custom_command(OUTPUT ${name}.gz COMMAND ${GZIP} -9 -n -c ${document} > ${name}.gz DEPENDS ${document} VERBATIM)
  endforeach()
  add_custom_target(documents DEPENDS floating_point.1.gz changelog.gz)
  install(TARGETS floating_point RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A stripped install (the package's) also loses the sections Debian strips: the compilers' notes.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/floating_point\" COMMAND_ERROR_IS_FATAL ANY)
  endif()")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/floating_point.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The package is named floating-point: Debian package names have no underscore.
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz doc/copyright
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/floating-point)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "floating_point maintainers <maintainers@floating-point.invalid>")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "An interactive bilingual (English/Italian) console program for people
learning floating point. It turns a decimal number into the sign, exponent
and fraction fields of its IEEE 754 single-precision pattern, and a typed
bit pattern back into its normalised binary form, its binary digits and
its decimal value.")
  set(CPACK_DEBIAN_PACKAGE_SECTION math)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(FP_DEBIAN_ARCH)
    # A cross build (cmake/debian-arm64.cmake, debian-armhf.cmake): dpkg-shlibdeps reads the
    # target's libraries from Debian's own packages of that architecture (libstdc++6:arm64 ...),
    # whose symbols name the packages a Pi installs; the cross compilers' copies would name
    # packages of the build machine.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${FP_DEBIAN_ARCH})
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /lib/${FP_GNU_TRIPLE} /usr/lib/${FP_GNU_TRIPLE})
    if(NOT EXISTS /usr/lib/${FP_GNU_TRIPLE}/libstdc++.so.6)
      message(WARNING "The package's Depends need libstdc++6:${FP_DEBIAN_ARCH} (dpkg --add-architecture "
                      "${FP_DEBIAN_ARCH}; apt-get update; apt-get install libstdc++6:${FP_DEBIAN_ARCH}); "
                      "cpack refuses to pack without it.")
      set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/missing-target-libraries.cmake)
    endif()
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
# Building the program alone builds what is installed with it.
add_dependencies(floating_point documents)
