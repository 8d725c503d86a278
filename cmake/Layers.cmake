# The layer picture, held by the build.
#
# Each library is a folder: lumora_library() makes one of the folder's sources, and its DEPS are
# all it may use. Three things hold it to that:
#  - Ranks. lumora_layers() lists the libraries, one row per rank, lowest first. A library uses
#    only libraries of lower rows, or configuration fails.
#  - Views. Each target compiles against an include root of its own in the build tree,
#    <build>/layers/<target>/<group>/<folder>, one link per folder it may see ("src/net" is seen
#    as "net/..."); nothing else of the tree is on its include path, and no library passes
#    folders on to its users. An include of an undeclared folder is simply not found.
#  - The guard. Every compile of such a target runs through layer-guard.sh, which reads the
#    compiler's own record of the files it opened: a file of the tree outside the view (reached
#    beside the including file, by "..", a symlink, an absolute name, a folder added by hand), a
#    file of the build tree that the target did not generate, or an include spelt with ".."
#    fails the compile. So does a compile that keeps that record from being complete.
# Any other way to link a library than its declaration fails configuration, and so does a target
# compiled outside these functions: programs, tests, benchmarks and fuzz targets all have views
# (lumora_finish_layers).
include_guard(GLOBAL)

set(LUMORA_LAYER_GUARD /bin/sh ${CMAKE_CURRENT_LIST_DIR}/layer-guard.sh ${CMAKE_COMMAND})

# lumora_layers("<library>..." ...)
#   The ranks: each argument is one row of library names, lowest row first.
function(lumora_layers)
  set(rank 0)
  foreach(row IN LISTS ARGV)
    separate_arguments(names UNIX_COMMAND "${row}")
    foreach(name IN LISTS names)
      get_property(known GLOBAL PROPERTY LUMORA_RANK_${name} SET)
      if(known)
        message(FATAL_ERROR "lumora_layers() names ${name} twice")
      endif()
      set_property(GLOBAL PROPERTY LUMORA_RANK_${name} ${rank})
    endforeach()
    math(EXPR rank "${rank} + 1")
  endforeach()
endfunction()

# Sets `out` to the rank of `name`, empty for anything that is not a library of the layers.
function(lumora_rank name out)
  get_property(rank GLOBAL PROPERTY LUMORA_RANK_${name})
  set(${out} "${rank}" PARENT_SCOPE)
endfunction()

# Splits `items` into the libraries of the layers (`layered`) and the rest (`others`: imported
# packages and system libraries, checked once every target is known).
function(lumora_split_uses who items layered others)
  set(mine)
  set(rest)
  foreach(item IN LISTS items)
    if(item MATCHES "\\$<")
      message(SEND_ERROR "${who} uses ${item}: name libraries plainly, so the layers can see them")
      continue()
    endif()
    lumora_rank(${item} rank)
    if(rank STREQUAL "")
      list(APPEND rest ${item})
    else()
      list(APPEND mine ${item})
    endif()
  endforeach()
  set(${layered} "${mine}" PARENT_SCOPE)
  set(${others} "${rest}" PARENT_SCOPE)
endfunction()

# Fails configuration for each of `libraries` that does not rank below `rank`.
function(lumora_check_below who rank libraries why)
  foreach(library IN LISTS libraries)
    lumora_rank(${library} library_rank)
    if(NOT library_rank LESS rank)
      message(SEND_ERROR
        "${who} uses ${library} (rank ${library_rank}), which is not below rank ${rank}: ${why}")
    endif()
  endforeach()
endfunction()

