# Run by CPack after it made the zips: one file of SHA-256 sums beside them, in the form that
# `sha256sum -c` and PowerShell's Get-FileHash users both read (the hash, two spaces, the name).
set(sums "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(SHA256 ${package} hash)
  get_filename_component(name ${package} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
# The zips named above are still in CPack's work folder; they are copied unchanged to the
# package folder, where the sums go.
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_VANTREL_SUM_FILE} ${sums})
message(STATUS "Sums: ${CPACK_PACKAGE_DIRECTORY}/${CPACK_VANTREL_SUM_FILE}")
