# What the Windows build differs in: the sources not yet ported, SQLite, and the zip.

# Sources that do not compile for Windows yet, relative to the project root (a name ending
# in / stands for the folder). They are left out of the Windows build, and a program that
# needs one is not built there. The list only shrinks: a file leaves it when it compiles
# for Windows, a test folder when its tests link.
set(PELLACOR_WINDOWS_PENDING
  # Builds Linux network namespaces with ip netns and enters them with setns; under Wine
  # tests/windows/search-in-namespaces does the same with pellacorctl.exe.
  tests/netsetup/netns_search_test.cpp
)

# Takes the pending sources out of every target that has them; marks a program whose own
# sources or libraries lost one as not built by default, so the stage builds what is whole.
# link/ names hidapi for its Linux HID path; on Windows HID goes through the system's own
# calls, so the name stands for nothing here.
if(NOT TARGET PkgConfig::HIDAPI)
  add_library(PkgConfig::HIDAPI INTERFACE IMPORTED)
endif()

function(pellacor_windows_subset)
  set(_libs pellacor_platform pellacor_platform_usb pellacor_usb_sim_transport pellacor_framework pellacor_codec pellacor_link pellacor_laminator pellacor_journal
            pellacor_ui pellacor_netsetup pellacor_app pellacor_sim pellacor_cli pellacor_tests)
  set(_incomplete)
  foreach(_t ${_libs} pellacor-sim pellacorctl tests_platform tests_framework)
    if(NOT TARGET ${_t})
      continue()
    endif()
    get_target_property(_dir ${_t} SOURCE_DIR)
    get_target_property(_sources ${_t} SOURCES)
    set(_kept)
    foreach(_s ${_sources})
      cmake_path(ABSOLUTE_PATH _s BASE_DIRECTORY ${_dir} NORMALIZE OUTPUT_VARIABLE _abs)
      cmake_path(RELATIVE_PATH _abs BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _rel)
      set(_pending FALSE)
      foreach(_p ${PELLACOR_WINDOWS_PENDING})
        if(_rel STREQUAL _p OR (_p MATCHES "/$" AND _rel MATCHES "^${_p}"))
          set(_pending TRUE)
        endif()
      endforeach()
      if(_pending)
        list(APPEND _incomplete ${_t})
      else()
        list(APPEND _kept ${_s})
      endif()
    endforeach()
    # A program keeps its sources: it is only left out of the default build below.
    get_target_property(_type ${_t} TYPE)
    if(NOT _type STREQUAL "EXECUTABLE" OR _t MATCHES "^(pellacor_)?tests")
      set_property(TARGET ${_t} PROPERTY SOURCES ${_kept})
    endif()
  endforeach()
  # The programs that are whole, for scripts/windows-test to build and package.
  set(_needs_pellacor-sim pellacor-sim pellacor_sim pellacor_usb_sim_transport pellacor_platform)
  set(_needs_pellacorctl pellacorctl pellacor_cli pellacor_netsetup pellacor_journal
                         pellacor_laminator pellacor_link pellacor_codec pellacor_framework
                         pellacor_platform pellacor_usb_sim_transport)
  set(_whole)
  foreach(_program pellacor-sim pellacorctl)
    set(_is_whole TRUE)
    foreach(_need ${_needs_${_program}})
      if(_need IN_LIST _incomplete)
        set(_is_whole FALSE)
      endif()
    endforeach()
    if(_is_whole)
      list(APPEND _whole ${_program})
    else()
      message(STATUS "Windows: ${_program} is not built yet (sources still pending)")
      set_property(TARGET ${_program} PROPERTY EXCLUDE_FROM_ALL TRUE)
    endif()
  endforeach()
  string(REPLACE ";" "\n" _lines "${_whole}")
  file(WRITE ${CMAKE_BINARY_DIR}/windows-programs.txt "${_lines}\n")
  # The tests: the one executable once every library is whole (a library missing a source
  # cannot be linked against); until then the own executables of the whole layers.
  set(_layers platform framework)
  set(_tests pellacor_tests)
  foreach(_lib ${_libs})
    if(_lib IN_LIST _incomplete AND NOT _lib STREQUAL "pellacor_tests")
      set(_tests)
      foreach(_layer ${_layers})
        if(TARGET tests_${_layer} AND NOT pellacor_${_layer} IN_LIST _incomplete)
          list(APPEND _tests tests_${_layer})
        endif()
      endforeach()
      break()
    endif()
  endforeach()
  string(REPLACE ";" "\n" _lines "${_tests}")
  file(WRITE ${CMAKE_BINARY_DIR}/windows-tests.txt "${_lines}\n")
endfunction()

# SQLite: the amalgamation if one is given, else a stand-in whose every open fails with a
# plain reason (the header comes from Debian's libsqlite3-dev, staged by the bootstrap).
set(_staged_sqlite "${PELLACOR_WINDOWS_DEPS}/sqlite/sqlite3.c")
if(NOT EXISTS "${_staged_sqlite}")
  set(_staged_sqlite "")
endif()
set(PELLACOR_SQLITE3_AMALGAMATION "${_staged_sqlite}" CACHE FILEPATH
    "sqlite3.c to build the service record with (the bootstrap makes it from Debian's source)")
if(PELLACOR_SQLITE3_AMALGAMATION)
  add_library(pellacor_sqlite3 STATIC ${PELLACOR_SQLITE3_AMALGAMATION})
  target_include_directories(pellacor_sqlite3 PUBLIC ${PELLACOR_WINDOWS_DEPS}/include)
  target_compile_options(pellacor_sqlite3 PRIVATE -w)
else()
  message(STATUS "Windows: no sqlite3.c given; the service record will say it is not included")
  add_library(pellacor_sqlite3 STATIC ${PROJECT_SOURCE_DIR}/journal/windows/sqlite3_absent.c)
  target_include_directories(pellacor_sqlite3 PUBLIC ${PELLACOR_WINDOWS_DEPS}/include)
endif()

# The zip: both programs, their manuals as text, and the README for technicians. Built by
# `cpack -G ZIP` after the target pellacor_windows_manuals.
function(pellacor_windows_package)
  set(_manuals)
  foreach(_program pellacorctl pellacor-sim)
    set(_text ${CMAKE_BINARY_DIR}/manual/${_program}.txt)
    add_custom_command(
      OUTPUT ${_text}
      COMMAND ${CMAKE_COMMAND} -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
              -DPROGRAM=$<TARGET_FILE:${_program}> -DOUTPUT=${_text}
              -P ${PROJECT_SOURCE_DIR}/cmake/help_as_text.cmake
      DEPENDS ${_program} ${PROJECT_SOURCE_DIR}/cmake/help_as_text.cmake
      VERBATIM)
    list(APPEND _manuals ${_text})
  endforeach()
  add_custom_target(pellacor_windows_manuals DEPENDS ${_manuals})
  install(TARGETS pellacorctl pellacor-sim RUNTIME DESTINATION .)
  install(FILES ${_manuals} ${PROJECT_SOURCE_DIR}/packaging/windows/README-Windows.txt
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME pellacor)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME pellacor-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
endfunction()
