// Heap images: the Vek heap as the library's shared boot left it, written to
// a file with the C++ values that name its objects (image_state), and put
// back at a later start in place of the boot from source. The heap is
// addressed by offsets from the region's base, so its pages are copied to
// the same offsets and hold the same values whatever the base.
//
// An image names what made it: a format version, the executable's build
// id, the library's checksum and the hash seed. A start takes an image only
// when all of them are its own and the file is whole (its checksum holds);
// otherwise the caller boots from source.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vek::boot::heap_image {

// Writes the image of the heap and the declared values to the file, once
// the shared boot is over. Refuses, printing why, while an external is live
// or a handle! other than the null handle is reachable (what they stand for
// lies outside the heap), and when the program has no build id. Answers
// whether the image was written.
bool make(const char* path);

// The bytes make writes, without its refusals, sealed.
std::vector<uint8_t> contents();
// Writes the checksum of the image's bytes into its header.
void seal(std::span<uint8_t> file);
// Whether load would take the bytes as an image: whole and sealed, made by
// this program from this library, its runs inside this heap's reservation.
// Changes nothing.
bool acceptable(std::span<const uint8_t> file);

// Restores the heap and the declared values from the image file, then the
// run's own pointers (runtime::init_restored), in a runtime whose code tables
// are filled and whose heap is still empty. Answers false, with nothing
// changed, for a file that cannot be read, is cut short or corrupt, or was
// made by another program or from another library.
bool load(const char* path);
// The same from the image the build added to the executable as the section
// VEK_IMAGE_SECTION; false also when the executable carries none.
bool load_embedded();

}  // namespace vek::boot::heap_image
