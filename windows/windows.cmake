# The Windows program: version resource and icon in the executable, the DLLs and Qt plugins it
# loads laid out beside it, and `windows_package`, the portable zip and the NSIS installer.
# Cross-built with MinGW-w64 against the SDK of scripts/build-windows-sdk.
find_program(ICOTOOL icotool REQUIRED)
find_program(MAKENSIS makensis REQUIRED)

set(VELTRANO_ICO ${CMAKE_BINARY_DIR}/icons/veltrano.ico)
add_custom_command(OUTPUT ${VELTRANO_ICO}
  COMMAND ${ICOTOOL} -c -o ${VELTRANO_ICO} ${CMAKE_BINARY_DIR}/icons/16x16.png
          ${CMAKE_BINARY_DIR}/icons/24x24.png ${CMAKE_BINARY_DIR}/icons/32x32.png
          ${CMAKE_BINARY_DIR}/icons/48x48.png ${CMAKE_BINARY_DIR}/icons/64x64.png
          ${CMAKE_BINARY_DIR}/icons/256x256.png
  DEPENDS ${VELTRANO_ICON_PNGS}
  COMMENT "Packing the Windows icon")
configure_file(${CMAKE_CURRENT_LIST_DIR}/veltrano.rc.in ${CMAKE_BINARY_DIR}/veltrano.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/veltrano.rc PROPERTIES OBJECT_DEPENDS ${VELTRANO_ICO})
target_sources(veltrano PRIVATE ${CMAKE_BINARY_DIR}/veltrano.rc)
# A window program: started from the Start menu it opens no console (see platform/Console.h).
set_target_properties(veltrano PROPERTIES WIN32_EXECUTABLE ON)

# What the program loads at run time, found in the SDK; ${VELTRANO_SDK} is its top folder.
get_filename_component(VELTRANO_SDK ${Qt6_DIR}/../../.. ABSOLUTE)
set(VELTRANO_DLLS
  ${VELTRANO_SDK}/bin/Qt6Core.dll ${VELTRANO_SDK}/bin/Qt6Gui.dll ${VELTRANO_SDK}/bin/Qt6Widgets.dll
  ${VELTRANO_SDK}/bin/libzip.dll ${VELTRANO_SDK}/bin/zlib1.dll
  ${VELTRANO_SDK}/bin/libstdc++-6.dll ${VELTRANO_SDK}/bin/libgcc_s_seh-1.dll
  ${VELTRANO_SDK}/bin/libwinpthread-1.dll)
add_custom_target(windows_runtime ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELTRANO_DLLS} ${VELTRANO_APP_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELTRANO_APP_DIR}/platforms ${VELTRANO_APP_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELTRANO_SDK}/plugins/platforms/qwindows.dll
          ${VELTRANO_APP_DIR}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELTRANO_SDK}/plugins/styles/qwindowsvistastyle.dll
          ${VELTRANO_APP_DIR}/styles
  COMMENT "Laying out the DLLs and Qt plugins beside veltrano.exe")
add_dependencies(windows_runtime application_folder)

# The portable zip and the installer, laid out by stage.sh from the application folder.
set(VELTRANO_PACKAGE ${CMAKE_BINARY_DIR}/package)
add_custom_target(windows_package
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/stage.sh ${VELTRANO_APP_DIR} ${VELTRANO_PACKAGE} ${PROJECT_VERSION}
  COMMAND ${CMAKE_COMMAND} -E copy ${VELTRANO_PACKAGE}/Veltrano-${PROJECT_VERSION}-win64.zip ${CMAKE_BINARY_DIR}
  COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSOURCE=${VELTRANO_PACKAGE}/installed
          -DICON=${VELTRANO_ICO} -DOUTFILE=${CMAKE_BINARY_DIR}/Veltrano-${PROJECT_VERSION}-setup.exe
          ${CMAKE_CURRENT_LIST_DIR}/installer.nsi
  COMMENT "Packing Veltrano-${PROJECT_VERSION}-win64.zip and Veltrano-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_dependencies(windows_package veltrano windows_runtime)
