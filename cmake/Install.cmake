# Installed as a desktop program. The places are fixed, not GNUInstallDirs' choices: the program
# finds its resources at <prefix>/share/pulsedeck and its helper at <prefix>/lib/pulsedeck from
# where its own executable is (foundation::Bundle, sys::SystemProfiler).
#
# The desktop entry and the icon are named after the bundle identifier, the name the freedesktop
# specifications recommend for them: the entry is then the one an application lookup by identifier
# finds, the one the notifications' "desktop-entry" hint names, and no other program's
# "pulsedeck.desktop" can shadow it.
set(PULSEDECK_APP_ID local.dorvettin.Pulsedeck)
set(PULSEDECK_ICON_SIDES 16 22 24 32 48 64 128 256)

install(TARGETS pulsedeck RUNTIME DESTINATION bin)
install(TARGETS pulsedeck-profiler RUNTIME DESTINATION lib/pulsedeck)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION share/pulsedeck)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${PULSEDECK_APP_ID}.desktop
  DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${PULSEDECK_APP_ID}.svg
  DESTINATION share/icons/hicolor/scalable/apps)

# The manual page, naming the version it describes, compressed as Debian's policy asks (-n: the
# same bytes at every build).
set(manual ${CMAKE_BINARY_DIR}/man/pulsedeck.1)
configure_file(${CMAKE_SOURCE_DIR}/packaging/pulsedeck.1.in ${manual} @ONLY)
add_custom_command(OUTPUT ${manual}.gz
  COMMAND gzip -9nkf ${manual}
  DEPENDS ${manual}
  COMMENT "Compressing the manual page")
add_custom_target(pulsedeck_manual ALL DEPENDS ${manual}.gz)
install(FILES ${manual}.gz DESTINATION share/man/man1)

# The fixed sizes are drawn at build time by the program's own drawing of its mark.
add_executable(pulsedeck-icon tools/pulsedeck-icon.cpp)
target_link_libraries(pulsedeck-icon PRIVATE pulsedeck_core)
set(icon_files "")
foreach(side IN LISTS PULSEDECK_ICON_SIDES)
  set(folder ${CMAKE_BINARY_DIR}/icons/hicolor/${side}x${side}/apps)
  set(file ${folder}/${PULSEDECK_APP_ID}.png)
  add_custom_command(OUTPUT ${file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND pulsedeck-icon ${side} ${file}
    DEPENDS pulsedeck-icon
    COMMENT "Drawing the ${side} px icon")
  list(APPEND icon_files ${file})
  install(FILES ${file} DESTINATION share/icons/hicolor/${side}x${side}/apps)
endforeach()
add_custom_target(pulsedeck_icons ALL DEPENDS ${icon_files})

include(cmake/Package.cmake)
