// Thin wrappers over the operating system's process environment: working
// directory, sleeping, environment variables, time of day, the date, secure
// random bytes and the size of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vek::platform {

// The working directory's path as raw bytes; empty when it cannot be had
// (it was removed, or is not reachable).
std::string get_current_dir();
bool set_current_dir(const char* path);

// Sleeps seconds x 1000 milliseconds, truncated, and at least 1 millisecond.
void wait(double seconds);

// A null value removes the variable. False when the name is not acceptable.
bool set_env(const char* name, const char* value);
std::optional<std::string> get_env(const char* name);
std::vector<std::pair<std::string, std::string>> list_env();

// One reading of the system's real-time clock: the seconds and nanoseconds
// since 1970-01-01 UTC. The date and the time of day of one moment are
// taken from one reading, so that they agree across midnight.
struct ClockReading {
    int64_t seconds;
    int64_t nanoseconds;
};
ClockReading read_clock();

// Seconds since midnight UTC at the reading; precise adds the fraction of
// the second.
double utc_time_of_day(bool precise, ClockReading at = read_clock());

// The date at the reading as year << 17 | month << 12 | day << 7 | zone:
// the UTC date with zone 0, or the local date with the packed local offset
// from UTC.
uint32_t date_packed(bool utc, ClockReading at = read_clock());
// The zone bits of an offset from UTC: the hours (with 0x10 set for offsets
// west of UTC) shifted left by 2, then the remaining quarter hours.
uint32_t pack_zone(long offset_seconds);

// Fills the buffer from the system's secure random source; false when the
// source failed.
bool random_bytes(void* buffer, size_t length);

// The size in bytes of the file at the path, as its metadata gives it
// without opening it; nullopt when there is no such file, the path names a
// directory, or the metadata cannot be read.
std::optional<int64_t> file_size(const char* path);

// Makes target a copy of the source descriptor (closing what target was).
bool duplicate_descriptor(int source, int target);

}  // namespace vek::platform
