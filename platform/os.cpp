#include "platform/os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/files.h"

extern char** environ;

namespace vek::platform {
namespace {

constexpr long SECONDS_PER_DAY = 86400;
// Far beyond any useful sleep, small enough for time_t arithmetic.
constexpr double LONGEST_WAIT_MS = 1e15;
// os-release files are a few hundred bytes; anything larger is not one.
constexpr size_t LONGEST_OS_RELEASE = 65536;

void sleep_milliseconds(long long milliseconds) {
    timespec remaining{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

bool read_urandom(unsigned char* bytes, size_t length) {
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    while (length > 0) {
        ssize_t got = read(fd, bytes, length);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        bytes += got;
        length -= size_t(got);
    }
    close(fd);
    return length == 0;
}

}  // namespace

std::string get_current_dir() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) return {};
        path.resize(path.size() * 2);
    }
    path.resize(path.find('\0'));
    return path;
}

bool set_current_dir(const char* path) { return chdir(path) == 0; }

void wait(double seconds) {
    double milliseconds = std::trunc(seconds * 1000.0);
    // Also catches NaN, which fails every comparison.
    if (!(milliseconds >= 1.0)) milliseconds = 1.0;
    if (milliseconds > LONGEST_WAIT_MS) milliseconds = LONGEST_WAIT_MS;
    sleep_milliseconds((long long)milliseconds);
}

bool set_env(const char* name, const char* value) {
    return (value ? setenv(name, value, 1) : unsetenv(name)) == 0;
}

std::optional<std::string> get_env(const char* name) {
    const char* value = getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

std::vector<std::pair<std::string, std::string>> list_env() {
    std::vector<std::pair<std::string, std::string>> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        size_t equals = text.find('=');
        if (equals == std::string::npos)
            variables.emplace_back(std::move(text), std::string());
        else
            variables.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    return variables;
}

ClockReading read_clock() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return ClockReading{int64_t(now.tv_sec), int64_t(now.tv_nsec)};
}

double utc_time_of_day(bool precise, ClockReading at) {
    int64_t seconds = at.seconds % SECONDS_PER_DAY;
    if (seconds < 0) seconds += SECONDS_PER_DAY;
    return double(seconds) + (precise ? double(at.nanoseconds) / 1e9 : 0.0);
}

uint32_t pack_zone(long offset_seconds) {
    long minutes = std::labs(offset_seconds) / 60;
    uint32_t hours = uint32_t(minutes / 60) & 0xF;
    uint32_t quarters = uint32_t(minutes % 60 / 15);
    uint32_t sign = offset_seconds < 0 ? 0x10 : 0;
    return (sign | hours) << 2 | quarters;
}

uint32_t date_packed(bool utc, ClockReading at) {
    auto now = time_t(at.seconds);
    tm fields;
    if (utc) {
        gmtime_r(&now, &fields);
    } else {
        // localtime_r reads TZ only once; a zone the program set since then counts.
        tzset();
        localtime_r(&now, &fields);
    }
    uint32_t zone = utc ? 0 : pack_zone(fields.tm_gmtoff);
    return uint32_t(fields.tm_year + 1900) << 17 | uint32_t(fields.tm_mon + 1) << 12 |
           uint32_t(fields.tm_mday) << 7 | zone;
}

bool random_bytes(void* buffer, size_t length) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    // Large requests come back in parts, and a signal can cut one short.
    while (length > 0) {
        ssize_t got = getrandom(bytes, length, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno == ENOSYS && read_urandom(bytes, length);
        }
        bytes += got;
        length -= size_t(got);
    }
    return true;
}

std::optional<int64_t> file_size(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
    return int64_t(status.st_size);
}

// The distribution's file sits in /etc; /usr/lib holds the vendor's copy
// for systems that leave /etc without one.
SystemDescription describe_system() {
    SystemDescription description;
    utsname names;
    if (uname(&names) == 0) {
        description.system = names.sysname;
        description.release = names.release;
        description.machine = names.machine;
    }
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        FileBytes text = read_file(path, 0, -1, LONGEST_OS_RELEASE);
        if (text.status != ReadStatus::ok) continue;
        description.os_release.assign(text.bytes.begin(), text.bytes.end());
        break;
    }
    return description;
}

bool duplicate_descriptor(int source, int target) { return dup2(source, target) >= 0; }

}  // namespace vek::platform
