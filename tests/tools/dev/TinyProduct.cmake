# A stand-in for the product's build tree in the tests of `zorvi dev`: builds in a second, where the
# real product takes minutes on a 2-core machine. The tweak is one tiny source; the settings bundle
# is the real built library (ZV_BUILT_BUNDLE) with this tree's own copies of the real plists, so
# that Settings opens the real pages and follows their links.
cmake_minimum_required(VERSION 3.16)
project(tiny_product CXX)

add_library(Zorvi MODULE tweak/Tiny.cpp)
set_target_properties(Zorvi PROPERTIES PREFIX "" SUFFIX ".dylib" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

set(bundle ${CMAKE_BINARY_DIR}/lib/zorvipref.bundle)
set(outputs ${bundle}/zorvipref)
add_custom_command(OUTPUT ${bundle}/zorvipref
  COMMAND ${CMAKE_COMMAND} -E copy ${ZV_BUILT_BUNDLE} ${bundle}/zorvipref DEPENDS ${ZV_BUILT_BUNDLE})
foreach(name Info.plist Root.plist ColorPrefs.plist Entry.plist)
  add_custom_command(OUTPUT ${bundle}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/zorvipref/Resources/${name} ${bundle}/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/zorvipref/Resources/${name})
  list(APPEND outputs ${bundle}/${name})
endforeach()
add_custom_target(zorvipref ALL DEPENDS ${outputs})
