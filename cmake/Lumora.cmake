# lumora_library(NAME [DEPS dep...])
#   A static library of every .cpp in the calling folder (not its subfolders). The folder's
#   parent (src/) is on the include path, so headers are included as "net/HttpClient.h".
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
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumora_test_support GTest::gtest_main GTest::gmock)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  # PROPERTIES of gtest_discover_tests splits a list value into separate arguments, so the
  # environment is set afterwards, on the discovered tests, by a file CTest includes next.
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${env_file}
    "set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${LUMORA_TEST_ENV}]==] TIMEOUT 300)\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()
