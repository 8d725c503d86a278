# lumora_library(NAME [DEPS dep...])
#   A static library of every .cpp in the calling folder (not its subfolders). The folder's
#   parent (src/) is on the include path, so headers are included as "net/HttpClient.h"; the
#   folders whose headers it may include are the ones DEPS names (tests/architecture checks).
#   A folder with no sources yet becomes an interface library, so dependents link anyway.
function(lumora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# lumora_tests(NAME [QT] [LIBS lib...])
#   One GoogleTest executable of every .cpp in the calling folder, registered with CTest.
#   QT gives it a main that starts a QApplication on the offscreen platform.
function(lumora_tests name)
  cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumora_test_support_qt GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumora_test_main GTest::gtest GTest::gmock)
  endif()
  # One CTest test per suite, listed when CTest starts (cmake/AddTestSuites.cmake): the cases of a
  # fixture share a process, and nothing runs a test executable during the build.
  string(REGEX REPLACE "^test_" "" prefix ${name})
  set(suites_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake)
  file(GENERATE OUTPUT ${suites_file} CONTENT
"set(SUITES_EXECUTABLE [==[$<TARGET_FILE:${name}>]==])
set(SUITES_PREFIX ${prefix})
set(SUITES_ENV [==[${LUMORA_TEST_ENV}]==])
set(SUITES_CACHE [==[${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.txt]==])
set(SUITES_TIMEOUT 600)
set(SUITES_CMAKE [==[${CMAKE_COMMAND}]==])
include([==[${PROJECT_SOURCE_DIR}/cmake/AddTestSuites.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${suites_file})
endfunction()
