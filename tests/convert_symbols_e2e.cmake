# orvanel-convert end to end: a log converted with a symbol file, then its listing and its
# symbols exported. Run by CTest with CONVERT (the program), DATA (tests/data/symbols) and
# WORK (a scratch folder in the build tree).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${CONVERT} ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "orvanel-convert ${ARGN} failed (${rc}): ${err}")
  endif()
  set(stderr_text "${err}" PARENT_SCOPE)
endfunction()

function(expect_in file text)
  file(READ ${file} content)
  string(FIND "${content}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} lacks \"${text}\":\n${content}")
  endif()
endfunction()

run(--symbols ${DATA}/labels.mlb --rom-map lorom ${DATA}/sample.log ${WORK}/p.tfp)
string(FIND "${stderr_text}" "3 labels, 3 mappings, 2 comments added" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no import summary: ${stderr_text}")
endif()
expect_in(${WORK}/p.tlm "Reset")

run(--export-listing ${WORK}/p.txt ${WORK}/p.tfp)
expect_in(${WORK}/p.txt "1   $008010 Global.Sub: LDA PlayerX [$7E0010]")
run(--export-symbols wla ${WORK}/p.sym ${WORK}/p.tfp)
expect_in(${WORK}/p.sym "[labels]\n00:2100 DisplayControl\n00:8000 Reset\n")
run(--export-symbols mlb ${WORK}/p.mlb ${WORK}/p.tfp)
expect_in(${WORK}/p.mlb "SnesPrgRom:0010:Sub:loads the player's x\n")

# A file of another kind is refused with a message; the conversion still saves.
run(--symbols ${DATA}/sample.log ${DATA}/sample.log ${WORK}/q.tfp)
string(FIND "${stderr_text}" "is not a symbol file of a known kind" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no message for a log given as symbols: ${stderr_text}")
endif()
