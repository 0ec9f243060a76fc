#include "platform/clipboard.h"
#include "platform/spawning.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <thread>

extern char** environ;

namespace vek::platform::clipboard {

// ---------------------------------------------------------------- conversions

namespace {

bool unreserved(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
}

int hex_value(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

// A "%" not followed by two hex digits is kept as it is.
std::string percent_decode(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        int high = text[i] == '%' && i + 2 < text.size() ? hex_value(text[i + 1]) : -1;
        int low = high >= 0 ? hex_value(text[i + 2]) : -1;
        if (low < 0) {
            bytes.push_back(text[i]);
            continue;
        }
        bytes.push_back(char(high << 4 | low));
        i += 2;
    }
    return bytes;
}

// prefix is in lower case.
bool starts_with_no_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); i++)
        if (std::tolower(uint8_t(text[i])) != prefix[i]) return false;
    return true;
}

// The local path a file: URI names, or nothing for another URI.
std::optional<std::string> local_path(std::string_view uri) {
    if (!starts_with_no_case(uri, "file:")) return std::nullopt;
    std::string_view rest = uri.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        size_t slash = std::min(rest.find('/'), rest.size());
        std::string_view host = rest.substr(0, slash);
        if (!host.empty() && (host.size() != 9 || !starts_with_no_case(host, "localhost"))) return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) return std::nullopt;
    std::string path = percent_decode(rest);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

// The length of the valid UTF-8 sequence at the start of the bytes, or 0;
// invalid is how much of a broken sequence to replace (at least 1).
size_t sequence_length(std::string_view bytes, size_t& invalid) {
    auto byte = [&](size_t i) { return uint8_t(bytes[i]); };
    uint8_t lead = byte(0);
    invalid = 1;
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0) return 0;
    // The second byte's range excludes overlong forms, surrogates and code
    // points above U+10FFFF.
    uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (size_t i = 1; i < length; i++) {
        if (i >= bytes.size()) return 0;
        uint8_t next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        invalid = i + 1;
    }
    return length;
}

