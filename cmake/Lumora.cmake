# The building blocks of every folder: libraries and programs (cmake/Layers.cmake), tests.
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

# lumora_test_program(NAME [QT] SOURCES file... [FEATURE library] [LIBS lib...])
#   A GoogleTest executable of the calling test folder. It tests one FEATURE: by default the
#   library of the folder of the same name (tests/net tests lumora_net). It sees its own folder,
#   tests/support and what its feature sees; LIBS adds libraries of lower rows than the feature,
#   and what they see. QT gives it a main that starts a QApplication on the offscreen platform.
function(lumora_test_program name)
  cmake_parse_arguments(ARG "QT" "FEATURE" "SOURCES;LIBS" ${ARGN})
  set(folder ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT ARG_FEATURE)
    get_filename_component(leaf ${folder} NAME)
    get_property(libraries GLOBAL PROPERTY LUMORA_TARGETS)
    foreach(library IN LISTS libraries)
      get_property(library_folder GLOBAL PROPERTY LUMORA_FOLDER_${library})
      get_filename_component(library_leaf "${library_folder}" NAME)
      if(library_leaf STREQUAL leaf)
        set(ARG_FEATURE ${library})
      endif()
    endforeach()
    if(NOT ARG_FEATURE)
      message(FATAL_ERROR "${name}: no library is named like ${folder}; say its FEATURE")
    endif()
  endif()

  lumora_rank(${ARG_FEATURE} feature_rank)
  lumora_split_uses(${name} "${ARG_LIBS}" layered others)
  list(REMOVE_ITEM layered ${ARG_FEATURE})
  lumora_check_below("${name}, testing ${ARG_FEATURE}," ${feature_rank} "${layered}"
    "a test sees its feature, what lies below it, and tests/support")

  if(ARG_QT)
    set(main lumora_test_support_qt)
  else()
    set(main lumora_test_main)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set(uses ${ARG_FEATURE} ${layered})
  lumora_link(${name} PRIVATE "${uses}" "${others};${main};lumora_test_support;GTest::gtest;GTest::gmock")
  lumora_view(${name} FOLDERS ${folder} ${PROJECT_SOURCE_DIR}/tests/support VIEWS_OF ${uses}
    DECLARED "${name} tests ${ARG_FEATURE}, uses: ${layered}")
endfunction()

# lumora_tests(NAME [QT] [SOURCES file... | EXCEPT file...] [FEATURE library] [LIBS lib...])
#   lumora_test_program of every .cpp in the calling folder but the EXCEPT files, or of the
#   SOURCES given, registered with CTest.
function(lumora_tests name)
  cmake_parse_arguments(ARG "QT" "FEATURE" "SOURCES;EXCEPT;LIBS" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(TRANSFORM ARG_EXCEPT PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    list(REMOVE_ITEM sources ${ARG_EXCEPT})
  endif()
  if(NOT sources)
    return()
  endif()
  if(ARG_QT)
    set(qt QT)
  endif()
  lumora_test_program(${name} ${qt} SOURCES ${sources} FEATURE "${ARG_FEATURE}" LIBS ${ARG_LIBS})
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
