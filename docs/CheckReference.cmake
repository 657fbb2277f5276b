# Builds the reference as zq_doc does, into OUTPUT, and fails on any warning of Doxygen (an
# undocumented public member among them), on a public header that the reference leaves out
# (Doxygen says nothing of the members of an undocumented file), and on a first page without the
# example program.
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
file(READ ${DOXYFILE} Settings)
# Without the help file: Qt's help generator reports its progress where Doxygen's warnings go.
string(APPEND Settings "\nOUTPUT_DIRECTORY = \"${OUTPUT}\"\nGENERATE_TAGFILE = \"${OUTPUT}/zq.tag\"\nGENERATE_QHP = NO\n")
file(WRITE ${OUTPUT}/Doxyfile "${Settings}")
execute_process(COMMAND ${DOXYGEN} ${OUTPUT}/Doxyfile WORKING_DIRECTORY ${OUTPUT}
  RESULT_VARIABLE Result ERROR_VARIABLE Warnings)
if(NOT Result EQUAL 0 OR NOT Warnings STREQUAL "")
  # Treated as errors, Doxygen's warnings say "error:".
  string(REGEX MATCHALL ": (warning|error):" Count "${Warnings}")
  list(LENGTH Count Count)
  message(NOTICE "${Warnings}")
  message(FATAL_ERROR "Doxygen (exit code ${Result}) gave ${Count} warnings, above")
endif()

file(READ ${OUTPUT}/zq.tag Tags)
foreach(Header IN LISTS HEADERS)
  get_filename_component(Name ${Header} NAME)
  string(REPLACE "." "\\." Pattern "${Name}")
  if(NOT Tags MATCHES "<compound kind=\"file\">[ \t\r\n]*<name>${Pattern}</name>")
    message(FATAL_ERROR "${Header} has no page in the reference: document the file (\\file)")
  endif()
endforeach()

file(READ ${OUTPUT}/html/index.html FirstPage)
if(NOT FirstPage MATCHES "TTaskList")
  message(FATAL_ERROR "The first page of the reference does not show the example program")
endif()
message(STATUS "The reference is complete: ${OUTPUT}/html/index.html")
