# The layers against every known way round them, on a small made-up tree built with the
# project's own cmake/ files: src/sneak sits beside playback, declares only common, and tries to
# reach src/net. In the build, each of its files is one trick. The server's rooms are held the
# same way: server/peek sits beside http, declares base, and tries to reach http.
#
#   cmake -DSTAGE=build|configure -DWORK_DIR=<scratch> -DCMAKE_DIR=<repository>/cmake
#         -DCXX=<compiler> -DGENERATOR=<generator> -P LayerTricks.cmake
#
# STAGE build: the tree configures; each trick's compile fails with the refusal named, and the
# honest library and test still build. STAGE configure: configuration fails with exactly the
# refusals named.
cmake_minimum_required(VERSION 3.25)
set(tree ${WORK_DIR}/${STAGE})
file(REMOVE_RECURSE ${tree})

# Writes one file of the tree; @TREE@ stands for the tree's own path. tricks.cmake, read at the
# end of the tree's top CMakeLists.txt, is added to.
function(write_file path content)
  string(REPLACE "@TREE@" "${tree}" content "${content}")
  if(path STREQUAL "tricks.cmake")
    file(APPEND "${tree}/${path}" "${content}\n")
  else()
    file(WRITE "${tree}/${path}" "${content}\n")
  endif()
endfunction()

# Writes path/content pairs. Arguments are read one by one, since C++ is full of semicolons.
function(write_files)
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    write_file("${ARGV${i}}" "${ARGV${j}}")
  endforeach()
endfunction()

# trick(<name> <refusal> <path> <content>...)
#   A way round the layers, the pattern its refusal must match (@FILE@: the trick's first
#   file), and the files it writes.
set(tricks)
function(trick name expect first)
  string(REPLACE "@FILE@" "${first}" expect "${expect}")
  set(tricks ${tricks} ${name} PARENT_SCOPE)
  set(expect_${name} "${expect}" PARENT_SCOPE)
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 2 ${last} 2)
    math(EXPR j "${i} + 1")
    write_file("${ARGV${i}}" "${ARGV${j}}")
  endforeach()
endfunction()

