# Source selection: a file ending in _win.cpp is built only for Windows targets,
# one ending in _posix.cpp only for the others; everything else is the portable
# core. All of it goes into one static library per target.
set(core_dirs src/platform src/pictures src/data src/content src/preview src/list src/pages src/forms src/model src/ui)

set(core_sources)
foreach(dir IN LISTS core_dirs)
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  foreach(f IN LISTS found)
    if(f MATCHES "_win\\.cpp$")
      if(WIN32)
        list(APPEND core_sources ${f})
      endif()
    elseif(f MATCHES "_posix\\.cpp$")
      if(NOT WIN32)
        list(APPEND core_sources ${f})
      endif()
    else()
      list(APPEND core_sources ${f})
    endif()
  endforeach()
endforeach()

find_package(JPEG REQUIRED)
if(WIN32)
  # Named directly: the imported ODBC target would switch the rest of the link to DLLs.
  set(odbc_library odbc32)
else()
  find_package(ODBC REQUIRED)
  set(odbc_library ODBC::ODBC)
endif()

add_library(risview_core STATIC ${core_sources})
target_include_directories(risview_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(risview_core PUBLIC ${odbc_library} JPEG::JPEG)
# Text differences come from dtl, a header-only library from the build machine's
# libdtl-dev; a cross build takes its folder alone, never the build machine's other headers.
find_path(DTL_INCLUDE dtl/dtl.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(dtl_include ${CMAKE_BINARY_DIR}/dtl-include)
file(MAKE_DIRECTORY ${dtl_include})
file(CREATE_LINK ${DTL_INCLUDE}/dtl ${dtl_include}/dtl SYMBOLIC)
target_include_directories(risview_core SYSTEM PRIVATE ${dtl_include})

if(WIN32)
  target_link_libraries(risview_core PUBLIC comctl32 gdi32 user32 shell32 ole32 oleaut32 oleacc uuid msimg32 comdlg32 crypt32)
  include(${CMAKE_SOURCE_DIR}/src/entry/dll.cmake)
endif()

include(${CMAKE_SOURCE_DIR}/tools/tools.cmake)
if(RISVIEW_TESTS)
  enable_testing()
  include(${CMAKE_SOURCE_DIR}/tests/tests.cmake)
endif()
