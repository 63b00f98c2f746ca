# The Windows programs run with UTF-8 as their code page: the manifest in
# utf8-code-page.manifest, linked in as a resource. Arguments and file names
# then reach the programs as UTF-8 whatever the system's ANSI code page, and
# the names they print (the "file" member of --json) are that UTF-8.
enable_language(RC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/utf8-code-page.rc.in ${CMAKE_BINARY_DIR}/utf8-code-page.rc @ONLY)

# Links the manifest into the program `target`.
function(fitcore_utf8_code_page target)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/utf8-code-page.rc)
endfunction()
