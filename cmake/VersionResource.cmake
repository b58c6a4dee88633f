# Gives a library or program the release's version resource:
#   ostra_version_resource(TARGET FILE_NAME DESCRIPTION FILE_TYPE)
# FILE_TYPE is VFT_DLL or VFT_APP. The values come from the top project.
function(ostra_version_resource target file_name description file_type)
  set(OSTRA_RC_FILE_NAME ${file_name})
  set(OSTRA_RC_DESCRIPTION ${description})
  set(OSTRA_RC_FILE_TYPE ${file_type})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}Version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionResource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
