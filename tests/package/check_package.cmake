# One step of the package tests, run by ctest as cmake -P with -D settings:
#   STEP         install_this, install_other, find_package, pkg_config, subdirectory or
#                fetch_content
#   KIND         static or shared: the linkage installed or used
#   SOURCE_DIR   the Quenlo sources        WORK  the folder of every step's files
#   BUILD_DIR    the build under test      LIBDIR  its library folder below the prefix
#   GENERATOR, CXX, BUILD_TYPE, NM, PKG_CONFIG  as the build under test has them
#   SANITIZE     on when the consumer must link the sanitizers of the install it uses
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK}/install-${KIND})
set(consumer_source ${SOURCE_DIR}/tests/package/consumer)
if(SANITIZE)
  set(consumer_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
list(JOIN consumer_flags " " consumer_flags_text)
set(configure_args -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_FLAGS=${consumer_flags_text}
                   -DCMAKE_EXE_LINKER_FLAGS=${consumer_flags_text})

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "${command}\nfailed (${status}):\n${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

function(fresh folder)
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${folder})
endfunction()

# The dynamic symbols of the shared library must all belong to the public headers: a Quenlo
# name that no installed header declares (other than as a friend) is an internal one leaking.
function(check_exported_symbols library)
  file(GLOB headers ${prefix}/include/quenlo/*.hpp)
  set(declared "")
  foreach(header IN LISTS headers)
    file(STRINGS ${header} lines REGEX "^.*$")
    list(FILTER lines EXCLUDE REGEX "friend class")
    string(APPEND declared " ${lines} ")
  endforeach()
  run(${NM} -D --defined-only -C ${library})
  string(REPLACE "\n" ";" symbols "${run_output}")
  set(public 0)
  foreach(symbol IN LISTS symbols)
    if(NOT symbol MATCHES "(^| )quenlo::([A-Za-z_][A-Za-z0-9_]*)")
      continue()  # instances of standard templates over Quenlo types
    endif()
    set(name ${CMAKE_MATCH_2})
    if(NOT declared MATCHES "[^A-Za-z0-9_]${name}[^A-Za-z0-9_]")
      message(FATAL_ERROR "${library} exports the internal ${symbol}")
    endif()
    math(EXPR public "${public} + 1")
  endforeach()
  if(public EQUAL 0)
    message(FATAL_ERROR "${library} exports no symbol of Quenlo")
  endif()
  message(STATUS "${public} exported symbols, all of the public headers")
endfunction()

# A shared install exports only public symbols, and its tool runs without help to find the
# library.
function(check_install)
  if(NOT KIND STREQUAL "shared")
    return()
  endif()
  check_exported_symbols(${prefix}/${LIBDIR}/libquenlo.so)
  if(EXISTS ${prefix}/bin/quenlo)
    run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${prefix}/bin/quenlo --help)
  endif()
endfunction()

if(STEP STREQUAL "install_this")
  file(REMOVE_RECURSE ${prefix})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
  check_install()
elseif(STEP STREQUAL "install_other")
  # The library of the other linkage, with the tool when shared, so that its RPATH is tried.
  set(build ${WORK}/build-${KIND})
  fresh(${build})
  file(REMOVE_RECURSE ${prefix})
  if(KIND STREQUAL "shared")
    set(shared ON)
  else()
    set(shared OFF)
  endif()
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
      -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DBUILD_SHARED_LIBS=${shared} -DQUENLO_BUILD_TOOL=${shared}
      -DQUENLO_BUILD_TESTS=OFF -DQUENLO_BUILD_BENCH=OFF -DQUENLO_BUILD_EXAMPLES=OFF
      -DCMAKE_INSTALL_PREFIX=${prefix} -DCMAKE_INSTALL_LIBDIR=${LIBDIR})
  run(${CMAKE_COMMAND} --build ${build} --parallel 2)
  run(${CMAKE_COMMAND} --install ${build})
  check_install()
elseif(STEP STREQUAL "find_package")
  set(build ${WORK}/find-package-${KIND})
  fresh(${build})
  run(${CMAKE_COMMAND} -S ${consumer_source} -B ${build} ${configure_args} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
      -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${build})
  run(${build}/consumer)
elseif(STEP STREQUAL "pkg_config")
  # Compiled as C++23 (-std=c++2b, the name GCC 12 and Clang 14 share): the package must name
  # no language standard of its own.
  set(build ${WORK}/pkg-config-${KIND})
  fresh(${build})
  set(pkg_config ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig ${PKG_CONFIG})
  run(${pkg_config} --cflags quenlo)
  string(STRIP "${run_output}" cflags)
  if(cflags MATCHES "-std=")
    message(FATAL_ERROR "quenlo.pc sets the language standard: ${cflags}")
  endif()
  separate_arguments(cflags UNIX_COMMAND "${cflags}")
  if(KIND STREQUAL "static")
    run(${pkg_config} --libs --static quenlo)
  else()
    run(${pkg_config} --libs quenlo)
  endif()
  string(STRIP "${run_output}" libs)
  separate_arguments(libs UNIX_COMMAND "${libs}")
  run(${CXX} -std=c++2b -DQUENLO_CONSUMER_CXX23 ${consumer_flags} ${cflags} ${consumer_source}/main.cpp ${libs}
      -Wl,-rpath,${prefix}/${LIBDIR} -o ${build}/consumer)
  run(${build}/consumer)
elseif(STEP STREQUAL "subdirectory" OR STEP STREQUAL "fetch_content")
  # Built inside a project that chooses no build type and installs nothing of its own; FetchContent
  # takes the sources from this folder, so nothing is downloaded.
  set(build ${WORK}/${STEP})
  fresh(${build})
  if(STEP STREQUAL "fetch_content")
    set(fetch ON)
  else()
    set(fetch OFF)
  endif()
  run(${CMAKE_COMMAND} -S ${consumer_source} -B ${build} ${configure_args} -DQUENLO_SOURCE_DIR=${SOURCE_DIR}
      -DQUENLO_FETCH=${fetch} -DFETCHCONTENT_FULLY_DISCONNECTED=ON)
  run(${CMAKE_COMMAND} --build ${build} --parallel 2)
  run(${build}/consumer)
  run(${CMAKE_COMMAND} --install ${build} --prefix ${build}/installed)
  file(GLOB_RECURSE installed ${build}/installed/*)
  if(installed)
    message(FATAL_ERROR "Quenlo added install rules to the project that embeds it: ${installed}")
  endif()
else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
