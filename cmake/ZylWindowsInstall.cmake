# Windows: the executable's version resource and icon, and the installer
# ZYLVEK_RDM-<version>-win64-setup.exe (cpack -G NSIS in the build folder; scripts/package-windows.sh
# runs it). The installer carries the folder the zips carry, as that script puts it together:
# `cmake --install` of this build, stripped, in ZYL_WINDOWS_INSTALL_TREE.
include(${CMAKE_CURRENT_LIST_DIR}/ZylPackageInfo.cmake)
enable_language(RC)

set(zyl_windows_packaging ${CMAKE_SOURCE_DIR}/packaging/windows)
set(ZYL_WINDOWS_ICON ${zyl_windows_packaging}/ZYLVEK_RDM.ico)
set(ZYL_WINDOWS_INSTALL_TREE ${CMAKE_BINARY_DIR}/package/installed)

# zyl_windows_version_resource(<executable target>)
# Gives the executable the program's icon and a version resource: product name, file and product
# version from the project's version, and the maker.
function(zyl_windows_version_resource target)
  set(ZYL_RC_TARGET ${target})
  set(ZYL_RC_FILE_NAME ${target}.exe)
  set(ZYL_RC_ICON ${ZYL_WINDOWS_ICON})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${zyl_windows_packaging}/ZYLVEK_RDM.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # The resource compiler's dependency scan sees includes, not the icon it embeds.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${ZYL_WINDOWS_ICON})
endfunction()

# The installer, from the template beside the other Windows packaging files: a 64-bit installer for
# all users into Program Files\<maker>\<product>, a Start-menu entry, a desktop shortcut when ticked,
# the uninstall entry of Settings, Apps, and a note on FTDI's driver when the PC lacks it.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME ZYLVEK_RDM)
set(CPACK_PACKAGE_FILE_NAME ZYLVEK_RDM-${PROJECT_VERSION}-win64-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${ZYL_PRODUCT_NAME}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "${ZYL_PRODUCT_NAME}")
set(CPACK_NSIS_PACKAGE_NAME "${ZYL_PRODUCT_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${ZYL_PRODUCT_NAME}")
set(CPACK_NSIS_COMPRESSOR lzma)
# No install run of its own: the folder the zips are made of, exactly.
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALLED_DIRECTORIES "${ZYL_WINDOWS_INSTALL_TREE};.")
set(CPACK_MODULE_PATH ${zyl_windows_packaging})
# Read by the template only.
set(CPACK_ZYL_EXECUTABLE ZYLVEK_RDM.exe)
set(CPACK_ZYL_ICON ${ZYL_WINDOWS_ICON})
set(CPACK_ZYL_SIDE_PICTURE ${zyl_windows_packaging}/installer-side.bmp)
set(CPACK_ZYL_MAKER_FOLDER "${ZYL_MAKER}")
include(CPack)
