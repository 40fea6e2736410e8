# The desktop integration: the menu entry, the AppStream metadata and the icon in every size,
# rendered from the one drawing. Included from the top level so the program can embed icons.
set(VELTRANO_APP_ID io.veltrano.Veltrano)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(VELTRANO_ICON_SVG ${CMAKE_CURRENT_LIST_DIR}/${VELTRANO_APP_ID}.svg)
set(VELTRANO_ICON_SIZES 16 24 32 48 64 128 256)
set(VELTRANO_ICON_PNGS)
foreach(size IN LISTS VELTRANO_ICON_SIZES)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${VELTRANO_ICON_SVG} -o ${png}
    DEPENDS ${VELTRANO_ICON_SVG}
    COMMENT "Rendering the ${size}px icon")
  list(APPEND VELTRANO_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${VELTRANO_APP_ID}.png)
endforeach()

add_custom_target(icons ALL DEPENDS ${VELTRANO_ICON_PNGS})

install(FILES ${VELTRANO_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VELTRANO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VELTRANO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VELTRANO_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${VELTRANO_APP_ID}.xml)
