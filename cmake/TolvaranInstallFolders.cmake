# The first step of `cmake --install` (see TolvaranInstall.cmake): notes in
# TOLVARAN_MADE_FOLDERS the folders that TolvaranInstallEntry.cmake, the last step, makes
# readable by every user: those of TOLVARAN_INSTALL_FOLDERS (relative to the prefix) and their
# parents up to the prefix that do not exist yet, and every one inside the application folder,
# which is ours alone.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(application "${root}/${TOLVARAN_APPLICATION_FOLDER}")
set(TOLVARAN_MADE_FOLDERS)
foreach(folder IN LISTS TOLVARAN_INSTALL_FOLDERS)
  set(path "${root}/${folder}")
  set(walking 1)
  while(walking)
    string(FIND "${path}/" "${application}/" inApplication)
    if(IS_DIRECTORY "${path}" AND NOT inApplication EQUAL 0)
      set(walking 0)
    else()
      list(APPEND TOLVARAN_MADE_FOLDERS "${path}")
      if(path STREQUAL root)
        set(walking 0)
      endif()
      get_filename_component(path "${path}" DIRECTORY)
    endif()
  endwhile()
endforeach()
list(REMOVE_DUPLICATES TOLVARAN_MADE_FOLDERS)
