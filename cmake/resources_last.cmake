# Writes OUT: the linker's own default script for Windows programs with one
# change, the resource section moved behind the relocations, so that it ends
# the image. A tool that rebrands a copy of setup.exe replaces that section
# and can then let it grow without moving any other section. Everything else
# (section order, alignment, the relocations that allow a random load
# address) stays as the linker makes it.
function(kiv_write_resources_last_script LINKER OUT)
  execute_process(COMMAND ${LINKER} --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${LINKER} --verbose failed")
  endif()
  # The script stands between two lines of '=' characters.
  string(REGEX MATCH "\n=+\n(.*)\n=+\n" found "${verbose}")
  set(script "${CMAKE_MATCH_1}")
  set(rsrc_re "  \\.rsrc BLOCK\\(__section_alignment__\\)[^\n]*\n  {\n[^}]*}\n")
  set(reloc_re "  \\.reloc BLOCK\\(__section_alignment__\\)[^\n]*\n  {\n[^}]*}\n")
  string(REGEX MATCH "${rsrc_re}" rsrc "${script}")
  string(REGEX MATCH "${reloc_re}" reloc "${script}")
  if(rsrc STREQUAL "" OR reloc STREQUAL "")
    message(FATAL_ERROR "${LINKER}'s default script has no .rsrc or .reloc section as expected")
  endif()
  string(REPLACE "${rsrc}" "" script "${script}")
  string(REPLACE "${reloc}" "${reloc}${rsrc}" script "${script}")
  file(WRITE ${OUT} "/* Made by cmake/resources_last.cmake: the resource section last. */\n${script}\n")
endfunction()
