# Installs the build into PREFIX (emptied first) and checks what a desktop
# and the installed client need. Fails with the first thing missing.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

foreach(f bin/zeri share/applications/zeri.desktop share/zeri/skin/RoomUI.xml share/zeri/skin/logo.png
          share/icons/hicolor/16x16/apps/zeri.png share/icons/hicolor/48x48/apps/zeri.png
          share/icons/hicolor/256x256/apps/zeri.png)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
if(EXISTS "${PREFIX}/share/zeri/skin/.built")
  message(FATAL_ERROR "the build's stamp was installed with the skins")
endif()

# The menu entry: an application named zeri, with the theme's icon, running
# the program just installed (not one of the build tree).
file(READ "${PREFIX}/share/applications/zeri.desktop" entry)
if(NOT entry MATCHES "^\\[Desktop Entry\\]\n")
  message(FATAL_ERROR "the entry does not start with its group:\n${entry}")
endif()
foreach(want "Type=Application" "Name=zeri" "Icon=zeri" "Terminal=false"
             "Exec=\"${PREFIX}/bin/zeri\"" "TryExec=${PREFIX}/bin/zeri")
  string(FIND "${entry}" "\n${want}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "zeri.desktop lacks ${want}:\n${entry}")
  endif()
endforeach()
string(REGEX MATCH "\nCategories=[^\n]*" categories "${entry}")
if(NOT categories MATCHES "^\nCategories=([A-Za-z]+;)+$")
  message(FATAL_ERROR "categories must be named, each ending with ';': ${categories}")
endif()
if(entry MATCHES "@")
  message(FATAL_ERROR "an unreplaced placeholder:\n${entry}")
endif()
