# Helpers that keep every subsystem's CMakeLists a few lines long.
# Sources are globbed per folder so that adding a file needs no edit here.

# crv_add_library(<name> [DEPS <targets...>])
# A static library from every .cpp below the current folder except main.cpp.
# Headers are included from src/, e.g. "database/db_connection.h".
function(crv_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(srcs)
    add_library(${name} STATIC ${srcs} ${hdrs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# crv_add_tests(<name> [LIBS <targets...>])
# One GoogleTest program from every *_test.cpp in the current folder,
# each test registered with CTest.
function(crv_add_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
               TIMEOUT 300)
endfunction()
