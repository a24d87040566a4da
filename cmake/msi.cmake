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

# A later version upgrades in place: the upgrade code never changes. Everything
# else is derived from it, so that the same commit gives the same installer:
# the product code from the version, the package code from the version and the
# build's time.
set(msi_manufacturer "the pixel-sampler authors")
set(msi_upgrade_code 6F2B8A31-4C1D-4E77-9A0B-5D3E2C1F7A60)
string(UUID msi_product_code NAMESPACE ${msi_upgrade_code} NAME "product ${PROJECT_VERSION}"
       TYPE SHA1 UPPER)
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
                   DEPENDS pixel-sampler ${stage}/pixel-sampler.wxs
                           ${PROJECT_SOURCE_DIR}/resources/icon/pixel-sampler.ico
                           ${PROJECT_SOURCE_DIR}/LICENSE
                   WORKING_DIRECTORY ${stage} VERBATIM)
add_custom_target(msi DEPENDS ${msi})
