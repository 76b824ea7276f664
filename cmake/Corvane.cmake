# Helpers shared by the subsystem folders.

# corvane_subsystem(<target> [LIBS ...]): one static library per folder, made
# of every .cpp/.h/.qrc in it (new files are picked up on the next build).
function(corvane_subsystem target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.qrc)
  if(_src)
    add_library(${target} STATIC ${_src})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
  else()
    # a folder whose first files have not landed yet
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# corvane_tests(LIBS ...): every tst_*.cpp in the current folder becomes one
# QtTest executable registered with CTest, run headless with a fixed locale.
function(corvane_tests)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(_t ${_tests})
    get_filename_component(_name ${_t} NAME_WE)
    add_executable(${_name} ${_t})
    set_target_properties(${_name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
    target_link_libraries(${_name} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${_name} COMMAND ${_name})
    set_tests_properties(${_name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=Asia/Shanghai"
      TIMEOUT 300)
  endforeach()
endfunction()
