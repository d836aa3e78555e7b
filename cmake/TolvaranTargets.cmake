# Shared compile settings and the helpers that every folder uses to declare its library,
# its tests and its benchmarks. Each folder lists no files: a library's sources are every
# .cpp/.h in its folder and the rooms (subfolders) below it, so adding a type is adding its
# file pair.

add_library(tolvaran_options INTERFACE)
target_compile_options(tolvaran_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
  -Wimplicit-fallthrough)
if(TOLVARAN_WERROR)
  target_compile_options(tolvaran_options INTERFACE -Werror)
endif()
target_compile_definitions(tolvaran_options INTERFACE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_USE_QSTRINGBUILDER)
if(TOLVARAN_SANITIZE)
  target_compile_options(tolvaran_options INTERFACE -fsanitize=address,undefined
    -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tolvaran_options INTERFACE -fsanitize=address,undefined)
endif()

# tolvaran_library(NAME DEPS...): a static library from every source file of the folder and
# its subfolders, but those of a subfolder with a CMakeLists.txt of its own (a program).
function(tolvaran_library name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  file(GLOB_RECURSE own_lists "${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt")
  foreach(list IN LISTS own_lists)
    get_filename_component(program_folder "${list}" DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${program_folder}/")
  endforeach()
  add_library(${name} STATIC ${sources})
  # moc's step only re-runs when a file it saw last time changes, so files that a re-glob adds
  # to an existing build folder would link without their meta-objects. It sees this listing,
  # which changes exactly when the folder's file list does.
  string(REPLACE ";" "\n// " listing "${sources}")
  file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.h"
       CONTENT "// The sources of ${name}:\n// ${listing}\n")
  target_sources(${name} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.h")
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC tolvaran_options ${ARGN})
endfunction()

# tolvaran_test(NAME DEPS...): one test program from every source file of the folder,
# registered test by test with CTest.
function(tolvaran_test name)
  file(GLOB sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE tolvaran_options GTest::gtest GTest::gmock ${ARGN})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  # Tests may write plain string literals where a QString is expected.
  target_compile_options(${name} PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
  include(GoogleTest)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    DISCOVERY_TIMEOUT 60)
endfunction()

# tolvaran_widget_test(NAME DEPS...): a test program whose main makes a QApplication, for the
# folders whose tests build widgets.
function(tolvaran_widget_test name)
  tolvaran_test(${name} ${ARGN} Qt6::Widgets)
  target_sources(${name} PRIVATE
    "${PROJECT_SOURCE_DIR}/tests/widget_main/WidgetTestMain.cpp")
endfunction()
