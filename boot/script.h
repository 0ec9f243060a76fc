// Running a script from the command line: the file named first on it, or
// else standard input when that is not a terminal.
#pragma once

namespace vek::boot {

// Runs what the command line asks for and answers the exit status: 0, or 1
// when the script cannot run or ends in an error. The arguments after the
// file are the script's own.
int launch(int argc, char** argv);

}  // namespace vek::boot