# The honest tree: common < net, playback < face, and a test of playback; sneak is playback's
# neighbour. The server's base ranks beside net, its http (using base) and peek beside face.
write_files(
  CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(House LANGUAGES CXX)
set(CMAKE_RULE_MESSAGES OFF)
include(${CMAKE_DIR}/Lumora.cmake)
add_library(GTest::gtest INTERFACE IMPORTED)
add_library(GTest::gmock INTERFACE IMPORTED)
lumora_layers(lumora_common
  \"lumora_net lumora_playback lumora_sneak lumora_sneak_message lumora_server_base\"
  \"lumora_face lumora_server_http lumora_server_peek lumora_server_net\"
  lumora_test_support \"lumora_test_main lumora_test_support_qt\")
foreach(folder src/common src/net src/playback src/face src/sneak server/base server/http
    server/peek tests/support tests/playback)
  add_subdirectory(\${folder})
endforeach()
include(tricks.cmake OPTIONAL)"
  src/common/CMakeLists.txt "lumora_library(lumora_common)"
  src/common/Text.h "#pragma once\ninline int textLength() { return 1; }"
  src/net/CMakeLists.txt "lumora_library(lumora_net DEPS lumora_common)"
  src/net/HttpClient.h "#pragma once\ninline int netGet() { return 2; }"
  src/playback/CMakeLists.txt "lumora_library(lumora_playback DEPS lumora_common)"
  src/playback/Player.h "#pragma once\n#include \"common/Text.h\"\nint play();"
  src/playback/Player.cpp "#include \"Player.h\"\n#include \"playback/Player.h\"\nint play() { return textLength(); }"
  src/face/CMakeLists.txt "lumora_library(lumora_face DEPS lumora_common lumora_playback)"
  src/face/Face.h "#pragma once\n#include \"playback/Player.h\"\ninline int show() { return play(); }"
  src/sneak/CMakeLists.txt "lumora_library(lumora_sneak DEPS lumora_common)"
  server/base/CMakeLists.txt "lumora_library(lumora_server_base DEPS lumora_common)"
  server/base/Beneath.h "#pragma once\ninline int openBeneath() { return 3; }"
  server/http/CMakeLists.txt "lumora_library(lumora_server_http DEPS lumora_common lumora_server_base)"
  server/http/Http.h "#pragma once\n#include \"base/Beneath.h\"\ninline int serve() { return openBeneath(); }"
  server/http/Http.cpp "#include \"http/Http.h\"\nint served() { return serve(); }"
  server/peek/CMakeLists.txt "lumora_library(lumora_server_peek DEPS lumora_common lumora_server_base)"
  tests/support/CMakeLists.txt "lumora_library(lumora_test_support)\nlumora_library(lumora_test_main)"
  tests/support/Support.h "#pragma once\ninline int helper() { return 0; }"
  tests/playback/CMakeLists.txt "lumora_test_program(test_playback SOURCES PlayerTest.cpp)"
  tests/playback/PlayerTest.cpp "#include \"playback/Player.h\"\n#include \"support/Support.h\"\nint main() { return play() + helper(); }")

# What each refusal says: the compiler finds no such header, or the guard names the file and
# what is wrong with it.
set(not_found "@FILE@:[0-9:]* fatal error: (net/HttpClient.h: No such file or directory|'net/HttpClient.h' file not found)")
set(guard "compiling @FILE@ for lumora_sneak: [^(]*")
set(dots "${guard}net/HttpClient.h with \"\\.\\.\"")
set(outside "${guard}src/net/HttpClient.h is outside what lumora_sneak may see")
set(use_net "int trick() { return netGet(); }")
string(ASCII 12 form_feed)

if(STAGE STREQUAL "build")
  trick(undeclared "${not_found}" src/sneak/Undeclared.cpp
    "#include \"net/HttpClient.h\"\n${use_net}")
  trick(beside "${dots}" src/sneak/Beside.cpp "#include \"../net/HttpClient.h\"\n${use_net}")
  trick(macro "${dots}" src/sneak/Macro.cpp
    "#define NET_HEADER \"../net/HttpClient.h\"\n#include NET_HEADER\n${use_net}")
  trick(through_own_root "${dots}" src/sneak/ThroughOwnRoot.cpp
    "#include \"sneak/../net/HttpClient.h\"\n${use_net}")
  trick(absolute "${outside}" src/sneak/Absolute.cpp
    "#include \"@TREE@/src/net/HttpClient.h\"\n${use_net}")
  # A header written into the build tree at configuration, its folder added by hand.
  trick(generated "${guard}generated/NetBridge.h is a file of the build tree that lumora_sneak did not generate"
    src/sneak/Generated.cpp "#include \"NetBridge.h\"\n${use_net}"
    tricks.cmake [==[
file(WRITE ${PROJECT_BINARY_DIR}/generated/NetBridge.h
  "#include \"${PROJECT_SOURCE_DIR}/src/net/HttpClient.h\"\n")
target_include_directories(lumora_sneak PRIVATE ${PROJECT_BINARY_DIR}/generated)]==])
  # A folder linked to a detour outside src/ that leads back into src/net.
  trick(symlink "${outside}" src/sneak/Symlink.cpp "#include \"netlink/HttpClient.h\"\n${use_net}")
  file(CREATE_LINK ${tree}/src/net ${tree}/detour SYMBOLIC)
  file(CREATE_LINK ${tree}/detour ${tree}/src/sneak/netlink SYMBOLIC)
  # A package of the system's kind whose include path is src/net, declared as a dependency.
  trick(imported_interface "${outside}" src/sneak/ImportedInterface.cpp
    "#include \"HttpClient.h\"\n${use_net}"
    src/sneak/CMakeLists.txt [==[
add_library(net_headers INTERFACE IMPORTED)
target_include_directories(net_headers INTERFACE ${PROJECT_SOURCE_DIR}/src/net)
lumora_library(lumora_sneak DEPS lumora_common net_headers)]==])
  # A quote that a comment stripper takes for a character literal hides the include from it.
  trick(digit_separator "${not_found}" src/sneak/DigitSeparator.cpp
    "int a = 1'2, b = '/*';\n#include \"net/HttpClient.h\"\n// */\n${use_net}")
  trick(raw_string "${not_found}" src/sneak/RawString.cpp
    "const char* s = R\"x( )\" /* )x\";\n#include \"net/HttpClient.h\"\n// */\n${use_net}")
  trick(cmake_suffix "${not_found}" src/sneak/Net.cmake "#include \"net/HttpClient.h\""
    src/sneak/CmakeSuffix.cpp "#include \"sneak/Net.cmake\"\n${use_net}")
  trick(lone_cr "${not_found}" src/sneak/LoneCr.cpp
    "// lines end in a lone CR\r#include \"net/HttpClient.h\"\r${use_net}\r")
  trick(form_feed "${not_found}" src/sneak/FormFeed.cpp
    "#include${form_feed}\"net/HttpClient.h\"\n${use_net}")
  trick(message "${not_found}" src/sneak_message/Message.cpp
    "#include \"net/HttpClient.h\"\n${use_net}"
    src/sneak_message/CMakeLists.txt
    "message(STATUS \"sneak_message uses lumora_net\")\nlumora_library(lumora_sneak_message DEPS lumora_common)"
    tricks.cmake "add_subdirectory(src/sneak_message)")
  # A room of the server reaches only the rooms it declares.
  trick(server_undeclared "@FILE@:[0-9:]* fatal error: (http/Http.h: No such file or directory|'http/Http.h' file not found)"
    server/peek/Undeclared.cpp "#include \"http/Http.h\"\nint trick() { return serve(); }")
  # A test sees its feature and tests/support, not a feature above.
  trick(test_above "@FILE@:[0-9:]* fatal error: (face/Face.h: No such file or directory|'face/Face.h' file not found)"
    tests/sneak/PeekTest.cpp "#include \"face/Face.h\"\nint main() { return show(); }"
    tests/sneak/CMakeLists.txt
    "lumora_test_program(test_sneak SOURCES PeekTest.cpp FEATURE lumora_playback)"
    tricks.cmake "add_subdirectory(tests/sneak)")
  # A fuzz target compiles in the sources it fuzzes, but only those its feature may see.
  trick(fuzz_beyond "compiling @FILE@ for sneak_fuzz: [^(]*@FILE@ is outside what sneak_fuzz may see"
    src/net/NetCall.cpp "int netCall() { return 2; }"
    fuzz/CMakeLists.txt [==[
lumora_fuzz(sneak_fuzz FEATURE lumora_playback
  SOURCES SneakFuzz.cpp ${PROJECT_SOURCE_DIR}/src/net/NetCall.cpp)]==]
    fuzz/SneakFuzz.cpp "#include \"playback/Player.h\"\nint main() { return play(); }"
    tricks.cmake "add_subdirectory(fuzz)")
else()
  trick(upward "lumora_playback uses lumora_face \\(rank 2\\), which is not below rank 1"
    src/playback/CMakeLists.txt "lumora_library(lumora_playback DEPS lumora_common lumora_face)")
  trick(interface "lumora_sneak uses net_headers, a target of this tree outside the layers"
    src/sneak/CMakeLists.txt [==[
add_library(net_headers INTERFACE)
target_include_directories(net_headers INTERFACE ${PROJECT_SOURCE_DIR}/src/net)
lumora_library(lumora_sneak DEPS lumora_common net_headers)]==]
    src/sneak/Sneak.cpp "#include \"HttpClient.h\"\n${use_net}")
  trick(server_upward "lumora_server_base uses lumora_server_http \\(rank 2\\), which is not below rank 1"
    server/base/CMakeLists.txt "lumora_library(lumora_server_base DEPS lumora_common lumora_server_http)")
  # A room named like a folder of src: "net/HttpClient.h" would name either.
  trick(namesake "lumora_server_net's folder [^ ]*/server/net has the name of [^ ]*/src/net"
    server/net/CMakeLists.txt "lumora_library(lumora_server_net DEPS lumora_common)"
    tricks.cmake "add_subdirectory(server/net)")
  # The server shares the player's ranks, not its libraries: of src, only common.
  trick(server_uses_player "lumora_server_http uses lumora_net: a room of the server uses only its rooms and lumora_common"
    server/http/CMakeLists.txt
    "lumora_library(lumora_server_http DEPS lumora_common lumora_server_base lumora_net)")
  trick(linked_by_hand "lumora_playback links lumora_net, which its declaration does not name"
    tricks.cmake "target_link_libraries(lumora_playback PRIVATE lumora_net)")
  trick(test_links_above "test_sneak, testing lumora_playback, uses lumora_face \\(rank 2\\), which is not below rank 1"
    tests/sneak/CMakeLists.txt
    "lumora_test_program(test_sneak SOURCES PeekTest.cpp FEATURE lumora_playback LIBS lumora_face)"
    tests/sneak/PeekTest.cpp "int main() { return 0; }")
  # A program made by hand, as the benchmarks' baselines once were, has no view at all.
  trick(bare_program "bare_window is compiled outside the layers"
    tricks.cmake "add_executable(bare_window src/playback/Player.cpp)")
  trick(fuzz_links "sneak_fuzz links lumora_net: a fuzz target compiles in the sources it fuzzes"
    fuzz/CMakeLists.txt
    "lumora_fuzz(sneak_fuzz FEATURE lumora_playback SOURCES SneakFuzz.cpp LIBS lumora_net)"
    fuzz/SneakFuzz.cpp "int main() { return 0; }")
  file(APPEND ${tree}/tricks.cmake "add_subdirectory(tests/sneak)\nadd_subdirectory(fuzz)\n")
endif()

# Runs a command; sets `output` to what it printed, with every run of blanks one space, since
# CMake folds long messages.
function(run output result)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
  string(REGEX REPLACE "[ \t\r\n]+" " " out "${out}")
  set(${output} "${out}" PARENT_SCOPE)
  set(${result} ${code} PARENT_SCOPE)
endfunction()

set(problems)
run(said configure_result ${CMAKE_COMMAND} -S ${tree} -B ${tree}/build -G "${GENERATOR}"
  -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_COMPILER_LAUNCHER=)
if(STAGE STREQUAL "build")
  if(NOT configure_result EQUAL 0)
    message(FATAL_ERROR "the made-up tree did not configure: ${said}")
  endif()
  # One build of everything, going on past each refusal, one compile at a time.
  if(GENERATOR MATCHES "Ninja")
    set(keep_going -k 0)
  else()
    set(keep_going -k)
  endif()
  run(said result ${CMAKE_COMMAND} --build ${tree}/build -j 1 -- ${keep_going})
  if(NOT EXISTS ${tree}/build/tests/playback/test_playback)
    list(APPEND problems "the honest library and test were not built")
  endif()
  if(NOT EXISTS ${tree}/build/server/http/liblumora_server_http.a)
    list(APPEND problems "the honest server room was not built")
  endif()
else()
  string(REGEX MATCHALL "CMake Error" errors "${said}")
  list(LENGTH errors error_count)
  list(LENGTH tricks trick_count)
  if(configure_result EQUAL 0 OR NOT error_count EQUAL trick_count)
    list(APPEND problems "expected ${trick_count} refusals, got ${error_count}")
  endif()
endif()
foreach(name IN LISTS tricks)
  if(said MATCHES "${expect_${name}}")
    message(STATUS "refused in the ${STAGE}: ${name}")
  else()
    list(APPEND problems "${name} was not refused with '${expect_${name}}'")
  endif()
endforeach()
if(problems)
  list(JOIN problems "\n" problems)
  message(FATAL_ERROR "${problems}\nThe ${STAGE} said: ${said}")
endif()
