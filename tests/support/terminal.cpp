#include "terminal.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vterm.h>

#include <gtest/gtest.h>

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;

// How many bytes at the end of text begin a UTF-8 character that is not complete yet.
std::size_t unfinished_character(std::string_view text)
{
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

std::string utf8(std::uint32_t code)
{
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

int colour_number(const VTermColor& c, bool is_default)
{
    if (is_default) return DEFAULT_COLOUR;
    if (VTERM_COLOR_IS_INDEXED(&c)) return c.indexed.idx;
    // A direct colour has no number; curses never sends one here.
    return -2;
}

// The child's environment: ours, minus what would change its screen size, with the
// defaults, the shims' settings and the test's own variables on top.
std::vector<std::string> child_environment(const launch& how, const std::string& clock_witness)
{
    std::map<std::string, std::string> vars{{"TERM", "xterm-256color"}, {"LC_ALL", "C.UTF-8"}};
    std::string shims;
    if (how.fixed_time) {
        shims += QUORVEL_FIXED_TIME_SHIM " ";
        vars["QUORVEL_FIXED_TIME"] = std::to_string(*how.fixed_time);
        vars["QUORVEL_FIXED_TIME_READ"] = clock_witness;
    }
    if (how.fail_allocation || !how.allocation_sites_file.empty()) {
        shims += QUORVEL_FAIL_ALLOC_SHIM " ";
        if (how.fail_allocation)
            vars["QUORVEL_FAIL_ALLOCATION"] = std::to_string(*how.fail_allocation);
        if (how.fail_silently) vars["QUORVEL_FAIL_SILENTLY"] = "1";
        if (!how.allocation_sites_file.empty())
            vars["QUORVEL_ALLOCATION_SITES_FILE"] = how.allocation_sites_file;
    }
    if (how.raise_signal != 0) {
        shims += QUORVEL_RAISE_MID_DRAW_SHIM " ";
        vars["QUORVEL_RAISE_SIGNAL"] = std::to_string(how.raise_signal);
        vars["QUORVEL_RAISE_AFTER_KEY"] = std::to_string(how.raise_after_key);
    }
    if (!shims.empty()) {
        vars["LD_PRELOAD"] = shims;
        // A sanitized game would refuse to start with its runtime behind a shim, and the
        // shim must come first for its new to be the one the game calls.
        const char* asan = std::getenv("ASAN_OPTIONS");
        vars["ASAN_OPTIONS"] =
            std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
    }
    for (const auto& [name, value] : how.env) vars[name] = value;

    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const std::string name(text.substr(0, text.find('=')));
        if (name != "LINES" && name != "COLUMNS" && !vars.contains(name)) env.emplace_back(text);
    }
    for (const auto& [name, value] : vars) env.push_back(name + "=" + value);
    return env;
}

// Whether the later of a mode's two sequences in output is the one that sets it; false
// when neither is there.
bool last_says_on(std::string_view output, std::string_view on, std::string_view off)
{
    const std::size_t set = output.rfind(on);
    const std::size_t reset = output.rfind(off);
    return set != std::string_view::npos && (reset == std::string_view::npos || reset < set);
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

void set_cloexec(int fd)
{
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace

std::string program_under_test()
{
    const char* chosen = std::getenv("QUORVEL_PROGRAM");
    return chosen != nullptr && *chosen != '\0' ? chosen : QUORVEL_BINARY;
}

ending exited_with(int status)
{
    return {ending::exited, status};
}

ending killed_by(int signal)
{
    return {ending::killed, signal};
}

std::ostream& operator<<(std::ostream& out, const ending& e)
{
    switch (e.how) {
    case ending::running:
        return out << "still running";
    case ending::exited:
        return out << "exit status " << e.code;
    case ending::killed:
        return out << "killed by signal " << e.code << " (" << strsignal(e.code) << ")";
    }
    return out;
}

terminal::terminal(const launch& how) : rows_(how.rows), cols_(how.cols)
{
    vt_ = vterm_new(rows_, cols_);
    vterm_set_utf8(vt_, 1);
    // Keys come out of the emulator while it may be in the middle of reading output, so
    // they are written without reading any more.
    vterm_output_set_callback(
        vt_,
        [](const char* bytes, std::size_t length, void* user) {
            static_cast<terminal*>(user)->write_input({bytes, length}, false);
        },
        this);
    screen_ = vterm_obtain_screen(vt_);
    // Only the cursor's visibility is wanted. Every other callback stays empty, those
    // of later libvterm releases too, which is why no field is named but this one.
    static const VTermScreenCallbacks callbacks = [] {
        VTermScreenCallbacks wanted{};
        wanted.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
            if (prop == VTERM_PROP_CURSORVISIBLE)
                static_cast<terminal*>(user)->cursor_visible_ = value->boolean != 0;
            return 1;
        };
        return wanted;
    }();
    vterm_screen_set_callbacks(screen_, &callbacks, this);
    vterm_screen_reset(screen_, 1);
    start(how);
}

void terminal::start(const launch& how)
{
    std::vector<std::string> args = how.wrapper;
    args.push_back(how.program);
    args.insert(args.end(), how.args.begin(), how.args.end());
    if (how.fixed_time) {
        static int started = 0;
        clock_witness_ = ::testing::TempDir() + "quorvel_clock_" + std::to_string(getpid()) + "_" +
                         std::to_string(++started);
        unlink(clock_witness_.c_str());
    }
    std::vector<std::string> env = child_environment(how, clock_witness_);
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);

    std::array<int, 2> err{-1, -1};
    std::array<int, 2> in{-1, -1};
    ASSERT_EQ(pipe2(err.data(), O_CLOEXEC), 0) << std::strerror(errno);
    if (how.input_pipe) {
        ASSERT_EQ(pipe2(in.data(), O_CLOEXEC), 0) << std::strerror(errno);
    }

    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows_);
    size.ws_col = static_cast<unsigned short>(cols_);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        // Only calls that are safe between fork and exec from here on.
        if (how.input_pipe) dup2(in[0], STDIN_FILENO);
        dup2(err[1], STDERR_FILENO);
        // A game that a test ends by a signal leaves no core file where the tests run.
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        if (how.ignore_hangup) ::signal(SIGHUP, SIG_IGN);
        if (how.deaf_to_resize) {
            sigset_t resize{};
            sigemptyset(&resize);
            sigaddset(&resize, SIGWINCH);
            sigprocmask(SIG_BLOCK, &resize, nullptr);
        }
        execve(argv[0], argv.data(), envp.data());
        const char failed[] = "terminal: cannot run the program\n";
        (void)!write(STDERR_FILENO, failed, sizeof failed - 1);
        _exit(127);
    }
    close(err[1]);
    if (how.input_pipe) close(in[0]);
    ASSERT_GT(pid_, 0) << "forkpty: " << std::strerror(errno);

    set_cloexec(master_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    errors_fd_ = err[0];
    fcntl(errors_fd_, F_SETFL, fcntl(errors_fd_, F_GETFL) | O_NONBLOCK);
    input_fd_ = how.input_pipe ? in[1] : master_;
    fcntl(input_fd_, F_SETFL, fcntl(input_fd_, F_GETFL) | O_NONBLOCK);
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    ASSERT_GE(pidfd_, 0) << "pidfd_open: " << std::strerror(errno);
}