# lumora_view(TARGET [FOLDERS folder...] [FOLDERS_OF library...] [VIEWS_OF library...]
#             DECLARED text)
#   Gives `target` the include root of exactly these folders, the folders of these libraries,
#   and the views of these libraries, and guards its compiles. Made once every folder is read,
#   so a library may be declared after its users. NOTHING_TO_COMPILE only notes the view, for
#   the users of an interface library.
function(lumora_view target)
  cmake_parse_arguments(ARG "NOTHING_TO_COMPILE" "DECLARED" "FOLDERS;FOLDERS_OF;VIEWS_OF" ${ARGN})
  if(NOT ARG_NOTHING_TO_COMPILE)
    set_property(GLOBAL APPEND PROPERTY LUMORA_VIEWS ${target})
  endif()
  set_property(GLOBAL PROPERTY LUMORA_VIEW_FOLDERS_${target} ${ARG_FOLDERS})
  set_property(GLOBAL PROPERTY LUMORA_VIEW_FOLDERS_OF_${target} ${ARG_FOLDERS_OF})
  set_property(GLOBAL PROPERTY LUMORA_VIEW_VIEWS_OF_${target} ${ARG_VIEWS_OF})
  set_property(GLOBAL PROPERTY LUMORA_VIEW_DECLARED_${target} "${ARG_DECLARED}")
endfunction()

# Sets `out` to the folder of each library.
function(lumora_folders_of libraries out)
  set(folders)
  foreach(library IN LISTS libraries)
    get_property(known GLOBAL PROPERTY LUMORA_FOLDER_${library} SET)
    if(NOT known)
      message(FATAL_ERROR "${library} is used, but no folder declares it with lumora_library()")
    endif()
    get_property(folder GLOBAL PROPERTY LUMORA_FOLDER_${library})
    list(APPEND folders ${folder})
  endforeach()
  set(${out} "${folders}" PARENT_SCOPE)
endfunction()

# Sets `out` to the folders `target`'s view holds.
function(lumora_view_folders target out)
  get_property(folders GLOBAL PROPERTY LUMORA_VIEW_FOLDERS_${target})
  get_property(folders_of GLOBAL PROPERTY LUMORA_VIEW_FOLDERS_OF_${target})
  get_property(views_of GLOBAL PROPERTY LUMORA_VIEW_VIEWS_OF_${target})
  lumora_folders_of("${folders_of}" more)
  list(APPEND folders ${more})
  foreach(library IN LISTS views_of)
    lumora_view_folders(${library} more)
    list(APPEND folders ${more})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(${out} "${folders}" PARENT_SCOPE)
endfunction()

# Makes `target`'s include root in the build tree and sets its compiles to go through the guard.
function(lumora_make_view target)
  lumora_view_folders(${target} folders)
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${root})
  set(dirs)
  foreach(folder IN LISTS folders)
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${folder})
    get_filename_component(group ${path} DIRECTORY)
    get_filename_component(leaf ${path} NAME)
    file(MAKE_DIRECTORY ${root}/${group})
    file(CREATE_LINK ${folder} ${root}/${group}/${leaf} SYMBOLIC)
    list(APPEND dirs ${root}/${group})
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  target_include_directories(${target} PRIVATE ${dirs})

  get_target_property(generated ${target} AUTOGEN_BUILD_DIR)
  if(NOT generated)
    get_target_property(binary_dir ${target} BINARY_DIR)
    set(generated ${binary_dir}/${target}_autogen)
  endif()
  get_property(declared GLOBAL PROPERTY LUMORA_VIEW_DECLARED_${target})
  string(REPLACE ";" ", " declared "${declared}")
  set(view_file ${root}/view.cmake)
  file(WRITE ${view_file}
    "set(VIEW_TARGET [==[${target}]==])\n"
    "set(VIEW_DECLARED [==[${declared}]==])\n"
    "set(VIEW_FOLDERS [==[${folders}]==])\n"
    "set(VIEW_GENERATED [==[${generated}]==])\n"
    "set(VIEW_SOURCE_DIR [==[${PROJECT_SOURCE_DIR}]==])\n"
    "set(VIEW_BINARY_DIR [==[${PROJECT_BINARY_DIR}]==])\n")
  set(guard ${LUMORA_LAYER_GUARD} ${view_file} ${CMAKE_CXX_COMPILER_LAUNCHER})
  set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER "${guard}")
  set_property(GLOBAL PROPERTY LUMORA_GUARD_${target} "${guard}")
