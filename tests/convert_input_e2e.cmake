# orvanel-convert with awkward inputs: a project name that starts with "-", a folder given as
# the log, a project whose trace data cannot be read whole. Run by CTest with CONVERT (the
# program), DATA (tests/data/symbols) and WORK (a scratch folder in the build tree).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Runs the converter in WORK and expects its exit code; its standard error is kept.
function(run expected)
  execute_process(COMMAND ${CONVERT} ${ARGN} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL expected)
    message(FATAL_ERROR "orvanel-convert ${ARGN} gave ${rc}, not ${expected}: ${err}")
  endif()
  set(stderr_text "${err}" PARENT_SCOPE)
endfunction()

function(expect_said text)
  string(FIND "${stderr_text}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "orvanel-convert did not say \"${text}\": ${stderr_text}")
  endif()
endfunction()

# "--" ends the options.
run(0 ${DATA}/sample.log -- -x.tfp)
if(NOT EXISTS ${WORK}/-x.tfp OR NOT EXISTS ${WORK}/-x.tfd)
  message(FATAL_ERROR "no project -x.tfp")
endif()

run(1 ${WORK} folder.tfp)
expect_said("is a folder")

# A bad number in every line of the trace data: a re-save under a new name is written and
# fails; a re-save over the project's own files is refused and changes nothing.
file(READ ${WORK}/-x.tfd data)
string(REGEX REPLACE "textcolor=\"[^\"]*\"" "textcolor=\"0x1G\"" data "${data}")
file(WRITE ${WORK}/-x.tfd "${data}")
run(1 --resave -- -x.tfp copy.tfp)
expect_said("attribute textcolor: '0x1G' is not a number")
expect_said("was read with errors")
if(NOT EXISTS ${WORK}/copy.tfp)
  message(FATAL_ERROR "the re-save under a new name wrote nothing")
endif()
run(1 --resave -- -x.tfp -x.tfp)
expect_said("save it under another name")
file(READ ${WORK}/-x.tfd after)
if(NOT after STREQUAL data)
  message(FATAL_ERROR "a refused re-save changed the trace data file")
endif()
