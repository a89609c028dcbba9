# The library is built from rooms: one folder, one object library
# (masscal_<folder with / as _>). src/CMakeLists.txt lists the rooms and
# assembles them, shared and static; the order rooms may use each other in
# is docs/architecture.md's, checked by the layer test.
function(masscal_room name)
  add_library(masscal_${name} OBJECT ${ARGN})
  target_include_directories(masscal_${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(masscal_${name} PRIVATE MASSCAL_BUILDING)
endfunction()
