# What the Windows build differs in: the sources not yet ported, SQLite, and the zip.

# Sources that do not compile for Windows yet, relative to the project root. They are left
# out of the Windows build, and a program or test that needs one is not built there. The
# list only shrinks: a file leaves it when it compiles for Windows.
set(PELLACOR_WINDOWS_PENDING
)

# Takes the pending sources out of every target that has them; marks a program whose own
# sources or libraries lost one as not built by default, so the stage builds what is whole.
# link/ names hidapi for its Linux HID path; on Windows HID goes through the system's own
# calls, so the name stands for nothing here.
if(NOT TARGET PkgConfig::HIDAPI)
  add_library(PkgConfig::HIDAPI INTERFACE IMPORTED)
endif()

function(pellacor_windows_subset)
  set(_libs pellacor_framework pellacor_codec pellacor_link pellacor_laminator pellacor_journal
            pellacor_ui pellacor_netsetup pellacor_app pellacor_sim pellacor_cli pellacor_tests)
  set(_incomplete)
  foreach(_t ${_libs} pellacor-sim pellacorctl)
    if(NOT TARGET ${_t})
      continue()
    endif()
    get_target_property(_dir ${_t} SOURCE_DIR)
    get_target_property(_sources ${_t} SOURCES)
    set(_kept)
    foreach(_s ${_sources})
      cmake_path(ABSOLUTE_PATH _s BASE_DIRECTORY ${_dir} NORMALIZE OUTPUT_VARIABLE _abs)
      cmake_path(RELATIVE_PATH _abs BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _rel)
      if(_rel IN_LIST PELLACOR_WINDOWS_PENDING)
        list(APPEND _incomplete ${_t})
      else()
        list(APPEND _kept ${_s})
      endif()
    endforeach()
    set_property(TARGET ${_t} PROPERTY SOURCES ${_kept})
  endforeach()
  list(REMOVE_DUPLICATES _incomplete)
  list(REMOVE_ITEM _incomplete pellacor_tests)
  if(_incomplete)
    message(STATUS "Windows: not yet whole, so pellacorctl and pellacor-sim may be left out: "
                   "${_incomplete}")
  endif()
  set(PELLACOR_WINDOWS_INCOMPLETE ${_incomplete} PARENT_SCOPE)
endfunction()

# SQLite: the amalgamation if one is given, else a stand-in whose every open fails with a
# plain reason (the header comes from Debian's libsqlite3-dev, staged by the bootstrap).
set(PELLACOR_SQLITE3_AMALGAMATION "" CACHE FILEPATH "sqlite3.c to build the service record with")
if(PELLACOR_SQLITE3_AMALGAMATION)
  add_library(pellacor_sqlite3 STATIC ${PELLACOR_SQLITE3_AMALGAMATION})
  target_include_directories(pellacor_sqlite3 PUBLIC ${PELLACOR_WINDOWS_DEPS}/include)
  target_compile_options(pellacor_sqlite3 PRIVATE -w)
else()
  message(STATUS "Windows: no sqlite3.c given; the service record will say it is not included")
  add_library(pellacor_sqlite3 STATIC ${PROJECT_SOURCE_DIR}/journal/windows/sqlite3_absent.c)
  target_include_directories(pellacor_sqlite3 PUBLIC ${PELLACOR_WINDOWS_DEPS}/include)
endif()

function(pellacor_windows_package)
endfunction()
