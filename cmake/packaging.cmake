# What `cmake --install` puts in place on Linux, and the .deb that `cpack -G DEB`
# makes of it. The run-time dependencies come from dpkg-shlibdeps.
install(TARGETS pixel-sampler RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/pixel-sampler.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32)
    install(FILES resources/icon/pixel-sampler-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pixel-sampler.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pixel-sampler)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "pixel-sampler")
set(CPACK_PACKAGE_CONTACT "pixel-sampler maintainers <maintainers@pixel-sampler.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
