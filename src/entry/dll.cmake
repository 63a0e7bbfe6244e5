# risview.dll: the entry and its exports over the core library.
enable_language(RC)
add_library(risview SHARED
  ${CMAKE_SOURCE_DIR}/src/entry/entry_win.cpp
  ${CMAKE_SOURCE_DIR}/src/entry/risview.def
  ${CMAKE_SOURCE_DIR}/src/entry/version.rc)
set_target_properties(risview PROPERTIES PREFIX "" OUTPUT_NAME risview)
target_link_libraries(risview PRIVATE risview_core)
target_link_options(risview PRIVATE -Wl,--enable-stdcall-fixup)
