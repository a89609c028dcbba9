# Every subsystem folder contributes its sources to the one library through
# masscal_sources(); the library is then assembled once, shared and static.
define_property(GLOBAL PROPERTY MASSCAL_SOURCES
  BRIEF_DOCS "sources of libmasscal" FULL_DOCS "sources of libmasscal")
define_property(GLOBAL PROPERTY MASSCAL_LIBS
  BRIEF_DOCS "link dependencies of libmasscal" FULL_DOCS "link dependencies of libmasscal")

function(masscal_sources)
  foreach(src IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY MASSCAL_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${src})
  endforeach()
endfunction()

function(masscal_link)
  set_property(GLOBAL APPEND PROPERTY MASSCAL_LIBS ${ARGN})
endfunction()
