include(GoogleTest)

set(TESSAVUE_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest sources (Debian's googletest package); fetched when absent")

macro(tessavue_setup_gtest)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(EXISTS ${TESSAVUE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    add_subdirectory(${TESSAVUE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    include(FetchContent)
    FetchContent_Declare(googletest
      URL https://github.com/google/googletest/archive/refs/tags/v1.14.0.zip)
    FetchContent_MakeAvailable(googletest)
  endif()
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      # GoogleTest's own sources are not ours to keep warning-free.
      target_compile_options(${t} PRIVATE $<$<NOT:$<CXX_COMPILER_ID:MSVC>>:-w>)
    endif()
  endforeach()
endmacro()

# tessavue_add_test(<name> SOURCES ... [LIBS ...] [PREFIX <wine prefix group>] [TIMEOUT <s>]
#                   [DISPLAY_LOCK] [PRIVATE_REGISTRY CURRENT_USER|CURRENT_USER_AND_CLASSES]
#                   [REAL_REGISTRY])
# Every case runs as its own process; cases of one executable share a Wine prefix and never run
# at the same time (they share named kernel objects and the registry), other executables may.
# DISPLAY_LOCK: the cases depend on window order or focus on the shared test display, so they
# never run beside another executable that says the same.
# PRIVATE_REGISTRY: the test process works on a private HKCU (and HKCR) of its own, so that its
# cases never touch the developer's settings or registrations. REAL_REGISTRY: every case needs the
# real keys (machine-wide registration, a started Manager): they run only under Wine or on opt-in.
function(tessavue_add_test name)
  cmake_parse_arguments(ARG "DISPLAY_LOCK;REAL_REGISTRY" "PREFIX;TIMEOUT;PRIVATE_REGISTRY" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_PREFIX)
    set(ARG_PREFIX ${name})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tvq_testsupport GTest::gtest GTest::gmock ${ARG_LIBS})
  if(MINGW)
    target_link_options(${name} PRIVATE -municode)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(ARG_PRIVATE_REGISTRY OR ARG_REAL_REGISTRY)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common/RegistryScope.cpp)
  endif()
  if(ARG_PRIVATE_REGISTRY)
    target_compile_definitions(${name} PRIVATE TVQ_PRIVATE_REGISTRY_${ARG_PRIVATE_REGISTRY})
  elseif(ARG_REAL_REGISTRY)
    target_compile_definitions(${name} PRIVATE TVQ_REAL_REGISTRY)
  endif()
  # One lock name only: gtest_discover_tests flattens lists in its properties. The display lock
  # also keeps the cases of the executable apart, which is all the prefix lock does.
  set(locks "wineprefix_${ARG_PREFIX}")
  if(ARG_DISPLAY_LOCK)
    set(locks "test_display")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES
      ENVIRONMENT "TVQ_WINE_PREFIX=${ARG_PREFIX}"
      RESOURCE_LOCK "${locks}"
      TIMEOUT ${ARG_TIMEOUT})
endfunction()
