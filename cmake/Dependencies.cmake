# The libraries every part of the player links, found once here. Libraries that only the
# server or only the tests use are found where they are used (server/, tests/).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg DBus)

pkg_check_modules(GST REQUIRED IMPORTED_TARGET gstreamer-1.0 gstreamer-app-1.0 gstreamer-audio-1.0 gstreamer-pbutils-1.0)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
pkg_check_modules(NETTLE REQUIRED IMPORTED_TARGET nettle)
pkg_check_modules(SIMDJSON REQUIRED IMPORTED_TARGET simdjson)

if(LUMORA_TESTS)
  find_package(GTest REQUIRED)
  # A second HTTP stack for the tests' own loopback servers and clients.
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  # Mouse and key events sent to widgets as a user would.
  find_package(Qt6 REQUIRED COMPONENTS Test)
endif()
if(LUMORA_BENCH)
  find_package(benchmark REQUIRED)
endif()
