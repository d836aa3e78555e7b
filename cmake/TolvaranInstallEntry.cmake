# Part of `cmake --install` (see TolvaranInstall.cmake), run when the prefix is known: the
# desktop entry that starts the installed program by its full path, and the link
# PREFIX/bin/tolvaran. Both are added to the install manifest.
#
# The Exec value follows the desktop entry rules: a path of plain characters stands as it is;
# any other is double-quoted with `"`, `` ` ``, `$` and `\` escaped, and every backslash is
# then doubled again for the entry's string escapes; `%` is written `%%`.
set(program "${CMAKE_INSTALL_PREFIX}/${TOLVARAN_APPLICATION_FOLDER}/bin/tolvaran")
if(program MATCHES "^[A-Za-z0-9/._+-]+$")
  set(TOLVARAN_DESKTOP_EXEC "${program}")
else()
  string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" quoted "${program}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  set(TOLVARAN_DESKTOP_EXEC "\"${quoted}\"")
endif()
string(REPLACE "%" "%%" TOLVARAN_DESKTOP_EXEC "${TOLVARAN_DESKTOP_EXEC}")

set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/${TOLVARAN_ICON_NAME}.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${TOLVARAN_DESKTOP_ENTRY_TEMPLATE}" "${entry}" @ONLY)
file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")

set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/tolvaran")
message(STATUS "Installing: ${link}")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
file(REMOVE "${link}")
file(CREATE_LINK "../${TOLVARAN_APPLICATION_FOLDER}/bin/tolvaran" "${link}" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")

# The folders this install made (noted by TolvaranInstall.cmake before it began): readable by
# every user, whatever the umask.
if(TOLVARAN_MADE_FOLDERS)
  file(CHMOD ${TOLVARAN_MADE_FOLDERS} DIRECTORY_PERMISSIONS
       ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
endif()
