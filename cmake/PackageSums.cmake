# Run by CPack after it made the zips: one file of SHA-256 sums beside them, in the form that
# `sha256sum -c` and PowerShell's Get-FileHash users both read (the hash, two spaces, the name).
set(sums "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(SHA256 ${package} hash)
  get_filename_component(name ${package} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
list(GET CPACK_PACKAGE_FILES 0 first)
get_filename_component(folder ${first} DIRECTORY)
file(WRITE ${folder}/${CPACK_VANTREL_SUM_FILE} ${sums})
message(STATUS "Sums: ${folder}/${CPACK_VANTREL_SUM_FILE}")
