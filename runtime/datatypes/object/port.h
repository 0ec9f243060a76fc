// port!: an object standing for an I/O channel of a scheme. The datatype does
// no I/O itself: the series and I/O actions applied to a port are handed,
// under the action's own word, to the port's actor, an object whose
// functions carry the actions' names. Schemes live in system/schemes (a
// flat block of name and scheme pairs); make port! finds the scheme by the
// word in its spec and copies the scheme's actor into the port. A port
// whose actor is a handle! of a native actor table is served by the action
// dispatcher itself (runtime/actions/dispatch.h), before these entries.
//
// A port cell is an object cell of type port! with class id CLASS_ID
// (runtime/datatypes/object/object.h); its fields are those of
// system/standard/port, of which the first three serve here:
//   spec    the spec object (the fields of system/standard/url-parts, or an
//           object the caller gave)
//   scheme  the scheme's name, a word!
//   actor   the scheme's actor: an object!, or a handle! for a native one
//
// Calling the actor: the function named by the action's word gets the port,
// the action's other arguments in the order of its spec, and for each
// refinement a logic! flag followed, for a refinement that takes an
// argument, by that argument or none!. A spec of its own fills its slots in
// order from those values (none! or false past their end, refinement slots
// always a logic!); its locals start as none!. Errors raised inside the
// actor pass through unchanged. The actor gets append's, insert's and
// change's /part and /dup as counts, /dup only when above 1; remove and
// reverse pass /part alone, open passes /allow, and read and write are
// made of open, copy, insert and close calls.
//
// Raises (access errors): invalid-port when the actor field holds no
// object, no-port-action (with the action's word) when the actor has no
// function of the action's name, no-scheme, unknown-scheme and
// invalid-actor from make (below). length? raises script invalid-arg with
// the actor's answer when that is no integer! of 0 or more.
#pragma once

#include <cstdint>

namespace vek::port {

// The class id of every port!.
constexpr uint32_t CLASS_ID = 2;

// Registers port!, after object!, its parent. make port! takes an object!
// (copied) as the spec object; a url! is decoded into one by the library's
// decode-url; any other spec becomes the body of an object made from
// system/standard/url-parts (a block is evaluated; anything else raises
// syntax malconstruct). The spec object's first field must hold a word!
// (else access no-scheme with the spec), a scheme of that name must be in
// system/schemes (else unknown-scheme), and its actor field must hold an
// object! or a handle! (else invalid-actor).
void init();

}  // namespace vek::port