endfunction()

# Links `target` to what it declared, and notes the declaration for the audit. A library passes
# its packages' headers' paths on to its users; never its view, which is its own.
function(lumora_link target scope layered others)
  set_property(GLOBAL APPEND PROPERTY LUMORA_TARGETS ${target})
  set_property(GLOBAL PROPERTY LUMORA_DECLARED_${target} ${layered} ${others})
  target_link_libraries(${target} ${scope} ${layered} ${others})
endfunction()

# lumora_library(NAME [SOURCES file...] [EXCEPT file...] [DEPS dep...])
#   A static library of every .cpp and .qrc in the calling folder (not its subfolders), but the
#   EXCEPT files, or of the SOURCES given. It sees its own folder ("net/HttpClient.h", or
#   "HttpClient.h" beside the including file) and the folders of the libraries DEPS names, which
#   must rank below it. A folder with no sources becomes an interface library, so its users link
#   anyway.
function(lumora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;EXCEPT;DEPS" ${ARGN})
  lumora_rank(${name} rank)
  if(rank STREQUAL "")
    message(FATAL_ERROR "${name} has no row in lumora_layers(): add it where it belongs")
  endif()
  lumora_split_uses(${name} "${ARG_DEPS}" layered others)
  lumora_check_below(${name} ${rank} "${layered}"
    "a library uses only libraries of lower rows in lumora_layers()")

  set(folder ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(GLOBAL PROPERTY LUMORA_FOLDER_${name} ${folder})
  # A target sees folders by their names ("net/..."), whatever group holds them: two folders of
  # one name, in src and server say, would leave it to the include path which header is meant.
  get_filename_component(leaf ${folder} NAME)
  get_property(namesake GLOBAL PROPERTY "LUMORA_LEAF:${leaf}")
  if(namesake AND NOT namesake STREQUAL folder)
    message(SEND_ERROR "${name}'s folder ${folder} has the name of ${namesake}: name it apart")
  endif()
  set_property(GLOBAL PROPERTY "LUMORA_LEAF:${leaf}" ${folder})
  # The server shares the ranks with the player but none of its Qt: of src, only common.
  cmake_path(APPEND PROJECT_SOURCE_DIR server OUTPUT_VARIABLE server_root)
  cmake_path(IS_PREFIX server_root "${folder}" in_server)
  foreach(library IN LISTS layered)
    if(in_server AND NOT library MATCHES "^lumora_(server_.+|common)$")
      message(SEND_ERROR
        "${name} uses ${library}: a room of the server uses only its rooms and lumora_common")
    endif()
  endforeach()

  if(ARG_SOURCES)
    list(TRANSFORM ARG_SOURCES PREPEND ${folder}/)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.qrc)
    list(TRANSFORM ARG_EXCEPT PREPEND ${folder}/)
    list(REMOVE_ITEM sources ${ARG_EXCEPT})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    lumora_link(${name} PUBLIC "${layered}" "${others}")
    set(nothing_to_compile)
  else()
    add_library(${name} INTERFACE)
    lumora_link(${name} INTERFACE "${layered}" "${others}")
    set(nothing_to_compile NOTHING_TO_COMPILE)
  endif()
  lumora_view(${name} ${nothing_to_compile} FOLDERS ${folder} FOLDERS_OF ${layered}
    DECLARED "${name} declares: ${layered}")
endfunction()

# lumora_program(NAME SOURCES file... USES library...)
#   An executable of the calling folder that sees its own folder and what each library it USES
#   sees (so it can include their headers).
function(lumora_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;USES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lumora_split_uses(${name} "${ARG_USES}" layered others)
  lumora_link(${name} PRIVATE "${layered}" "${others}")
  lumora_view(${name} FOLDERS ${CMAKE_CURRENT_SOURCE_DIR} VIEWS_OF ${layered}
    DECLARED "${name} uses: ${layered}")
endfunction()

# lumora_fuzz(NAME FEATURE library SOURCES file... [LIBS package...])
#   A fuzz target of the calling folder. The libraries are built without the fuzzer's coverage,
#   so the sources under test, of FEATURE and of what it sees, are among its SOURCES. It sees its
#   own folder and what FEATURE sees, as a test of FEATURE would; it links packages only.
function(lumora_fuzz name)
  cmake_parse_arguments(ARG "" "FEATURE" "SOURCES;LIBS" ${ARGN})
  lumora_rank("${ARG_FEATURE}" rank)
  if(rank STREQUAL "")
    message(FATAL_ERROR "${name} fuzzes '${ARG_FEATURE}', which has no row in lumora_layers()")
  endif()
  lumora_split_uses(${name} "${ARG_LIBS}" layered others)
  if(layered)
    message(SEND_ERROR "${name} links ${layered}: a fuzz target compiles in the sources it fuzzes")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  lumora_link(${name} PRIVATE "" "${others}")
  lumora_view(${name} FOLDERS ${CMAKE_CURRENT_SOURCE_DIR} VIEWS_OF ${ARG_FEATURE}
    DECLARED "${name} fuzzes ${ARG_FEATURE}")
endfunction()

# Sets `out` to the targets made in `folder` and the folders added below it.
function(lumora_targets_below folder out)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(below DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS below)
    lumora_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} "${targets}" PARENT_SCOPE)
