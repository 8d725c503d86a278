# The layer picture, checked: a folder under src/ includes headers only of itself and of the
# folders whose library its CMakeLists.txt names (direct dependencies; a dependency's own
# dependencies do not count). Every library exports the whole src/ root, so the compiler cannot
# tell; this reads the declarations and the #include lines instead.
#
#   cmake -DSOURCE_ROOT=<repository>/src -P LayerIncludes.cmake
#
# Included from another script, it only defines lumora_layer_errors.

# Sets `out` to one line per fault found under `src`, empty when there is none.
function(lumora_layer_errors src out)
  set(errors)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${src} ${src}/*)
  set(folders)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${src}/${entry})
      list(APPEND folders ${entry})
    endif()
  endforeach()
  if(NOT folders)
    list(APPEND errors "no folders under ${src}")
  endif()

  # The library each folder builds: the first one its CMakeLists.txt defines.
  foreach(folder IN LISTS folders)
    set(lists_file ${src}/${folder}/CMakeLists.txt)
    set(library_${folder} "")
    set(declarations_${folder} "")
    if(NOT EXISTS ${lists_file})
      list(APPEND errors "src/${folder} has no CMakeLists.txt, so nothing declares what it uses")
      continue()
    endif()
    file(READ ${lists_file} text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    set(declarations_${folder} "${text}")
    if(text MATCHES "(lumora_library|add_library)\\([ \t\r\n]*([A-Za-z0-9_]+)")
      set(library_${folder} ${CMAKE_MATCH_2})
    else()
      list(APPEND errors "src/${folder}/CMakeLists.txt defines no library")
    endif()
  endforeach()

  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE files ${src}/${folder}/*.h ${src}/${folder}/*.hpp ${src}/${folder}/*.cpp)
    list(SORT files)
    foreach(file IN LISTS files)
      file(RELATIVE_PATH shown ${src}/.. ${file})
      file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
      foreach(line IN LISTS includes)
        if(NOT line MATCHES "include[ \t]*([<\"])([^>\"]*)[>\"]")
          continue()
        endif()
        set(header ${CMAKE_MATCH_2})
        if(CMAKE_MATCH_1 STREQUAL "<")
          # src/ is on the include path, so <folder/X.h> reaches it too; <net/if.h> does not.
          if(NOT EXISTS ${src}/${header})
            continue()
          endif()
          set(named "<${header}>")
        else()
          set(named "\"${header}\"")
        endif()
        if(header MATCHES "^\\.\\./")
          list(APPEND errors "${shown} includes ${named}: name it from src/ instead")
          continue()
        endif()
        if(NOT header MATCHES "^([^/]+)/")
          continue()  # beside the including file
        endif()
        set(used ${CMAKE_MATCH_1})
        list(FIND folders ${used} known)
        if(used STREQUAL folder OR known EQUAL -1)
          continue()  # its own folder, or not a folder of src/ at all
        endif()
        set(library ${library_${used}})
        if(NOT library)
          list(APPEND errors "${shown} includes ${named} of src/${used}, which builds no library")
        elseif(NOT declarations_${folder} MATCHES "(^|[^A-Za-z0-9_])${library}([^A-Za-z0-9_]|$)")
          list(APPEND errors
            "${shown} includes ${named}, but src/${folder}/CMakeLists.txt does not name ${library}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} "${errors}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT IS_DIRECTORY "${SOURCE_ROOT}")
    message(FATAL_ERROR "SOURCE_ROOT (the src/ folder) is not a folder: '${SOURCE_ROOT}'")
  endif()
  lumora_layer_errors(${SOURCE_ROOT} errors)
  if(errors)
    list(JOIN errors "\n  " shown)
    message(FATAL_ERROR "Includes outside the declared layers:\n  ${shown}\n"
      "Add the library to the folder's CMakeLists.txt, or include something else.")
  endif()
endif()
