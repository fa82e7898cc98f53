# Installing the product (cmake --install) and its Debian package (cpack).
#
#   <prefix>/lib/zelmor-lumetra/   lumex with LUMEXRS.DLL and the manual
#                                  LumetraHelp/ beside it, sentrak, and
#                                  lumetra-kernel with its driver modules in
#                                  drivers/ beside it: each program finds what
#                                  it needs by its own folder
#   <prefix>/bin/                  lumex, sentrak and lumetra-kernel as links
#                                  to the above; the command-line tools
#   <prefix>/lib/systemd/system/   the kernel host's and sentrak's units
#   <prefix>/share/applications/   lumex's desktop entry
#   <prefix>/share/icons/hicolor/  the program's icon at the usual sizes
#
# Paths written into installed files are those of the prefix at install
# time, so the package (prefix /usr) and a local install agree.

set(LUMETRA_PKGLIB lib/zelmor-lumetra)
set(LUMETRA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

foreach(program lumex sentrak lumetra-kernel)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${LUMETRA_PKGLIB})
    install(CODE "
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
      file(CREATE_LINK ../${LUMETRA_PKGLIB}/${program} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\" SYMBOLIC)")
  endif()
endforeach()
foreach(tool lumetra-kctl lumetra-reg lumetra-smart lumetra-logdump lumetra-screenshot)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
if(TARGET lumex_resources)
  install(FILES $<TARGET_FILE:lumex_resources> DESTINATION ${LUMETRA_PKGLIB})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${LUMETRA_PKGLIB}/LumetraHelp)
endif()
if(TARGET blinkor)
  install(TARGETS blinkor LIBRARY DESTINATION ${LUMETRA_PKGLIB}/drivers)
endif()

# Files that name installed paths, written at install time.
function(lumetra_install_configured source destination)
  install(CODE "
    set(LUMETRA_INSTALL_FULL_PKGLIB \"\${CMAKE_INSTALL_PREFIX}/${LUMETRA_PKGLIB}\")
    set(LUMETRA_INSTALL_FULL_BIN \"\${CMAKE_INSTALL_PREFIX}/bin\")
    get_filename_component(name \"${source}\" NAME_WLE)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/\${name}\")
    configure_file(\"${source}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/\${name}\" @ONLY)")
endfunction()
lumetra_install_configured(${LUMETRA_PACKAGING}/systemd/zelmor-lumetra-kernel.service.in lib/systemd/system)
lumetra_install_configured(${LUMETRA_PACKAGING}/systemd/zelmor-lumetra-smart.service.in lib/systemd/system)
lumetra_install_configured(${LUMETRA_PACKAGING}/zelmor-lumetra.desktop.in share/applications)

foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/images/desktop_icon_${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME zelmor-lumetra.png)
endforeach()

# The Debian package: zelmor-lumetra_<version>_<arch>.deb, prefix /usr,
# library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelmor-lumetra)
set(CPACK_PACKAGE_VENDOR Zelmor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Disk activity LEDs and S.M.A.R.T. health monitor")
set(CPACK_PACKAGE_DESCRIPTION "A small skinned, always-on-top window with one activity LED per drive letter and the S.M.A.R.T. health and temperature of every disk, with the kernel host that runs the activity filter driver on this machine and the S.M.A.R.T. service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zelmor Lumetra maintainers <lumetra@zelmor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, adduser, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${LUMETRA_PACKAGING}/debian/postinst ${LUMETRA_PACKAGING}/debian/prerm ${LUMETRA_PACKAGING}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
