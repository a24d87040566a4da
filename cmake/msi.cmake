# The Windows installer: `cmake --build <mingw build> --target msi` writes
# pixel-sampler-<version>-x64.msi with wixl (Debian's wixl, msitools). It holds
# the very .exe the build makes.
find_program(WIXL wixl)
find_program(MSIBUILD msibuild)
find_program(FAKETIME faketime)
if(NOT WIXL OR NOT MSIBUILD OR NOT FAKETIME)
    message(STATUS "No MSI target: it needs wixl, msibuild (msitools) and faketime")
    return()
endif()

# Every package replaces the one installed: the upgrade code never changes, and
# each build is a product of its own (a major upgrade), so that a rebuild of one
# version goes over the other too. Everything else is derived from the upgrade
# code, the version and the build's time, so that the same commit gives the same
# installer.
set(msi_manufacturer "the pixel-sampler authors")
set(msi_upgrade_code 6F2B8A31-4C1D-4E77-9A0B-5D3E2C1F7A60)
string(UUID msi_product_code NAMESPACE ${msi_upgrade_code}
       NAME "product ${PROJECT_VERSION} ${PIXEL_SAMPLER_EPOCH}" TYPE SHA1 UPPER)
string(UUID msi_package_code NAMESPACE ${msi_upgrade_code}
       NAME "package ${PROJECT_VERSION} ${PIXEL_SAMPLER_EPOCH}" TYPE SHA1 UPPER)
foreach(component component folder)
    string(UUID msi_${component}_code NAMESPACE ${msi_upgrade_code} NAME "component ${component}"
           TYPE SHA1 UPPER)
endforeach()
# wixl takes its files by name from the folder it runs in, or else the .wxs's:
# they are put there, and it runs there.
set(stage ${CMAKE_CURRENT_BINARY_DIR}/msi)
configure_file(resources/pixel-sampler.wxs.in ${stage}/pixel-sampler.wxs @ONLY)
# Windows Installer compares only the first three fields of a version: a
# rebuild, or a release that changes only the fourth field, counts as the same
# version, which MajorUpgrade leaves installed beside it. Its upgrade row is
# made to take the same version too (MigrateFeatures | VersionMaxInclusive, as
# WiX's AllowSameVersionUpgrades writes it). The price, as ever with that
# setting: of two packages that differ in the fourth field alone, the one
# installed last stays, whichever is newer.
set(msi_upgrade_row "'{${msi_upgrade_code}}', '${PROJECT_VERSION}', 513, 'WIX_UPGRADE_DETECTED'")
# wixl stamps the package with the clock's time, its files with theirs, and a
# random package code: the clock (stopped: -f, an absolute time with no "@")
# and the files are held at the build's time, and the code set afterwards.
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${PIXEL_SAMPLER_EPOCH})
string(TIMESTAMP msi_time "%Y-%m-%d %H:%M:%S" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
set(msi ${CMAKE_CURRENT_BINARY_DIR}/pixel-sampler-${PROJECT_VERSION}-x64.msi)
add_custom_command(OUTPUT ${msi}
                   COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:pixel-sampler>
                           ${PROJECT_SOURCE_DIR}/resources/icon/pixel-sampler.ico ${stage}
                   COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${stage}/LICENSE.txt
                   COMMAND touch -d @${PIXEL_SAMPLER_EPOCH} ${stage}/pixel-sampler.exe
                           ${stage}/pixel-sampler.ico ${stage}/LICENSE.txt
                   COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${msi_time}
                           ${WIXL} --arch x64 -o ${msi} ${stage}/pixel-sampler.wxs
                   COMMAND ${MSIBUILD} ${msi} -s "pixel-sampler ${PIXEL_SAMPLER_VERSION_TEXT} installer"
                           "${msi_manufacturer}" "x64$<SEMICOLON>1033" "{${msi_package_code}}"
                   COMMAND ${MSIBUILD} ${msi}
                           -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
                           -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES (${msi_upgrade_row})"
                   DEPENDS pixel-sampler ${stage}/pixel-sampler.wxs
                           ${PROJECT_SOURCE_DIR}/resources/icon/pixel-sampler.ico
                           ${PROJECT_SOURCE_DIR}/LICENSE
                   WORKING_DIRECTORY ${stage} VERBATIM)
add_custom_target(msi DEPENDS ${msi})
