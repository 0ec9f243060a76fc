// Files and directories on POSIX: what the file! actions, size? and the
// library's routines need of the file system. Every operation opens what it
// needs and closes it before it returns; there are no streams.
//
// A file! names a directory by its spelling alone: when it ends in "/", or is
// "." or "..", or ends in "/." or "/..". Reading such a name lists the
// directory; deleting it removes an empty directory.
//
// Text is UTF-8 both ways. Reading text turns CR LF and a lone CR into LF and
// drops a leading byte-order mark; writing text writes LF as it is. Binary
// reads and writes take the bytes unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::files {

// ---------------------------------------------------------------- the file! actions

// read: a directory's listing, a block! of file! names sorted by their bytes
// (directories with a final "/"; "%/" lists the root); else the file's bytes
// from /seek (an integer!; past the end reads nothing), at most /part (an
// integer!; 0 reads nothing, a negative one everything), as a binary! under
// /binary, else as a block! of strings, one a line, under /lines, else as a
// string!. Pipes and /proc files are read to their end. Answers a new value
// pushed on the evaluation stack. Raises access cannot-open with the file
// when it cannot be opened, read or listed, access invalid-utf8 for text that
// is not UTF-8, script invalid-refine-arg for a /part or /seek that is not an
// integer!, script too-long past 2 GiB, internal not-done for /as; /info is
// ignored.
Cell* read(Cell* source, const actions::ReadArgs& args);

// write: the data's bytes (a string!'s UTF-8, a binary!'s bytes, the mold of
// any other value), /part of them (characters of a string!, bytes of a
// binary! when above 0; a negative /part writes nothing), each value of a
// block! followed by a line end under /lines (any other data gets one line
// end). The file is replaced, or added to at its end under /append, or
// overwritten from the /seek index on. Answers the unset constant. Raises
// access cannot-open with the file when it cannot be opened or any byte is
// not written (a replaced file is then left as it was), script
// invalid-refine-arg for a /part or /seek that is not an integer! or a
// negative /seek, internal not-done for /allow and /as; /binary and /info
// change nothing.
Cell* write(Cell* destination, const Cell* data, const actions::WriteArgs& args);

// delete: removes the file, or the empty directory that the name spells.
// Answers a logic! constant: false when the system refused.
Cell* remove(Cell* file);

// query: the time the file was last modified, a date! in UTC with zone 0,
// pushed on the evaluation stack; the none constant when there is nothing
// there, or when the name spells a directory and a file is there.
Cell* query(Cell* file);

// rename: gives the file the new name (a file! or string!), never replacing
// another file. Answers a logic! constant: false when the target exists or
// the system refused. Raises script invalid-arg for a new name of another
// type.
Cell* rename(Cell* from, const Cell* to);

// ---------------------------------------------------------------- the natives and routines

// The size in bytes of the file; nullopt for a directory's spelling, a
// directory, or a file that cannot be reached.
std::optional<int64_t> size(const Cell* file);

// Makes the directory that the file! names; false when the system refuses.
bool make_dir(const Cell* file);

// Makes the directory that the file! spells (see above), or else an empty
// file, that only the user may use, unless something of that name exists;
// false when the system refuses.
bool make_private(const Cell* file);

// Whether a file or a directory of that name exists.
bool exists(const Cell* file);

// Writes the value to standard output as write does to a file, with no
// refinement. A failed write is not reported, as no runtime output is.
void write_stdout(const Cell* value);

// ---------------------------------------------------------------- the parts

// The bytes as read gives them (see above): a binary! under binary, else
// text with its line ends made LF, a block! of line strings under lines.
// Answers a new value pushed on the evaluation stack; text that is not UTF-8
// raises access invalid-utf8. The bytes may be changed.
Cell* push_bytes(std::vector<uint8_t>& bytes, bool binary, bool lines);

// Whether a POSIX path's spelling names a directory (see above).
bool spells_directory(std::string_view path);

}  // namespace vek::files
