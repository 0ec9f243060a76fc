# Scripts run from the command line: what they print and the exit status.
set(dir ${CMAKE_CURRENT_LIST_DIR})
set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated_scripts)

# Runs vek with the arguments (and standard input from the file, when given)
# and checks that its output starts with expected and its status is status.
function(expect label status expected input)
  set(options)
  if(input)
    set(options INPUT_FILE ${input})
  else()
    set(options INPUT_FILE /dev/null)
  endif()
  execute_process(COMMAND ${VEK} ${ARGN} ${options}
                  RESULT_VARIABLE actual_status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}" "${expected}" at)
  # Nothing runs after an error that ends the script (the Near line may
  # still show the code that would have printed it).
  string(REGEX MATCH "(^|\n)after\n" after "${out}")
  if(NOT at EQUAL 0 OR after OR NOT actual_status EQUAL status OR NOT err STREQUAL "")
    message(SEND_ERROR "${label}: expected status ${status} and output starting with\n${expected}\n"
                       "got status ${actual_status} and output\n${out}\nstandard error:\n${err}")
  endif()
endfunction()

expect("a script file" 0 "hello\n" "" ${dir}/hello.vek)
expect("the script's own arguments" 0 "[\"a\" \"b c\" \"--x\"]\n{a \"b c\" --x}\n%args.vek\n" ""
       ${dir}/args.vek a "b c" --x)
expect("options before the script" 0 "[]\n\"\"\n%args.vek\n" "" --catch --other ${dir}/args.vek)
expect("a file without a header" 1 "*** Error: Vek header not found!\n" "" ${dir}/no_header.vek)
expect("a script that ends in an error" 1
       "before\n*** Math Error: attempt to divide by zero\n*** Where: " "" ${dir}/ends_in_error.vek)
expect("a file that cannot be read" 1 "*** Access Error: cannot open: %${dir}/missing.vek\n" ""
       ${dir}/missing.vek)
expect("a directory" 1 "*** Access Error: cannot open: %${dir}\n" "" ${dir})
# A directory named so that read lists it has no script text either.
expect("a directory with its slash" 1 "*** Access Error: cannot open: %${dir}/\n" "" ${dir}/)
expect("the current directory" 1 "*** Access Error: cannot open: %.\n" "" .)
expect("the parent directory" 1 "*** Access Error: cannot open: %..\n" "" ..)
file(WRITE ${generated}/system.vek "Vek/System []\nprint \"after\"\n")
expect("a script for compilation" 1 "*** Error: contains Vek/System code which requires compilation!\n" ""
       ${generated}/system.vek)
# At the end of standard input, input and ask answer none; an empty line is
# an empty string.
file(WRITE ${generated}/lines.txt "a\n\n")
file(WRITE ${generated}/input.vek "Vek []\nprint mold reduce [input input ask \"q\" input]\n")
expect("input to the end of standard input" 0 "[\"a\" \"\" none none]\n" ${generated}/lines.txt
       ${generated}/input.vek)

# An error the script holds as its last value is no failure.
file(WRITE ${generated}/held.vek "Vek []\nx: try [1 / 0]\n")
expect("a script whose last value is an error it holds" 0 "" "" ${generated}/held.vek)
file(WRITE ${generated}/status.vek "Vek []\nquit/return 3\n")
expect("a script that quits with a status" 3 "" "" ${generated}/status.vek)

# "--catch" leads into the loop after the script, without the banner; the
# loop reads standard input.
file(WRITE ${generated}/typed.txt "print \"typed\"\n")
expect("--catch after a script" 0 "hello\ntyped\n" ${generated}/typed.txt --catch ${dir}/hello.vek)
expect("--catch after an error" 0 "before\n*** Math Error: attempt to divide by zero\n" ${generated}/typed.txt
       --catch ${dir}/ends_in_error.vek)
expect("--catch without a script" 0 "--== Vek " ${generated}/typed.txt --catch)
# A script's directives are expanded before it runs. One that fails stops
# the script before it runs: its message, then (halted), and status 1 unless
# the loop is asked for.
file(WRITE ${generated}/directives.vek "Vek []\n#macro twice: func [x] [reduce [x x]]\n#if true [print mold [twice 1]]\n")
expect("a script with directives" 0 "[1 1]\n" "" ${generated}/directives.vek)
file(WRITE ${generated}/bad_directive.vek "Vek []\nprint \"after\"\n#if true 1\n")
set(failed_directive "*** Preprocessor Error: Syntax error\n*** Where: #if true 1\n(halted)\n")
expect("a directive that fails" 1 "${failed_directive}" "" ${generated}/bad_directive.vek)
expect("--catch after a directive that fails" 0 "${failed_directive}typed\n" ${generated}/typed.txt
       --catch ${generated}/bad_directive.vek)

# After "--" nothing is an option: "--catch" is the script's name.
expect("-- ends the options" 1 "*** Access Error: cannot open: %--catch\n" "" -- --catch ${dir}/hello.vek)

# The script runs in its own directory, and its header is its own.
file(MAKE_DIRECTORY ${generated}/sub)
file(WRITE ${generated}/sub/where.vek "Vek [Title: \"Where\"]\nprint last split-path what-dir\n")
expect("the script's directory" 0 "sub/\n" "" ${generated}/sub/where.vek)

# Live data fills a heap capped for the test: no-memory ends the script with
# its report.
set(ENV{VEK_HEAP_MB} 64)
expect("a script that exhausts memory" 1 "before\n*** Internal Error: not enough memory\n" ""
       ${dir}/exhausts_memory.vek)
unset(ENV{VEK_HEAP_MB})

# 12,000 nested parens overflow the frame stack: try catches stack-overflow and
# the script goes on; at the top level it ends the script.
string(REPEAT "(" 12000 open)
string(REPEAT ")" 12000 close)
file(WRITE ${generated}/nested_in_try.vek
     "Vek []\ne: try [${open}1${close}]\nprint get in e 'id\nprint \"the script goes on\"\n")
expect("nested parens inside try" 0 "stack-overflow\nthe script goes on\n" "" ${generated}/nested_in_try.vek)
file(WRITE ${generated}/nested.vek "Vek []\nprint \"before\"\n${open}1${close}\nprint \"after\"\n")
expect("nested parens at the top" 1 "before\n*** Internal Error: stack overflow\n" "" ${generated}/nested.vek)

# Memory that the script no longer reaches is freed. A collection at every
# 10,000th allocation comes shortly before each measure, whatever the pacing.
set(ENV{VEK_GC_TORTURE} 10000)
expect("series dropped by the script are freed" 0 "true\ntrue\n" "" ${dir}/dropped_series.vek)
unset(ENV{VEK_GC_TORTURE})
