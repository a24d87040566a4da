# Wayland protocols' client code, generated with wayland-scanner from their
# descriptions: wayland_protocols(TARGET XML...) adds the code to TARGET and its
# header folder to TARGET's include path.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT WAYLAND_PROTOCOLS_DIR)
    message(FATAL_ERROR "wayland-protocols not found (Debian: wayland-protocols)")
endif()

function(wayland_protocols target)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/protocols)
    foreach(xml ${ARGN})
        get_filename_component(name ${xml} NAME_WE)
        add_custom_command(OUTPUT ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
                           COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${out}/${name}-client-protocol.h
                           COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${out}/${name}-protocol.c
                           DEPENDS ${xml} VERBATIM)
        target_sources(${target} PRIVATE ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c)
    endforeach()
    target_include_directories(${target} PRIVATE ${out})
    target_link_libraries(${target} PRIVATE PkgConfig::WAYLAND)
endfunction()
