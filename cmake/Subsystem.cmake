# One static library per subsystem, made of every source below its folder
# (or below only the DIRS named, when other libraries live in the rest).
# New files are picked up at the next build without editing this file.
function(vocerra_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM_LIBS;DIRS" ${ARGN})
  if(NOT ARG_DIRS)
    set(ARG_DIRS .)
  endif()
  set(sources)
  foreach(dir ${ARG_DIRS})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.c)
    list(APPEND sources ${found})
  endforeach()
  if(NOT sources)
    add_library(vocerra_${name} INTERFACE)
    target_include_directories(vocerra_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vocerra_${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM_LIBS})
    return()
  endif()
  add_library(vocerra_${name} STATIC ${sources})
  target_include_directories(vocerra_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vocerra_${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM_LIBS})
  vocerra_warnings(vocerra_${name})
endfunction()

# One test program per subsystem, labelled with its name. Suites whose name
# ends in "Concurrency" also run under the thread sanitizer.
function(vocerra_test_program name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_include_directories(test_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} vocerra_testsupport
                        GTest::gtest GTest::gmock GTest::gtest_main)
  vocerra_warnings(test_${name})
  # Calls need the prompts the build makes.
  if(TARGET vocerra_prompts)
    add_dependencies(test_${name} vocerra_prompts)
  endif()
  target_compile_definitions(test_${name} PRIVATE
    VOCERRA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    # Results must not depend on the sound cards of the machine.
    PROPERTIES LABELS ${name} TIMEOUT 300 ENVIRONMENT "VOCERRA_NO_SOUND_CARDS=1")
endfunction()