endfunction()

# Once every folder is read: makes the views, then fails configuration where a target of the
# layers links anything its declaration does not name, links a target that is neither of the
# layers nor an imported package, or lost its guard, and where anything is compiled outside the
# layers (a bare add_executable or add_library).
function(lumora_finish_layers)
  get_property(views GLOBAL PROPERTY LUMORA_VIEWS)
  foreach(target IN LISTS views)
    lumora_make_view(${target})
  endforeach()
  get_property(targets GLOBAL PROPERTY LUMORA_TARGETS)
  foreach(target IN LISTS targets)
    get_property(declared GLOBAL PROPERTY LUMORA_DECLARED_${target})
    get_property(linked TARGET ${target} PROPERTY LINK_LIBRARIES)
    get_property(passed_on TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES)
    list(TRANSFORM passed_on REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1")
    list(APPEND linked ${passed_on})
    # Links made from another folder come between markers of that folder's scope.
    list(FILTER linked EXCLUDE REGEX "^::@")
    list(REMOVE_DUPLICATES linked)
    foreach(item IN LISTS linked)
      if(NOT item IN_LIST declared)
        message(SEND_ERROR "${target} links ${item}, which its declaration does not name")
      endif()
    endforeach()
    foreach(item IN LISTS declared)
      lumora_rank(${item} rank)
      if(rank STREQUAL "" AND TARGET ${item})
        get_target_property(imported ${item} IMPORTED)
        if(NOT imported)
          message(SEND_ERROR "${target} uses ${item}, a target of this tree outside the layers: "
            "make it a lumora_library() with a row in lumora_layers()")
        endif()
      endif()
    endforeach()
    get_target_property(type ${target} TYPE)
    get_target_property(launcher ${target} CXX_COMPILER_LAUNCHER)
    get_property(guard GLOBAL PROPERTY LUMORA_GUARD_${target})
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT launcher STREQUAL guard)
      message(SEND_ERROR "${target} compiles without its layer guard (CXX_COMPILER_LAUNCHER)")
    endif()
  endforeach()
  lumora_targets_below(${CMAKE_SOURCE_DIR} made)
  foreach(target IN LISTS made)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$"
       AND NOT target IN_LIST targets)
      message(SEND_ERROR "${target} is compiled outside the layers: make it with lumora_library(), "
        "lumora_program(), lumora_fuzz() or a test's function")
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL lumora_finish_layers)
