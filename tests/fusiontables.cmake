# Runs vardell-fusiontables on the example data and the benchmark data (every strategy,
# coefficient and constraint) and compares the SHA-256 digest of its output with the one the
# x87 build of the program has always given: every fusion table and every stored number of
# those runs stays the same to the bit. scripts/check-portable.sh runs the same data.
#   cmake -DTOOL=... -DDATA=... -DEXPECTED=... [-DEMULATOR=a|b|c] -P fusiontables.cmake
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
execute_process(
  COMMAND ${EMULATOR} ${TOOL} ${DATA}/ABER.DAT ${DATA}/RLGH.DAT ${DATA}/ABER.CSV@2@1 bench
  OUTPUT_VARIABLE tables RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "vardell-fusiontables failed: ${status}")
endif()
string(SHA256 digest "${tables}")
if(NOT digest STREQUAL EXPECTED)
  message(FATAL_ERROR "fusion tables changed: digest ${digest}, expected ${EXPECTED}")
endif()
