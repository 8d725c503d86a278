# The layer check against small made-up trees, so a check that passes on the real tree is known
# to be able to fail.
#
#   cmake -DWORK_DIR=<scratch folder> -P LayerIncludesTest.cmake
include(${CMAKE_CURRENT_LIST_DIR}/LayerIncludes.cmake)

# layer_case(NAME EXPECT <faults...> FILES <path> <content> [<path> <content>...])
#   Writes the files under a fresh src/ and runs the check. Each expected fault is a text that
#   exactly one reported line contains, and nothing else may be reported.
function(layer_case name)
  cmake_parse_arguments(ARG "" "" "EXPECT;FILES" ${ARGN})
  set(src ${WORK_DIR}/${name}/src)
  file(REMOVE_RECURSE ${WORK_DIR}/${name})
  file(MAKE_DIRECTORY ${src})
  set(pending ${ARG_FILES})
  while(pending)
    list(POP_FRONT pending path content)
    file(WRITE ${src}/${path} "${content}\n")
  endwhile()

  lumora_layer_errors(${src} errors)
  set(problems)
  foreach(expected IN LISTS ARG_EXPECT)
    set(hits 0)
    foreach(error IN LISTS errors)
      string(FIND "${error}" "${expected}" at)
      if(NOT at EQUAL -1)
        math(EXPR hits "${hits} + 1")
      endif()
    endforeach()
    if(NOT hits EQUAL 1)
      list(APPEND problems "expected one fault with '${expected}', found ${hits}")
    endif()
  endforeach()
  list(LENGTH errors reported)
  list(LENGTH ARG_EXPECT wanted)
  if(NOT reported EQUAL wanted)
    list(APPEND problems "expected ${wanted} faults, got ${reported}: ${errors}")
  endif()
  if(problems)
    message(SEND_ERROR "${name}: ${problems}")
  endif()
endfunction()

set(b_library b/CMakeLists.txt "lumora_library(lumora_b)" b/B.h "#pragma once")

layer_case(declared_includes_pass
  FILES a/CMakeLists.txt "lumora_library(lumora_a DEPS lumora_b Qt6::Widgets)"
        a/A.cpp "#include \"a/A.h\"\n#include \"A.h\"\n#include <QWidget>\n#include \"b/B.h\""
        ${b_library})

layer_case(undeclared_include_fails
  EXPECT "src/a/A.cpp includes \"b/B.h\", but src/a/CMakeLists.txt does not name lumora_b"
         "src/a/A.h includes <b/B.h>, but"
  FILES a/CMakeLists.txt "lumora_library(lumora_a)"
        a/A.cpp "  #  include \"b/B.h\""
        a/A.h "#include <b/B.h>\n#include <b/if.h>"
        ${b_library})

layer_case(a_dependencys_dependency_is_not_declared
  EXPECT "src/a/A.h includes \"c/C.h\""
  FILES a/CMakeLists.txt "lumora_library(lumora_a DEPS lumora_b)"
        a/A.h "#include \"b/B.h\"\n#include \"c/C.h\""
        b/CMakeLists.txt "lumora_library(lumora_b DEPS lumora_c)"
        c/CMakeLists.txt "lumora_library(lumora_c)")

layer_case(only_real_declarations_and_includes_count
  EXPECT "src/a/sub/A.cpp includes \"b/B.h\""
  FILES a/CMakeLists.txt "# will use lumora_b\nlumora_library(lumora_a DEPS lumora_bb)"
        a/sub/A.cpp "// #include \"c/C.h\"\n#include \"b/B.h\""
        ${b_library}
        bb/CMakeLists.txt "lumora_library(lumora_bb)"
        c/CMakeLists.txt "lumora_library(lumora_c)")

layer_case(a_library_built_by_hand_declares_what_it_links
  EXPECT "src/app/main.cpp includes \"c/C.h\""
  FILES app/CMakeLists.txt "add_library(lumora_app STATIC x.cpp)\ntarget_link_libraries(lumora_app PUBLIC\n  lumora_b)\nadd_executable(lumora main.cpp)"
        app/main.cpp "#include \"b/B.h\"\n#include \"c/C.h\""
        ${b_library}
        c/CMakeLists.txt "add_library(lumora_c INTERFACE)")

layer_case(folders_without_a_declaration_fail
  EXPECT "src/c has no CMakeLists.txt"
         "src/d/CMakeLists.txt defines no library"
         "src/a/A.cpp includes \"c/C.h\" of src/c, which builds no library"
         "src/a/A.cpp includes \"./A.h\" (src/a/A.h): name it \"a/A.h\""
         "src/a/A.cpp includes \"../Top.h\", which is in no folder of src/"
         "src/a/A.cpp includes \"../b/B.h\" (src/b/B.h): name it \"b/B.h\""
  FILES a/CMakeLists.txt "lumora_library(lumora_a DEPS lumora_b)"
        a/A.cpp "#include \"c/C.h\"\n#include \"../b/B.h\"\n#include \"./A.h\"\n#include \"../Top.h\""
        a/A.h "#pragma once"
        Top.h "#pragma once"
        ${b_library}
        c/C.h "#pragma once"
        d/CMakeLists.txt "# nothing yet")

# Every way of writing an include that the preprocessor follows is read as the file it opens,
# whatever the file's suffix; a commented-out one is not.
set(net_library net/CMakeLists.txt "lumora_library(lumora_net)" net/HttpClient.h "#pragma once")
layer_case(every_spelling_of_an_include_is_read
  EXPECT "src/playback/Dot.cpp includes \"./../net/HttpClient.h\" (src/net/HttpClient.h), but"
         "src/playback/Through.cpp includes \"playback/../net/HttpClient.h\" (src/net/HttpClient.h), but"
         "src/playback/Angled.h includes <playback/../net/HttpClient.h> (src/net/HttpClient.h), but"
         "src/playback/Macro.cpp includes through the macro NET_HEADER"
         "src/playback/Tape.inl includes \"net/HttpClient.h\", but"
         "src/playback/Commented.cpp includes \"net/HttpClient.h\", but"
         "src/playback/Joined.cpp includes \"net/HttpClient.h\", but"
         "src/playback/Digraph.cpp includes \"net/HttpClient.h\", but"
         "src/playback/Next.h includes <net/HttpClient.h>, but"
  FILES playback/CMakeLists.txt "lumora_library(lumora_playback)"
        playback/Dot.cpp "#include \"./../net/HttpClient.h\""
        playback/Through.cpp "#include \"playback/../net/HttpClient.h\""
        playback/Angled.h "#include <playback/../net/HttpClient.h>"
        playback/Macro.cpp "#define NET_HEADER \"../net/HttpClient.h\"\n#include NET_HEADER"
        playback/Tape.inl "#include \"net/HttpClient.h\""
        playback/Commented.cpp "auto glob = \"/*\"\n/* one\n line */ #include \"net/HttpClient.h\""
        playback/Joined.cpp "#inc\\\nlude \"net/HttpClient.h\""
        playback/Digraph.cpp "%:include \"net/HttpClient.h\""
        playback/Next.h "#include_next <net/HttpClient.h>"
        playback/Quiet.cpp "/* #include \"net/HttpClient.h\"\n */ int x = 0 // #include \"net/HttpClient.h\""
        ${net_library})