terminal::~terminal()
{
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        reap(true);
    }
    if (input_fd_ >= 0 && input_fd_ != master_) close(input_fd_);
    for (int fd : {master_, errors_fd_, pidfd_})
        if (fd >= 0) close(fd);
    if (!clock_witness_.empty()) unlink(clock_witness_.c_str());
    vterm_free(vt_);
}

bool terminal::write_input(std::string_view bytes, bool may_read)
{
    const auto deadline = clock_type::now() + WAIT_LIMIT;
    while (!bytes.empty()) {
        if (input_fd_ < 0) return false;
        const ssize_t n = write(input_fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EAGAIN && clock_type::now() < deadline) {
            // The input is full: the child may be waiting for its output to be read.
            if (may_read) {
                pump(milliseconds{1});
            } else {
                pollfd out{input_fd_, POLLOUT, 0};
                poll(&out, 1, 1);
            }
        } else if (n >= 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

void terminal::send(std::string_view bytes)
{
    EXPECT_TRUE(write_input(bytes, true)) << "the child's input is closed or full";
}

void terminal::press(key k)
{
    switch (k) {
    case key::up:
        return vterm_keyboard_key(vt_, VTERM_KEY_UP, VTERM_MOD_NONE);
    case key::down:
        return vterm_keyboard_key(vt_, VTERM_KEY_DOWN, VTERM_MOD_NONE);
    case key::left:
        return vterm_keyboard_key(vt_, VTERM_KEY_LEFT, VTERM_MOD_NONE);
    case key::right:
        return vterm_keyboard_key(vt_, VTERM_KEY_RIGHT, VTERM_MOD_NONE);
    case key::escape:
        return vterm_keyboard_key(vt_, VTERM_KEY_ESCAPE, VTERM_MOD_NONE);
    }
}

void terminal::close_input()
{
    ASSERT_NE(input_fd_, master_) << "the input is the terminal itself: hang up instead";
    if (input_fd_ >= 0) close(input_fd_);
    input_fd_ = -1;
}

void terminal::hang_up()
{
    if (master_ < 0) return;
    if (input_fd_ == master_) input_fd_ = -1;
    close(master_);
    master_ = -1;
}

void terminal::send_signal(int sig)
{
    if (!ended_) kill(pid_, sig);
}

void terminal::resize(int rows, int cols)
{
    EXPECT_TRUE(wait_idle()) << "the game never waited for input before the resize";
    rows_ = rows;
    cols_ = cols;
    vterm_set_size(vt_, rows, cols);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    EXPECT_EQ(ioctl(master_, TIOCSWINSZ, &size), 0) << std::strerror(errno);
}

bool terminal::pump(milliseconds limit)
{
    std::array<pollfd, 2> fds{pollfd{master_, POLLIN, 0}, pollfd{errors_fd_, POLLIN, 0}};
    if (master_eof_) fds[0].fd = -1;
    if (fds[0].fd < 0 && fds[1].fd < 0) return false;
    if (poll(fds.data(), fds.size(), static_cast<int>(limit.count())) <= 0) return false;

    bool got = false;
    std::array<char, 4096> buffer{};
    if (fds[0].revents != 0) {
        const ssize_t n = read(master_, buffer.data(), buffer.size());
        if (n > 0) {
            output_.append(buffer.data(), static_cast<std::size_t>(n));
            // The emulator decodes each write on its own, and a character split between two
            // reads would show as two replacement marks: an unfinished one waits for the rest.
            const std::string_view unfed = std::string_view(output_).substr(fed_);
            const std::size_t ready = unfed.size() - unfinished_character(unfed);
            vterm_input_write(vt_, unfed.data(), ready);
            fed_ += ready;
            got = true;
        } else if (n == 0 || errno != EAGAIN) {
            // EIO: every holder of the terminal's other side has gone.
            master_eof_ = true;
        }
    }
    if (fds[1].revents != 0) {
        const ssize_t n = read(errors_fd_, buffer.data(), buffer.size());
        if (n > 0) {
            errors_.append(buffer.data(), static_cast<std::size_t>(n));
            got = true;
        } else if (n == 0 || errno != EAGAIN) {
            close(errors_fd_);
            errors_fd_ = -1;
        }
    }
    return got;
}

bool terminal::wait_for(const std::function<bool(const terminal&)>& pred, milliseconds limit)
{
    const auto deadline = clock_type::now() + limit;
    while (!pred(*this)) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - clock_type::now());
        if (left <= milliseconds{0}) return false;
        // With both streams at their ends nothing more can change the screen.
        if (!pump(left) && (master_eof_ || master_ < 0) && errors_fd_ < 0) return pred(*this);
    }
    return true;
}

bool terminal::wait_for_text(int row, int col, std::string_view text, milliseconds limit)
{
    const int length = static_cast<int>(text.size());
    return wait_for([&](const terminal& t) { return t.text(row, col, length).starts_with(text); },
                    limit);
}

int terminal::unread_input() const
{
    int unread = -1;
    if (input_fd_ >= 0 && input_fd_ != master_) {
        if (ioctl(input_fd_, FIONREAD, &unread) != 0) return -1;
        return unread;
    }
    // The count is kept on the terminal's other side, so look at it from there. Bytes
    // written to the master pass through a buffer that the kernel empties into that
    // count a moment later; polling the other side empties it at once.
    std::array<char, 64> name{};
    if (master_ < 0 || ptsname_r(master_, name.data(), name.size()) != 0) return -1;
    const int slave = open(name.data(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) return -1;
    pollfd in{slave, POLLIN, 0};
    poll(&in, 1, 0);
    if (ioctl(slave, FIONREAD, &unread) != 0) unread = -1;
    close(slave);
    return unread;
}

char terminal::state() const
{
    std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    // The state follows the command name, which is in parentheses and may hold anything.
    const std::size_t name_end = stat.rfind(')');
    return name_end != std::string::npos && stat.size() > name_end + 2 ? stat[name_end + 2] : '?';
}

bool terminal::sleeping() const
{
    return state() == 'S';
}

bool terminal::stopped() const
{
    return state() == 'T';
}

bool terminal::wait_idle(milliseconds limit)
{
    // Nothing announces that the child went to sleep, so look again every millisecond,
    // reading its output meanwhile so that it never waits on a full terminal.
    const auto deadline = clock_type::now() + limit;
    while (!ended_ && clock_type::now() < deadline) {
        // A child asleep with output still unread may be stuck writing, not reading.
        if (unread_input() == 0 && sleeping() && !pump(milliseconds{0})) return true;
        pump(milliseconds{1});
        reap(false);
    }
    return false;
}

bool terminal::settle(milliseconds quiet, milliseconds limit)
{
    const auto deadline = clock_type::now() + limit;
    while (clock_type::now() < deadline) {
        if (!pump(quiet)) return true;
    }
    return false;
}

void terminal::reap(bool block)
{
    int status = 0;
    const pid_t done = waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (done != pid_) return;
    if (WIFEXITED(status)) ended_ = exited_with(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) ended_ = killed_by(WTERMSIG(status));
}

ending terminal::wait_exit(milliseconds limit)
{
    const auto deadline = clock_type::now() + limit;
    for (;;) {
        const bool streams_done = (master_eof_ || master_ < 0) && errors_fd_ < 0;
        if (ended_ && streams_done) return *ended_;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - clock_type::now());
        if (left <= milliseconds{0}) return ended_.value_or(ending{});

        std::array<pollfd, 3> fds{pollfd{master_eof_ ? -1 : master_, POLLIN, 0},
                                  pollfd{errors_fd_, POLLIN, 0},
                                  pollfd{ended_ ? -1 : pidfd_, POLLIN, 0}};
        if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) continue;
        if (fds[0].revents != 0 || fds[1].revents != 0) pump(milliseconds{0});
        if (fds[2].revents != 0) reap(false);
    }
}

