# The keywords and record lengths of the download files, read from the layouts in src/records/
# for the bash completion and the scripts, so that they are typed nowhere else:
#   VARNOKLIS_KEYWORDS          the keywords, blank-separated, in layout order
#   generated/layouts.txt       one line "KEYWORD LENGTH" per layout (0: lines of quoted values)
# The build's tests compare the file with the layouts the programs use.
set(LAYOUTS_H ${CMAKE_SOURCE_DIR}/src/records/layouts.h)
set(LAYOUTS_CC ${CMAKE_SOURCE_DIR}/src/records/layouts.cc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LAYOUTS_H} ${LAYOUTS_CC})
file(READ ${LAYOUTS_H} layouts_header)
file(READ ${LAYOUTS_CC} layouts_source)

# The rows of the table kLayouts: {"QZDNL17P", kQzdnl17p.record_length, ...} or {"IDSTAMM", 0, ...}.
string(REGEX REPLACE ".*kLayouts = {{(.*)}};.*" "\\1" layout_table "${layouts_source}")
string(REGEX MATCHALL "{\"[A-Z0-9]+\", [A-Za-z0-9_.]+," layout_rows "${layout_table}")
set(VARNOKLIS_KEYWORDS "")
set(VARNOKLIS_LAYOUT_LINES "")
foreach(row IN LISTS layout_rows)
  string(REGEX MATCH "\"([A-Z0-9]+)\", ([A-Za-z0-9_]+)" matched "${row}")
  set(keyword ${CMAKE_MATCH_1})
  set(length ${CMAKE_MATCH_2})
  if(NOT length MATCHES "^[0-9]+$")
    # kQzdnl17p: the record_length of the layout type that kQzdnl17p is made of.
    set(constant ${length})
    string(REGEX MATCH "inline constexpr ([A-Za-z0-9_]+) ${constant}{}" matched "${layouts_header}")
    set(type ${CMAKE_MATCH_1})
    set(length "")
    if(type)
      string(REGEX MATCH "struct ${type} {[^}]*record_length = ([0-9]+);" matched
        "${layouts_header}")
      set(length ${CMAKE_MATCH_1})
    endif()
    if(NOT length)
      message(FATAL_ERROR "cmake/layouts.cmake: no record length found for ${keyword} (${constant})")
    endif()
  endif()
  string(APPEND VARNOKLIS_KEYWORDS " ${keyword}")
  string(APPEND VARNOKLIS_LAYOUT_LINES "${keyword} ${length}\n")
endforeach()
string(STRIP "${VARNOKLIS_KEYWORDS}" VARNOKLIS_KEYWORDS)
if(NOT VARNOKLIS_KEYWORDS)
  message(FATAL_ERROR "cmake/layouts.cmake: no layouts found in ${LAYOUTS_CC}")
endif()
file(CONFIGURE OUTPUT generated/layouts.txt CONTENT "${VARNOKLIS_LAYOUT_LINES}")
