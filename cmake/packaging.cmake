# What `cmake --install` puts in place on Linux, and the .deb that `cpack -G DEB`
# makes of it. The run-time dependencies come from dpkg-shlibdeps.
set(app_id invalid.pixel_sampler.PixelSampler)  # the AppStream id and the desktop entry's name
install(TARGETS pixel-sampler RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES resources/icon/pixel-sampler-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pixel-sampler.png)
endforeach()

# The manual page and the changelog go in compressed, as Debian's policy asks:
# gzip -n keeps the package reproducible.
set(compressed)
foreach(pair "pixel-sampler.1|pixel-sampler.1.gz" "debian/changelog|changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 output)
    add_custom_command(OUTPUT ${output}
                       COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/${source} > ${output}
                       DEPENDS resources/${source})
    list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${output})
endforeach()
add_custom_target(compressed-docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pixel-sampler.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pixel-sampler)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the pixel-sampler authors")
set(CPACK_PACKAGE_CONTACT "pixel-sampler maintainers <maintainers@pixel-sampler.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "colours of the 3 x 3 screen pixels under the mouse cursor")
set(CPACK_PACKAGE_DESCRIPTION
    "A small desktop utility for checking colours on the screen exactly. Two
seconds after its button is pressed it reads the pixel under the mouse
cursor and its eight neighbours, shows them in a 3 x 3 grid laid out as the
pixels lie, lists the nine colour values and shows their mean.
.
It reads physical screen pixels from the X server at any colour depth, on
several monitors and at any scale factor, and on Wayland desktops: GNOME and
KDE Plasma through the desktop's screen sharing portal, and wlroots desktops
(sway, Hyprland, river, Wayfire, labwc) from the compositor itself, with no
dialog. For designers,
developers and anyone who needs to know what colour a pixel really is.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Wayland: a native window, and the screen read through the desktop's portal.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-desktop-portal")
set(CPACK_STRIP_FILES ON)
# cpack stamps every file with SOURCE_DATE_EPOCH where it is set: the build's.
configure_file(cmake/cpack-project.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/cpack-project.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack-project.cmake)
include(CPack)
