# The version the programs print with --version: PROJECT_VERSION written into
# a generated source of the library, so that only that one unit is rebuilt
# when the version changes.
function(quill_version_source out_var version)
  set(QUILL_VERSION_STRING "${version}")
  set(generated "${CMAKE_CURRENT_BINARY_DIR}/generated/Version.cpp")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Version.cpp.in" "${generated}" @ONLY)
  set(${out_var} "${generated}" PARENT_SCOPE)
endfunction()
