#include "runtime/io/files.h"

namespace vek::files {

bool make_dir(const Cell*) { return false; }

bool exists(const Cell*) { return false; }

void write_stdout(const Cell*) {}

}  // namespace vek::files
