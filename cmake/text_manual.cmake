# Formats the man page IN as plain text (no overstrikes, no escape sequences)
# and writes it to OUT with CRLF line ends. Run with cmake -P; GROFF names
# the groff program.
execute_process(
  COMMAND ${GROFF} -t -man -Tascii -P-cbou ${IN}
  OUTPUT_VARIABLE text
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR text STREQUAL "")
  message(FATAL_ERROR "groff could not format ${IN}: ${errors}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
