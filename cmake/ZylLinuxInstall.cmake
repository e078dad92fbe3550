# Installing on Linux: the program's own folder, its command, menu entry, icon and cable access rule,
# and the Debian package made of them (cpack -G DEB in the build folder).
include(GNUInstallDirs)

# The program, its help file and the driver library live together here, so the program binds the
# library beside it as it does in the build tree.
set(ZYL_INSTALL_APP_DIR lib/zylvek-rdm)

# zyl_install_command_link(<target> <command>)
# Installs bin/<command> as a relative link to the target in ZYL_INSTALL_APP_DIR.
function(zyl_install_command_link target command)
  set(link ${CMAKE_INSTALL_BINDIR}/${command})
  set(to ../${ZYL_INSTALL_APP_DIR}/$<TARGET_FILE_NAME:${target}>)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    message(STATUS \"Installing: \${link} -> ${to}\")
    file(CREATE_LINK \"${to}\" \"\${link}\" SYMBOLIC)")
endfunction()

set(zyl_linux_packaging ${CMAKE_SOURCE_DIR}/packaging/linux)
install(FILES ${zyl_linux_packaging}/zylvek-rdm.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${zyl_linux_packaging}/zylvek-rdm.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
# udev reads its rules from lib/udev/rules.d under /usr (and /); never lib/<multiarch>.
install(FILES ${zyl_linux_packaging}/70-zylvek-rdm.rules DESTINATION lib/udev/rules.d)

# The Debian package: zylvek-rdm_<version>_<arch>.deb; dependencies come from the libraries the
# installed files link (dpkg-shlibdeps), plus Qt's platform plug-ins, which nothing links.
include(${CMAKE_CURRENT_LIST_DIR}/ZylPackageInfo.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zylvek-rdm)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${zyl_linux_packaging}/postinst ${zyl_linux_packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE zyl_deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT zyl_deb_arch)
  set(zyl_deb_arch amd64)
endif()
set(CPACK_DEBIAN_FILE_NAME ${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_${zyl_deb_arch}.deb)
# Only what the program needs is installed: no test, fuzzer or benchmark.
include(CPack)
