// Thin wrappers over the operating system's process environment: working
// directory, sleeping, environment variables, time of day, the date, secure
// random bytes, the size of a file and the system's own description.
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

// What the system says of itself: uname's system name, kernel release and
// machine, and the text of the distribution's os-release file (/etc, else
// /usr/lib; empty when neither can be read).
struct SystemDescription {
    std::string system;      // "Linux"
    std::string release;     // the kernel release, such as "6.8.0-45-generic"
    std::string machine;     // the hardware name, such as "x86_64"
    std::string os_release;  // KEY=value lines naming the distribution
};
SystemDescription describe_system();

// Makes target a copy of the source descriptor (closing what target was).
bool duplicate_descriptor(int source, int target);

}  // namespace vek::platform