screen_cell terminal::cell(int row, int col) const
{
    VTermScreenCell c{};
    screen_cell out;
    if (vterm_screen_get_cell(screen_, VTermPos{row, col}, &c) == 0) return out;
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && c.chars[i] != 0; ++i)
        out.text += utf8(c.chars[i]);
    out.fg = colour_number(c.fg, VTERM_COLOR_IS_DEFAULT_FG(&c.fg));
    out.bg = colour_number(c.bg, VTERM_COLOR_IS_DEFAULT_BG(&c.bg));
    return out;
}

std::string terminal::text(int row, int col, int length) const
{
    std::string out;
    for (int i = 0; i < length; ++i) {
        const std::string shown = cell(row, col + i).text;
        out += shown.empty() ? " " : shown;
    }
    return out;
}

std::string terminal::row_text(int row) const
{
    std::string out = text(row, 0, cols_);
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

bool terminal::fixed_clock_read() const
{
    return clock_witness_.empty() || access(clock_witness_.c_str(), F_OK) == 0;
}

bool terminal::restored() const
{
    termios mode{};
    if (master_ < 0 || tcgetattr(master_, &mode) != 0) return false;
    constexpr tcflag_t lines = ICANON | ECHO | ISIG;
    return (mode.c_lflag & lines) == lines && (mode.c_iflag & ICRNL) != 0 && cursor_visible_ &&
           !last_says_on(output_, "\033[?1049h", "\033[?1049l") &&
           !last_says_on(output_, "\033[?1h", "\033[?1l");
}
