# Compile settings shared by every Pendulo target: link pendulo_common PRIVATE to get them.
add_library(pendulo_common INTERFACE)
target_compile_features(pendulo_common INTERFACE cxx_std_20)
target_compile_options(pendulo_common INTERFACE -Wall -Wextra -Wno-unused-parameter)
target_compile_definitions(pendulo_common INTERFACE
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_KEYWORDS
  PENDULO_VERSION="${PROJECT_VERSION}")

# Adds a static library for one layer folder from every .cpp/.h below it (fakes/ and linux/ included,
# main.cpp excluded). Layer folders own their CMakeLists.txt and call this.
function(pendulo_add_layer_library target)
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/*.qrc")
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${_sources})
  target_include_directories(${target} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE pendulo_common)
  pendulo_rerun_automoc_when_sources_change(${target} "${_sources}")
endfunction()

# With Ninja, automoc only reruns when one of the headers it saw last time changes, so a header added by
# a pull (picked up by the globs above) never got its moc file and the link failed. When the source list
# changes, drop the automoc stamp so the next build reruns it.
function(pendulo_rerun_automoc_when_sources_change target sources)
  string(SHA1 _digest "${sources}")
  set(_cache_var "PENDULO_SOURCES_DIGEST_${target}")
  if(DEFINED ${_cache_var} AND NOT "${${_cache_var}}" STREQUAL "${_digest}")
    file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp")
  endif()
  set(${_cache_var} "${_digest}" CACHE INTERNAL "")
endfunction()
