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

# A symbol file that cannot be read (of another kind, missing) is refused with a message and
# a failing exit status, so that batch scripts can tell; the conversion is still saved.
foreach(bad sample.log missing.sym)
  file(REMOVE ${WORK}/q.tfp)
  execute_process(COMMAND ${CONVERT} --symbols ${DATA}/${bad} ${DATA}/sample.log ${WORK}/q.tfp
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(rc EQUAL 0 OR NOT EXISTS ${WORK}/q.tfp)
    message(FATAL_ERROR "--symbols ${bad}: exit status ${rc}, project saved: ${err}")
  endif()
  string(FIND "${err}" "symbol file(s) not read; the project was saved without them" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "no reason given for --symbols ${bad}: ${err}")
  endif()
endforeach()
string(FIND "${err}" "Cannot read the file" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no message for a missing symbol file: ${err}")
endif()