std::string latin1_to_utf8(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        uint8_t byte = uint8_t(c);
        if (byte < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(char(0xC0 | byte >> 6));
            text.push_back(char(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

}  // namespace

std::string to_uri_list(const std::vector<std::string>& paths) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string list;
    for (const std::string& path : paths) {
        list += "file://";
        for (char c : path) {
            uint8_t byte = uint8_t(c);
            if (unreserved(byte)) {
                list.push_back(c);
            } else {
                list.push_back('%');
                list.push_back(HEX[byte >> 4]);
                list.push_back(HEX[byte & 0xF]);
            }
        }
        list += "\r\n";
    }
    return list;
}

std::vector<std::string> from_uri_list(std::string_view list) {
    std::vector<std::string> paths;
    while (!list.empty()) {
        size_t end = std::min(list.find('\n'), list.size());
        std::string_view line = list.substr(0, end);
        list.remove_prefix(std::min(end + 1, list.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('#')) continue;
        if (std::optional<std::string> path = local_path(line)) paths.push_back(std::move(*path));
    }
    return paths;
}

std::string valid_utf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        size_t invalid = 1;
        size_t length = sequence_length(bytes, invalid);
        if (length > 0) {
            text.append(bytes.substr(0, length));
        } else {
            text.append("\xEF\xBF\xBD");
            length = invalid;
        }
        bytes.remove_prefix(length);
    }
    return text;
}

// ---------------------------------------------------------------- helper programs

namespace {

using Clock = std::chrono::steady_clock;

// How long one helper program may take before it is killed.
constexpr auto HELPER_TIME = std::chrono::seconds(5);
// The most content a helper's output may bring; more is refused.
constexpr size_t MAX_CONTENT = size_t(1) << 30;
// The most of a helper's error messages kept.
constexpr size_t MAX_MESSAGES = 4096;

struct Pipe {
    Descriptor read;
    Descriptor write;
};

std::optional<Pipe> open_pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    return Pipe{Descriptor(ends[0]), Descriptor(ends[1])};
}

Descriptor open_null() { return Descriptor(open("/dev/null", O_RDWR | O_CLOEXEC)); }

// An unnamed file that is gone once its last descriptor closes.
Descriptor open_scratch_file() {
    Descriptor file(open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (file.valid()) return file;
    char name[] = "/tmp/vek-clipboard-XXXXXX";
    file.reset(mkostemp(name, O_CLOEXEC));
    if (file.valid()) unlink(name);
    return file;
}

int milliseconds_until(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

// Starts the program on the three descriptors, with default signal handling
// and in a session of its own: a helper that stays to serve the clipboard
// must not die with the terminal's Ctrl+C. Answers its id, or -1.
pid_t spawn(const std::vector<std::string>& arguments, int input, int output, int errors) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    SpawnSetup setup;
    clean_signals(setup, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_adddup2(&setup.actions, input, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, output, 1);
    posix_spawn_file_actions_adddup2(&setup.actions, errors, 2);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ) != 0) return -1;
    return pid;
}

// The exit status once the program has ended, or nothing when it was killed
// at the deadline or by a signal.
std::optional<int> wait_for_exit(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
        if (ended < 0 && errno != EINTR) return std::nullopt;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Writes all the bytes into the pipe and closes it; false when the reader
// went away or the deadline passed.
bool feed(Descriptor pipe, std::span<const uint8_t> bytes, Clock::time_point deadline) {
    // A parameter may live on to the end of the caller's expression: the
    // pipe must be closed when this returns, for the reader to see its end.
    Descriptor input = std::move(pipe);
    fcntl(input.get(), F_SETFL, fcntl(input.get(), F_GETFL) | O_NONBLOCK);
    while (!bytes.empty()) {
        pollfd ready{input.get(), POLLOUT, 0};
        int polled = poll(&ready, 1, milliseconds_until(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        ssize_t written = ::write(input.get(), bytes.data(), bytes.size());
        if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (written <= 0) return false;
        bytes = bytes.subspan(size_t(written));
    }
    return true;
}

// Reads standard output and standard error until both end; false on a read
// error, past the deadline, or when the output grows past MAX_CONTENT.
bool collect(Descriptor output, Descriptor errors, std::string& out, std::string& err, Clock::time_point deadline) {
    char chunk[65536];
    Descriptor* streams[2] = {&output, &errors};
    std::string* sinks[2] = {&out, &err};
    while (output.valid() || errors.valid()) {
        pollfd ready[2] = {{output.get(), POLLIN, 0}, {errors.get(), POLLIN, 0}};
        int polled = poll(ready, 2, milliseconds_until(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        for (int i = 0; i < 2; i++) {
            if (ready[i].revents == 0) continue;
            ssize_t count = ::read(streams[i]->get(), chunk, sizeof chunk);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return false;
            if (count == 0) streams[i]->reset(-1);
            if (i == 1 && err.size() >= MAX_MESSAGES) continue;
            sinks[i]->append(chunk, size_t(count));
        }
        if (out.size() > MAX_CONTENT) return false;
    }
    return true;
}

struct Captured {
    bool finished = false;  // the program ended by itself in time
    int status = -1;        // its exit status when it did
    std::string out;
    std::string err;
};

// Runs the program with no input and takes what it writes.
Captured run_capturing(const std::vector<std::string>& arguments) {
    Captured result;
    Descriptor null = open_null();
    std::optional<Pipe> output = open_pipe();
    std::optional<Pipe> errors = open_pipe();
    if (!null.valid() || !output || !errors) return result;
    auto deadline = Clock::now() + HELPER_TIME;
    pid_t pid = spawn(arguments, null.get(), output->write.get(), errors->write.get());
    if (pid < 0) return result;
    output->write.reset(-1);
    errors->write.reset(-1);
    // A helper whose output could not be taken is killed at once.
    bool collected = collect(std::move(output->read), std::move(errors->read), result.out, result.err, deadline);
    std::optional<int> status = wait_for_exit(pid, collected ? deadline : Clock::now());
    result.finished = collected && status.has_value();
    result.status = status.value_or(-1);
    return result;
}

// Runs the program with the bytes as its input, its output thrown away (a
// helper that forks a server keeps those streams open), and answers whether
// it ended in time with status 0.
bool run_feeding(const std::vector<std::string>& arguments, std::span<const uint8_t> input) {
    Descriptor null = open_null();
    std::optional<Pipe> feed_pipe = open_pipe();
    if (!null.valid() || !feed_pipe) return false;
    auto deadline = Clock::now() + HELPER_TIME;
    pid_t pid = spawn(arguments, feed_pipe->read.get(), null.get(), null.get());
    if (pid < 0) return false;
    feed_pipe->read.reset(-1);
    if (!feed(std::move(feed_pipe->write), input, deadline)) deadline = Clock::now();
    return wait_for_exit(pid, deadline) == 0;
}

// A reaping thread starts with every signal blocked, so that signals keep
// reaching the runtime's thread alone.
void reap_in_background(pid_t pid) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to be had: the server is left to become a zombie once
        // it ends, which is harmless.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

// ---------------------------------------------------------------- sessions

namespace {

enum class Session {
    local,        // no display: the clipboard inside this process
    x11,          // xclip
    wayland,      // wl-copy and wl-paste
    unreachable,  // a display without its helper programs
};

bool variable_set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view directories = path ? path : "/usr/bin:/bin";
    while (!directories.empty()) {
        size_t end = std::min(directories.find(':'), directories.size());
        std::string candidate = std::string(directories.substr(0, end)) + "/" + std::string(program);
        if (access(candidate.c_str(), X_OK) == 0) return true;
        directories.remove_prefix(std::min(end + 1, directories.size()));
    }
    return false;
}

// A Wayland session that lacks its helpers can still reach the clipboard
// through its X11 compatibility display.
Session session() {
    if (variable_set("WAYLAND_DISPLAY") && on_path("wl-copy") && on_path("wl-paste")) return Session::wayland;
    if (variable_set("DISPLAY") && on_path("xclip")) return Session::x11;
    if (variable_set("WAYLAND_DISPLAY") || variable_set("DISPLAY")) return Session::unreachable;
    return Session::local;
}

// The clipboard of a process without a display: one type and its bytes.
struct LocalClipboard {
    std::string type;  // empty when nothing is held
    std::vector<uint8_t> bytes;
    void reset() {
        type.clear();
        bytes.clear();
    }
};
LocalClipboard local;

// ---------------------------------------------------------------- x11

const std::vector<std::string> XCLIP = {"xclip", "-selection", "clipboard"};

std::vector<std::string> xclip(std::initializer_list<std::string> arguments) {
    std::vector<std::string> all = XCLIP;
    all.insert(all.end(), arguments);
    return all;
}

// Whether xclip, in the foreground, has said that it serves the clipboard.
bool says_it_serves(int messages) {
    char seen[256];
    ssize_t count = pread(messages, seen, sizeof seen, 0);
    return count > 0 && std::string_view(seen, size_t(count)).find("Waiting for selection request") != std::string_view::npos;
}

// False when the server ends, or the deadline passes, before it serves.
bool await_service(pid_t pid, int messages, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        if (says_it_serves(messages)) return true;
        pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// xclip -i forks its server before the server owns the clipboard, so a read
// right after it may still find the previous owner. Run in the foreground
// (-quiet), it says on standard error when it owns the clipboard: that is
// awaited, and the server left running. Answers its id, or -1.
pid_t start_xclip_server(const std::string& type, std::span<const uint8_t> bytes) {
    Descriptor null = open_null();
    Descriptor messages = open_scratch_file();
    std::optional<Pipe> input = open_pipe();
    if (!null.valid() || !messages.valid() || !input) return -1;
    auto deadline = Clock::now() + HELPER_TIME;
    pid_t pid = spawn(xclip({"-quiet", "-i", "-t", type}), input->read.get(), null.get(), messages.get());
    if (pid < 0) return -1;
    input->read.reset(-1);
    if (feed(std::move(input->write), bytes, deadline) && await_service(pid, messages.get(), deadline)) return pid;
    (void)wait_for_exit(pid, Clock::now());
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- the operations of each session

namespace {

struct Offer {
    Status status = Status::failed;
    std::vector<std::string> types;  // when status is ok
};

std::vector<std::string> lines_of(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!line.empty()) lines.emplace_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// A helper that ends in failure saying so (the message given) found the
// clipboard without an owner.
Offer offer_of(const Captured& listing, std::initializer_list<std::string_view> empty_messages) {
    if (listing.finished && listing.status == 0) return {Status::ok, lines_of(listing.out)};
    if (!listing.finished) return {};
    for (std::string_view message : empty_messages)
        if (listing.err.find(message) != std::string::npos) return {Status::empty, {}};
    return {};
}

Offer offered(Session session) {
    switch (session) {
    case Session::local:
        if (local.type.empty()) return {Status::empty, {}};
        return {Status::ok, {local.type}};
    case Session::x11: return offer_of(run_capturing(xclip({"-o", "-t", "TARGETS"})), {"not available"});
    case Session::wayland:
        return offer_of(run_capturing({"wl-paste", "--list-types"}), {"Nothing is copied", "No selection"});
    case Session::unreachable: break;
    }
    return {};
}

std::optional<std::string> fetch(Session session, const std::string& type) {
    Captured fetched;
    switch (session) {
    case Session::local:
        if (local.type != type) return std::nullopt;
        return std::string(local.bytes.begin(), local.bytes.end());
    case Session::x11: fetched = run_capturing(xclip({"-o", "-t", type})); break;
    case Session::wayland: fetched = run_capturing({"wl-paste", "--no-newline", "--type", type}); break;
    case Session::unreachable: return std::nullopt;
    }
    if (!fetched.finished || fetched.status != 0) return std::nullopt;
    return std::move(fetched.out);
}

bool place(Session session, const std::string& type, std::span<const uint8_t> bytes) {
    switch (session) {
    case Session::local:
        local.type = type;
        local.bytes.assign(bytes.begin(), bytes.end());
        return true;
    case Session::x11: {
        pid_t server = start_xclip_server(type, bytes);
        if (server < 0) return false;
        // It serves until another program takes the clipboard over.
        reap_in_background(server);
        return true;
    }
    case Session::wayland: return run_feeding({"wl-copy", "--type", type}, bytes);
    case Session::unreachable: break;
    }
    return false;
}

// X11 has no request to give the clipboard up: a server of ours takes it
// over and ends, which leaves it without an owner.
bool empty_out(Session session) {
    switch (session) {
    case Session::local: local.reset(); return true;
    case Session::x11: {
        pid_t server = start_xclip_server("UTF8_STRING", {});
        if (server < 0) return false;
        kill(server, SIGTERM);
        (void)wait_for_exit(server, Clock::now() + HELPER_TIME);
        return true;
    }
    case Session::wayland: return run_feeding({"wl-copy", "--clear"}, {});
    case Session::unreachable: break;
    }
    return false;
}

// ---------------------------------------------------------------- types

const std::string URI_LIST = "text/uri-list";
const std::string UTF8_TEXT = "text/plain;charset=utf-8";
// Text types in the order they are taken; the last one is Latin-1.
const std::string TEXT_TYPES[] = {"UTF8_STRING", UTF8_TEXT, "text/plain", "STRING"};
const std::string IMAGE_TYPES[] = {"image/png", "image/jpeg", "image/gif", "image/bmp"};

Reading failed() { return Reading{}; }
Reading outcome(Status status) { return Reading{status, Kind::text, {}, {}}; }

Reading read_files(Session session, bool& found) {
    std::optional<std::string> list = fetch(session, URI_LIST);
    if (!list) return failed();
    Reading reading{Status::ok, Kind::files, {}, from_uri_list(*list)};
    for (std::string& path : reading.paths) path = valid_utf8(path);
    found = !reading.paths.empty();
    return reading;
}

Reading read_text(Session session, const std::string& type) {
    std::optional<std::string> text = fetch(session, type);
    if (!text) return failed();
    std::string utf8 = type == "STRING" ? latin1_to_utf8(*text) : valid_utf8(*text);
    return Reading{Status::ok, Kind::text, std::vector<uint8_t>(utf8.begin(), utf8.end()), {}};
}

Reading read_image(Session session, const std::string& type) {
    std::optional<std::string> image = fetch(session, type);
    if (!image) return failed();
    return Reading{Status::ok, Kind::image, std::vector<uint8_t>(image->begin(), image->end()), {}};
}

}  // namespace

// ---------------------------------------------------------------- reading and writing

Reading read() {
    Session current = session();
    Offer offer = offered(current);
    if (offer.status != Status::ok) return outcome(offer.status);
    auto has = [&](const std::string& type) {
        return std::find(offer.types.begin(), offer.types.end(), type) != offer.types.end();
    };
    if (has(URI_LIST)) {
        bool found = false;
        Reading files = read_files(current, found);
        if (files.status != Status::ok || found) return files;
    }
    for (const std::string& type : TEXT_TYPES)
        if (has(type)) return read_text(current, type);
    for (const std::string& type : IMAGE_TYPES)
        if (has(type)) return read_image(current, type);
    return outcome(Status::empty);
}

bool write_text(std::span<const uint8_t> utf8) {
    Session current = session();
    return place(current, current == Session::x11 ? "UTF8_STRING" : UTF8_TEXT, utf8);
}

bool write_files(const std::vector<std::string>& paths) {
    std::string list = to_uri_list(paths);
    return place(session(), URI_LIST, {reinterpret_cast<const uint8_t*>(list.data()), list.size()});
}

bool write_png(std::span<const uint8_t> png) { return place(session(), "image/png", png); }

bool clear() { return empty_out(session()); }

}  // namespace vek::platform::clipboard
