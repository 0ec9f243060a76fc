// The system clipboard. In a desktop session it is reached through the
// session's helper programs: wl-copy and wl-paste when WAYLAND_DISPLAY is set
// (and they are installed), else xclip when DISPLAY is set. With no display
// at all, a clipboard inside this process stands in, so that scripts and
// tests behave the same without a desktop.
//
// Content travels as typed bytes: text as UTF-8, file lists as a
// text/uri-list of file:// URIs (percent-encoded, one a line), images as
// encoded image files. Every helper program runs with a time-out and is
// killed when it outlives it, so a clipboard owner that never answers cannot
// hang the caller. Text and file names arrive as valid UTF-8: an invalid
// sequence becomes U+FFFD. No line end is converted in either direction.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vek::platform::clipboard {

enum class Kind {
    text,   // bytes: valid UTF-8 text
    files,  // paths: absolute local paths, valid UTF-8
    image,  // bytes: an encoded image file (PNG, JPEG, GIF or BMP)
};

enum class Status {
    ok,     // content holds what the clipboard offers
    empty,  // the clipboard holds nothing usable
    failed, // the clipboard could not be reached, or its owner did not answer
};

struct Reading {
    Status status = Status::failed;
    Kind kind = Kind::text;          // when status is ok
    std::vector<uint8_t> bytes;      // text or image bytes
    std::vector<std::string> paths;  // the file list
};

// Reads the clipboard, taking the first of these it offers: a file list (a
// text/uri-list naming at least one local file; file managers offer the
// same list as text too, so it comes first), text, then an image as PNG,
// JPEG, GIF or BMP. Any other content reads as empty.
Reading read();

// Places UTF-8 text on the clipboard; answers whether it is there now.
bool write_text(std::span<const uint8_t> utf8);
// Places a list of absolute paths as file:// URIs; answers whether it is
// there now.
bool write_files(const std::vector<std::string>& paths);
// Places a PNG file's bytes; answers whether they are there now.
bool write_png(std::span<const uint8_t> png);
// Leaves the clipboard without an owner; answers whether it could.
bool clear();

// ---------------------------------------------------------------- conversions

// The text/uri-list of the absolute paths: "file://" and the path with every
// byte but letters, digits, "-", ".", "_", "~" and "/" percent-encoded, each
// line ended by CR LF.
std::string to_uri_list(const std::vector<std::string>& paths);
// The local paths that a text/uri-list names, in order: the file: URIs with
// no host or "localhost", percent-decoded. Comment lines ("#"), other
// schemes, remote hosts and paths holding a NUL byte are left out. Lines may
// end with LF or CR LF.
std::vector<std::string> from_uri_list(std::string_view list);
// The bytes as valid UTF-8: each maximal invalid subsequence (overlong forms,
// surrogates and code points above U+10FFFF included) becomes U+FFFD.
std::string valid_utf8(std::string_view bytes);

}  // namespace vek::platform::clipboard
