# What every package of the tool says about it (the Debian package, the Windows installer and the
# executable's version resource): its name, its maker, its version, and where packages land.
set(ZYL_PRODUCT_NAME "ZYL VEK RDM Tool")
set(ZYL_MAKER "ZYL Lighting")

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${ZYL_MAKER})
set(CPACK_PACKAGE_CONTACT "ZYL service tools <service@zyl.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sets up a VEK fixture over DMX512 with RDM through a ZYL USB/DMX cable")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/dist)
