# What `cmake --install` puts under the prefix (scripts/install.sh chooses it: ~/.local for
# one user, /usr/local for every user):
#
#   lib/Tolvaran/                    the application folder, the unit an update replaces:
#       bin/tolvaran                 the program
#       bin/tolvaran-picture-decoder the program it decodes pictures in
#       application.json             its identifier and version
#       share/applications/...       the desktop entry and icons, as a release carries them
#       share/icons/hicolor/...
#   bin/tolvaran                     a link to lib/Tolvaran/bin/tolvaran
#   share/applications/com.ostvik.tolvaran.desktop
#   share/icons/hicolor/{scalable,NxN}/apps/com.ostvik.tolvaran.{svg,png}
#
# The desktop entry outside the folder starts the program by its full path, written when the
# install runs (so `cmake --install --prefix` gets it right); the one inside, which a release
# carries to wherever it is unpacked, names the command `tolvaran`. scripts/install.sh
# --uninstall removes all of it, and with it whatever an update has put into the folder.

set(TOLVARAN_APPLICATION_FOLDER "lib/Tolvaran")
# Folders the install makes are readable by every user whatever the umask of whoever runs it
# (a system-wide install by a root, or through a sudo, whose umask is 077). CMake makes them
# with these permissions, but through mkdir(), which the umask still masks: so the install
# first notes which of its folders are missing, and TolvaranInstallEntry.cmake gives the
# folders it then made these permissions, and those of the application folder, which is ours
# alone (an install under such a umask before is mended). Other folders keep their own.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(tolvaran_install_folders bin "${TOLVARAN_APPLICATION_FOLDER}/bin"
    "${TOLVARAN_APPLICATION_FOLDER}/share/applications" share/applications)
foreach(share IN ITEMS "${TOLVARAN_APPLICATION_FOLDER}/share" "share")
  foreach(size IN LISTS TOLVARAN_ICON_SIZES ITEMS scalable)
    if(NOT size STREQUAL "scalable")
      set(size "${size}x${size}")
    endif()
    list(APPEND tolvaran_install_folders "${share}/icons/hicolor/${size}/apps")
  endforeach()
endforeach()
install(CODE "
  set(TOLVARAN_APPLICATION_FOLDER \"${TOLVARAN_APPLICATION_FOLDER}\")
  set(TOLVARAN_INSTALL_FOLDERS \"${tolvaran_install_folders}\")")
install(SCRIPT "${CMAKE_CURRENT_LIST_DIR}/TolvaranInstallFolders.cmake")

# The decoding program beside the program, where it looks for it first.
install(TARGETS tolvaran tolvaran-picture-decoder
        RUNTIME DESTINATION "${TOLVARAN_APPLICATION_FOLDER}/bin")

file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/install/application.json" CONTENT
"{\n    \"identifier\": \"com.ostvik.tolvaran\",\n    \"version\": \"${PROJECT_VERSION}\"\n}\n")
install(FILES "${CMAKE_BINARY_DIR}/install/application.json"
        DESTINATION "${TOLVARAN_APPLICATION_FOLDER}")

set(TOLVARAN_DESKTOP_EXEC "tolvaran")
configure_file("${TOLVARAN_DESKTOP_ENTRY_TEMPLATE}"
               "${CMAKE_BINARY_DIR}/install/${TOLVARAN_ICON_NAME}.desktop" @ONLY)

foreach(share IN ITEMS "${TOLVARAN_APPLICATION_FOLDER}/share" "share")
  install(FILES "${TOLVARAN_ICON_SVG}" DESTINATION "${share}/icons/hicolor/scalable/apps")
  foreach(size IN LISTS TOLVARAN_ICON_SIZES)
    install(FILES "${TOLVARAN_ICON_PNG_DIR}/${size}.png"
            DESTINATION "${share}/icons/hicolor/${size}x${size}/apps"
            RENAME "${TOLVARAN_ICON_NAME}.png")
  endforeach()
endforeach()
install(FILES "${CMAKE_BINARY_DIR}/install/${TOLVARAN_ICON_NAME}.desktop"
        DESTINATION "${TOLVARAN_APPLICATION_FOLDER}/share/applications")

# The desktop entry outside the folder and the link in bin are made when the install runs.
install(CODE "
  set(TOLVARAN_DESKTOP_ENTRY_TEMPLATE \"${TOLVARAN_DESKTOP_ENTRY_TEMPLATE}\")
  set(TOLVARAN_APPLICATION_FOLDER \"${TOLVARAN_APPLICATION_FOLDER}\")
  set(TOLVARAN_ICON_NAME \"${TOLVARAN_ICON_NAME}\")")
install(SCRIPT "${CMAKE_CURRENT_LIST_DIR}/TolvaranInstallEntry.cmake")
