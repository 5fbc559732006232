// Plays the scripted game through the real binary in a pseudo-terminal and reports,
// for the start-up, for every key and for the whole game, what the game process cost:
// time on a CPU, bytes written to the terminal, write calls, peak memory, and how many
// screen cells actually changed. With --callgrind the same game runs under callgrind,
// which counts the instructions the game executes, a figure that compares across
// machines.

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "script.hpp"
#include "terminal.hpp"

namespace {

using clock_type = std::chrono::steady_clock;
using std::chrono::duration;

constexpr int ROWS = 30;
constexpr int COLS = 80;
constexpr const char* VALGRIND = "/usr/bin/valgrind";

struct options {
    int runs = 5;
    bool callgrind = false;
    bool summary = false;
};

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "quorvel_bench: %s\n", why.c_str());
    std::exit(1);
}

// ---- The game process as the kernel sees it ------------------------------------------

std::string read_file(const std::string& path)
{
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The number after "name:" in a file of such lines, or -1.
long long field(const std::string& text, const std::string& name)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with(name + ":")) return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

// What the kernel counts for the game at one moment. An ended process that has not
// been reaped still has its counts, but no memory.
struct sample {
    long long cpu_ns = -1;       // time on a CPU, user and system together
    long long write_calls = -1;  // write system calls
    long long hwm_kib = -1;      // peak resident memory
};

sample read_sample(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/";
    sample s;
    const std::string sched = read_file(dir + "schedstat");
    if (!sched.empty()) s.cpu_ns = std::atoll(sched.c_str());
    s.write_calls = field(read_file(dir + "io"), "syscw");
    s.hwm_kib = field(read_file(dir + "status"), "VmHWM");
    return s;
}

// The state letter of a process, '?' once it is gone.
char state_of(pid_t pid)
{
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    // The state follows the command name, which is in parentheses and may hold anything.
    const std::size_t name_end = stat.rfind(')');
    return name_end != std::string::npos && stat.size() > name_end + 2 ? stat[name_end + 2] : '?';
}

// The game: the one child of this process, which the terminal has just forked.
pid_t game_pid()
{
    const pid_t self = getpid();
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
        const std::string stat = read_file(entry.path() / "stat");
        const std::size_t name_end = stat.rfind(')');
        if (name_end == std::string::npos) continue;
        std::istringstream rest(stat.substr(name_end + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == self) children.push_back(std::atoi(name.c_str()));
    }
    if (children.size() != 1) fail("cannot tell the game's process among this one's children");
    return children[0];
}

double children_cpu_ms()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](timeval v) { return v.tv_sec * 1e3 + v.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// ---- The screen, and what a frugal writer would send to change it-----------------------

// A cell as a person sees it: a blank shows its background alone.
struct seen_cell {
    std::string text = " ";
    int fg = DEFAULT_COLOUR;
    int bg = DEFAULT_COLOUR;
    bool operator==(const seen_cell&) const = default;
};

struct screen {
    int rows = 0;
    int cols = 0;
    std::vector<seen_cell> cells;
};

bool blank(const seen_cell& c)
{
    return c.text == " ";
}

screen snapshot(const terminal& t)
{
    screen s{t.rows(), t.cols(), {}};
    s.cells.reserve(static_cast<std::size_t>(s.rows) * static_cast<std::size_t>(s.cols));
    for (int r = 0; r < s.rows; ++r)
        for (int c = 0; c < s.cols; ++c) {
            const screen_cell shown = t.cell(r, c);
            seen_cell seen{shown.text.empty() ? " " : shown.text, shown.fg, shown.bg};
            if (blank(seen)) seen.fg = DEFAULT_COLOUR;
            s.cells.push_back(seen);
        }
    return s;
}

// A cell outside a screen is what a terminal shows in space it has just gained.
seen_cell cell_of(const screen& s, int row, int col)
{
    if (row >= s.rows || col >= s.cols) return {};
    return s.cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(s.cols) +
                   static_cast<std::size_t>(col)];
}

int digits(int n)
{
    return static_cast<int>(std::to_string(n).size());
}

bool line_drawing(const std::string& text)
{
    static const std::array<std::string, 6> BOX{"\u2500", "\u2502", "\u250c",
                                                "\u2510", "\u2514", "\u2518"};
    return std::find(BOX.begin(), BOX.end(), text) != BOX.end();
}

// A frugal terminal writer that sends only the cells that changed, in the xterm
// sequences curses uses: the shortest of the cursor moves (CUP, CHA, CUF, VPA, carriage
// return, backspace), a colour change (SGR) only when the colours differ, the characters
// in UTF-8 or, for a run of box lines, in the line-drawing set, and EL or ECH for blanks.
// Its state carries from one key to the next, as the terminal's does. It is no proven
// least, but a yardstick that a program drawing only what changed would come close to.
struct writer {
    int fg = -99;  // unknown at first
    int bg = -99;
    int row = -1;
    int col = -1;
    bool line_set = false;
};

int colour_length(int colour, bool background)
{
    if (colour < 8) return 2;  // "31", "41", and "39", "49" for the terminal's own
    if (colour < 16) return background ? 3 : 2;  // "91", "101"
    return 5 + digits(colour);                   // "38;5;N"
}

long long pen_cost(writer& w, const seen_cell& c)
{
    const bool fg_differs = !blank(c) && c.fg != w.fg;
    const bool bg_differs = c.bg != w.bg;
    if (!fg_differs && !bg_differs) return 0;
    long long cost = 3;  // ESC [ ... m
    if (fg_differs) cost += colour_length(c.fg, false);
    if (bg_differs) cost += colour_length(c.bg, true) + (fg_differs ? 1 : 0);
    if (fg_differs) w.fg = c.fg;
    w.bg = c.bg;
    return cost;
}

long long move_cost(writer& w, int row, int col)
{
    if (w.row == row && w.col == col) return 0;
    long long cost = 4 + digits(row + 1) + digits(col + 1);  // ESC [ r ; c H
    if (w.row == row) {
        cost = std::min<long long>(cost, 3 + digits(col + 1));  // ESC [ c G
        if (col > w.col)
            cost = std::min<long long>(cost, 3 + (col - w.col > 1 ? digits(col - w.col) : 0));
        if (col == w.col - 1 || col == 0) cost = 1;  // backspace, carriage return
    } else if (w.row >= 0) {
        if (w.col == col) cost = std::min<long long>(cost, 3 + digits(row + 1));  // ESC [ r d
        if (col == 0) cost = std::min<long long>(cost, 1 + 3 + digits(row + 1));
    }
    w.row = row;
    w.col = col;
    return cost;
}

struct change {
    int cells = 0;         // cells that look different
    long long frugal = 0;  // bytes the frugal writer sends for them
};

change compare_cells(const screen& before, const screen& after, writer& w)
{
    change d;
    const auto changed = [&](int r, int c) {
        return cell_of(before, r, c) != cell_of(after, r, c);
    };
    for (int r = 0; r < after.rows; ++r) {
        int c = 0;
        while (c < after.cols) {
            if (!changed(r, c)) {
                ++c;
                continue;
            }
            const seen_cell cell = cell_of(after, r, c);
            int run = 1;
            while (c + run < after.cols && changed(r, c + run)) {
                const seen_cell next = cell_of(after, r, c + run);
                if (blank(cell) ? !(blank(next) && next.bg == cell.bg)
                                : !(line_drawing(cell.text) && line_drawing(next.text)))
                    break;
                ++run;
            }
            d.frugal += move_cost(w, r, c);
            d.frugal += pen_cost(w, cell);
            if (blank(cell)) {
                // Blanks to the end of the row take ESC [ K, a run of them ESC [ n X; neither
                // moves the cursor.
                bool to_end = true;
                for (int x = c; x < after.cols && to_end; ++x) {
                    const seen_cell rest = cell_of(after, r, x);
                    to_end = blank(rest) && rest.bg == cell.bg;
                }
                if (to_end && run > 3) {
                    d.frugal += 3;
                    d.cells += run;
                    c += run;
                    continue;
                }
                if (3 + digits(run) < run) {
                    d.frugal += 3 + digits(run);
                    d.cells += run;
                    c += run;
                    continue;
                }
            }
            if (line_drawing(cell.text)) {
                // One byte each in the line-drawing set, which costs ESC ( 0 to enter.
                if (!w.line_set && run >= 4) {
                    d.frugal += 3;
                    w.line_set = true;
                }
                d.frugal += w.line_set ? 1 : 3;
            } else {
                if (w.line_set) d.frugal += 3;  // ESC ( B
                w.line_set = false;
                d.frugal += static_cast<long long>(cell.text.size());
            }
            ++d.cells;
            ++c;
            w.col = c;
            if (c == after.cols) w.row = -1;  // the cursor waits to wrap: start afresh
        }
    }
    return d;
}

// The cells that changed and the frugal writer's bytes for them: sent one by one, or
// after clearing the screen to its commonest background when that is cheaper.
change compare(const screen& before, const screen& after, writer& w)
{
    writer direct_writer = w;
    const change direct = compare_cells(before, after, direct_writer);
    std::map<int, int> backgrounds;
    for (const seen_cell& c : after.cells)
        if (blank(c)) ++backgrounds[c.bg];
    if (backgrounds.empty()) {
        w = direct_writer;
        return direct;
    }
    const int common = std::max_element(backgrounds.begin(), backgrounds.end(), [](auto a, auto b) {
                           return a.second < b.second;
                       })->first;
    writer clearing_writer = w;
    seen_cell cleared_cell;
    cleared_cell.bg = common;
    long long clearing = pen_cost(clearing_writer, cleared_cell) + 7;  // ESC [ H ESC [ 2 J
    clearing_writer.row = 0;
    clearing_writer.col = 0;
    const screen cleared{after.rows, after.cols,
                         std::vector<seen_cell>(after.cells.size(), cleared_cell)};
    clearing += compare_cells(cleared, after, clearing_writer).frugal;
    if (clearing < direct.frugal) {
        w = clearing_writer;
        return {direct.cells, clearing};
    }
    w = direct_writer;
    return direct;
}

// ---- One game -----------------------------------------------------------------------

struct figures {
    double cpu_us = -1;
    long long bytes = 0;
    long long write_calls = -1;
    int cells = 0;
    long long frugal = 0;
    long long instructions = -1;
};

struct game_run {
    double greeting_ms = 0;  // launch to the whole greeting on the screen
    double table_ms = 0;     // the greeting's space bar to the whole table
    figures startup;         // launch to the greeting
    std::vector<figures> keys;
    long long hwm_kib = 0;
    double rusage_cpu_ms = 0;
    std::string ending;
};

figures between(const sample& from, const sample& to)
{
    figures f;
    if (from.cpu_ns >= 0 && to.cpu_ns >= 0)
        f.cpu_us = static_cast<double>(to.cpu_ns - from.cpu_ns) / 1e3;
    if (from.write_calls >= 0 && to.write_calls >= 0)
        f.write_calls = to.write_calls - from.write_calls;
    return f;
}

double ms_since(clock_type::time_point start)
{
    return duration<double, std::milli>(clock_type::now() - start).count();
}

// The last cell the deal draws: the rank in the bottom-right corner of the last pile's
// top card.
bool table_drawn(const terminal& t)
{
    const screen_cell last = t.cell(19, 55);
    return last.text.size() == 1 && std::isalnum(static_cast<unsigned char>(last.text[0])) != 0 &&
           last.bg == 7;
}

// Reads the game's output until its process has ended, without reaping it, so that its
// counts can still be read.
void wait_ended(terminal& t, pid_t pid, milliseconds limit)
{
    const auto deadline = clock_type::now() + limit;
    const auto gone = [&](const terminal&) {
        const char state = state_of(pid);
        return state == 'Z' || state == 'X' || state == '?';
    };
    while (!gone(t) && clock_type::now() < deadline)
        if (!t.wait_for(gone, milliseconds{10})) std::this_thread::sleep_for(milliseconds{1});
}

game_run play(const std::string& callgrind_out)
{
    const std::vector<keystroke>& keys = scripted_game();
    const bool counted = !callgrind_out.empty();
    launch how({}, ROWS, COLS);
    how.fixed_time = SCRIPT_TIME;
    if (counted)
        how.wrapper = {VALGRIND, "--tool=callgrind", "--quiet", "--dump-after=wgetch",
                       "--callgrind-out-file=" + callgrind_out};
    const milliseconds limit{counted ? 120000 : 5000};

    game_run run;
    const double cpu_before = children_cpu_ms();
    const auto launched = clock_type::now();
    terminal t{how};
    const pid_t pid = game_pid();
    writer w;
    screen shown = snapshot(t);

    if (!t.wait_for_text(17, 19, "Press the space bar", limit)) fail("the greeting never came");
    run.greeting_ms = ms_since(launched);
    if (!t.wait_idle(limit)) fail("the game never waited for a key on the greeting");
    // Under valgrind the process's time, writes and memory are valgrind's own.
    const auto observe = [&] { return counted ? sample{} : read_sample(pid); };
    sample last = observe();
    screen now = snapshot(t);
    run.startup = between(counted ? sample{} : sample{0, 0, 0}, last);
    run.startup.bytes = static_cast<long long>(t.output().size());
    const change greeting = compare(shown, now, w);
    run.startup.cells = greeting.cells;
    run.startup.frugal = greeting.frugal;
    run.hwm_kib = last.hwm_kib;
    shown = now;
    std::size_t written = t.output().size();

    for (std::size_t i = 0; i < keys.size(); ++i) {
        const keystroke& k = keys[i];
        const bool final_key = i + 1 == keys.size();
        const auto sent = clock_type::now();
        type(t, k);
        if (final_key) {
            wait_ended(t, pid, limit);
        } else if (i == 0) {
            if (!t.wait_for(table_drawn, limit)) fail("the deal never drew the table");
            run.table_ms = ms_since(sent);
            if (!t.wait_idle(limit)) fail("the game never waited for a key after the deal");
        } else if (!wait_handled(t, k, limit)) {
            fail("key " + std::to_string(i) + " (" + k.label + ") was never handled");
        }
        const sample next = observe();
        if (final_key) {
            std::ostringstream ending;
            ending << t.wait_exit(limit);
            run.ending = ending.str();
        }
        figures f = between(last, next);
        f.bytes = static_cast<long long>(t.output().size() - written);
        now = snapshot(t);
        const change d = compare(shown, now, w);
        f.cells = d.cells;
        f.frugal = d.frugal;
        run.keys.push_back(f);
        run.hwm_kib = std::max(run.hwm_kib, next.hwm_kib);
        if (next.cpu_ns >= 0) last = next;
        shown = now;
        written = t.output().size();
        const std::string wrong = table_mismatch(t, k);
        if (!wrong.empty())
            fail("after key " + std::to_string(i) + " (" + k.label + ", " + k.note +
                 ") the game does not show the scripted table:\n" + wrong);
    }
    if (!t.errors().empty() && !counted) fail("the game wrote to standard error: " + t.errors());
    run.rusage_cpu_ms = children_cpu_ms() - cpu_before;
    // The last key ends the process; what it used up to its end the kernel gives once the
    // process has been reaped.
    if (run.keys.back().cpu_us < 0 && !counted) {
        double earlier = run.startup.cpu_us;
        for (std::size_t i = 0; i + 1 < run.keys.size(); ++i) earlier += run.keys[i].cpu_us;
        run.keys.back().cpu_us = run.rusage_cpu_ms * 1e3 - earlier;
    }
    return run;
}

// ---- Instruction counts -------------------------------------------------------------

// The counts of the parts callgrind wrote, in order: up to the first key read, then from
// each key read to the next, then from the last to the end.
std::vector<long long> read_parts(const std::filesystem::path& dir)
{
    std::map<int, long long> parts;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string text = read_file(entry.path());
        const long long part = field(text, "part");
        long long total = field(text, "summary");
        if (total < 0) total = field(text, "totals");
        if (part >= 0 && total >= 0) parts[static_cast<int>(part)] = total;
    }
    std::vector<long long> ordered;
    ordered.reserve(parts.size());
    for (const auto& [part, total] : parts) ordered.push_back(total);
    return ordered;
}

// ---- The report ---------------------------------------------------------------------

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string number(double value, int decimals = 0)
{
    if (value < 0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratio(double top, double bottom, int decimals = 2)
{
    return bottom > 0 ? number(top / bottom, decimals) : "-";
}

std::string kib(long long value)
{
    return value < 0 ? "-" : std::to_string(value);
}

struct total {
    int keys = 0;
    double cpu_us = 0;
    long long bytes = 0;
    long long write_calls = 0;
    long long cells = 0;
    long long frugal = 0;
    long long instructions = 0;
    void add(const figures& f)
    {
        ++keys;
        cpu_us += std::max(f.cpu_us, 0.0);
        bytes += f.bytes;
        write_calls += std::max(f.write_calls, 0LL);
        cells += f.cells;
        frugal += f.frugal;
        instructions += std::max(f.instructions, 0LL);
    }
};

void print_header(bool counted)
{
    std::printf("%-15s %5s %9s %9s %7s %7s %9s %9s %9s", "", "keys", counted ? "" : "CPU us",
                "bytes", counted ? "" : "writes", "cells", "bytes/", "frugal", "bytes/");
    if (counted) std::printf(" %12s", "instructions");
    std::printf("\n%-15s %5s %9s %9s %7s %7s %9s %9s %9s", "", "", "", "", "", "changed", "cell",
                "bytes", "frugal");
    std::printf("\n");
}

void print_total(const std::string& name, const total& t, bool counted, bool per_key)
{
    const double n = per_key && t.keys > 0 ? t.keys : 1;
    std::printf(
        "%-15s %5d %9s %9s %7s %7s %9s %9s %9s", name.c_str(), t.keys,
        counted ? "" : number(t.cpu_us / n, per_key ? 1 : 0).c_str(),
        number(static_cast<double>(t.bytes) / n, per_key ? 1 : 0).c_str(),
        counted ? "" : number(static_cast<double>(t.write_calls) / n, per_key ? 1 : 0).c_str(),
        number(static_cast<double>(t.cells) / n, per_key ? 1 : 0).c_str(),
        ratio(static_cast<double>(t.bytes), static_cast<double>(t.cells)).c_str(),
        number(static_cast<double>(t.frugal) / n, per_key ? 1 : 0).c_str(),
        ratio(static_cast<double>(t.bytes), static_cast<double>(t.frugal)).c_str());
    if (counted) std::printf(" %12s", number(static_cast<double>(t.instructions) / n, 0).c_str());
    std::printf("\n");
}

void print_keys(const std::vector<keystroke>& keys, const std::vector<figures>& figs, bool counted)
{
    std::printf(counted ? "Every key\n" : "Every key (CPU time: the median of the runs)\n");
    std::printf("%4s  %-6s %-13s %8s %7s %6s %6s %7s %6s %7s", "#", "key", "kind",
                counted ? "" : "CPU us", "bytes", counted ? "" : "writes", "cells", "B/cell",
                "frugal", "B/frugal");
    if (counted) std::printf(" %12s", "instructions");
    std::printf("  what it does\n");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const figures& f = figs[i];
        std::printf(
            "%4zu  %-6s %-13s %8s %7lld %6s %6d %7s %6lld %7s", i + 1, keys[i].label.c_str(),
            keys[i].kind.c_str(), counted ? "" : number(f.cpu_us, 1).c_str(), f.bytes,
            f.write_calls < 0 ? (counted ? "" : "-") : std::to_string(f.write_calls).c_str(),
            f.cells, ratio(static_cast<double>(f.bytes), f.cells, 1).c_str(), f.frugal,
            ratio(static_cast<double>(f.bytes), static_cast<double>(f.frugal)).c_str());
        if (counted) std::printf(" %12s", number(static_cast<double>(f.instructions)).c_str());
        std::printf("  %s\n", keys[i].note.c_str());
    }
    std::printf("\n");
}

void report(const options& o, const std::vector<game_run>& runs, bool counted)
{
    const std::vector<keystroke>& keys = scripted_game();
    const game_run& first = runs.front();

    // Every figure but the CPU time is the same in every run; CPU time is the median.
    std::vector<figures> figs = first.keys;
    figures startup = first.startup;
    std::vector<double> greeting_ms;
    std::vector<double> table_ms;
    std::vector<double> game_cpu_ms;
    int unequal = 0;
    for (const game_run& r : runs) {
        greeting_ms.push_back(r.greeting_ms);
        table_ms.push_back(r.table_ms);
        game_cpu_ms.push_back(r.rusage_cpu_ms);
        for (std::size_t i = 0; i < figs.size(); ++i)
            if (r.keys[i].bytes != figs[i].bytes || r.keys[i].cells != figs[i].cells) ++unequal;
    }
    std::vector<double> cpu;
    cpu.reserve(runs.size());
    for (const game_run& r : runs) cpu.push_back(r.startup.cpu_us);
    startup.cpu_us = median(cpu);
    for (std::size_t i = 0; i < figs.size(); ++i) {
        cpu.clear();
        for (const game_run& r : runs) cpu.push_back(r.keys[i].cpu_us);
        figs[i].cpu_us = median(cpu);
    }

    if (!o.summary) print_keys(keys, figs, counted);

    std::string runs_text = std::to_string(runs.size()) + " runs, CPU times the medians";
    if (runs.size() == 1) runs_text = "one run";
    if (counted)
        runs_text =
            "one run under callgrind (its CPU time, writes and memory are valgrind's "
            "own and are not shown)";
    std::printf(
        "quorvel benchmark: the deal of second %lld played to its end, %zu keys, "
        "terminal %dx%d,\nTERM=xterm-256color, LC_ALL=C.UTF-8; %s\n",
        SCRIPT_TIME, keys.size(), COLS, ROWS, runs_text.c_str());
    if (unequal > 0)
        std::printf("WARNING: %d key figures of bytes or cells differ between runs\n", unequal);
    std::printf("\nBy kind of key (per key)\n");
    print_header(counted);
    static const std::array<std::string, 15> KINDS{
        "deal",  "cursor",        "turn",    "recycle", "expose", "pick", "select", "carry",
        "place", "to foundation", "refused", "escape",  "resize", "quit", "win"};
    total game;
    for (const std::string& kind : KINDS) {
        total t;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].kind == kind) t.add(figs[i]);
        if (t.keys > 0) print_total(kind, t, counted, true);
    }
    for (const figures& f : figs) game.add(f);
    print_total("every key", game, counted, true);

    std::printf("\nWhole game\n");
    print_header(counted);
    total start;
    start.add(startup);
    print_total("start-up", start, counted, false);
    print_total("keys", game, counted, false);
    total all = game;
    all.add(startup);
    all.keys = game.keys;
    print_total("altogether", all, counted, false);

    std::printf("\n");
    if (!counted) {
        std::printf("launch to greeting      %6s ms median, %s ms fastest\n",
                    number(median(greeting_ms), 2).c_str(),
                    number(*std::min_element(greeting_ms.begin(), greeting_ms.end()), 2).c_str());
        std::printf("space bar to table      %6s ms median, %s ms fastest\n",
                    number(median(table_ms), 2).c_str(),
                    number(*std::min_element(table_ms.begin(), table_ms.end()), 2).c_str());
        std::vector<double> both;
        both.reserve(runs.size());
        for (const game_run& r : runs) both.push_back(r.greeting_ms + r.table_ms);
        std::printf("launch to table         %6s ms median, %s ms fastest (the two above)\n",
                    number(median(both), 2).c_str(),
                    number(*std::min_element(both.begin(), both.end()), 2).c_str());
        std::printf("CPU time of the process %6s ms median (user+sys from the kernel at its end)\n",
                    number(median(game_cpu_ms), 1).c_str());
        std::printf("peak memory (VmHWM)     %6s KiB\n", kib(first.hwm_kib).c_str());
    }
    std::printf("the game ended with     %s\n", first.ending.c_str());
}

options parse(int argc, char** argv)
{
    options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--callgrind") {
            o.callgrind = true;
        } else if (arg == "--summary") {
            o.summary = true;
        } else if (arg == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::printf(
                "usage: quorvel_bench [--runs N] [--callgrind] [--summary]\n"
                "  --runs N     play the game N times and give the median CPU times (default 5)\n"
                "  --callgrind  play it once under valgrind's callgrind and count instructions\n"
                "  --summary    leave out the table of every key\n");
            std::exit(arg == "--help" || arg == "-h" ? 0 : 2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const options o = parse(argc, argv);
    std::vector<game_run> runs;
    if (o.callgrind) {
        if (access(VALGRIND, X_OK) != 0) fail(std::string(VALGRIND) + " is not installed");
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("quorvel-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        runs.push_back(play((dir / "callgrind.out").string()));
        const std::vector<long long> parts = read_parts(dir);
        std::filesystem::remove_all(dir);
        game_run& run = runs.back();
        if (parts.size() != run.keys.size() + 1)
            fail("callgrind wrote " + std::to_string(parts.size()) + " parts for " +
                 std::to_string(run.keys.size()) + " keys and the start-up");
        run.startup.instructions = parts[0];
        for (std::size_t i = 0; i < run.keys.size(); ++i) run.keys[i].instructions = parts[i + 1];
    } else {
        for (int i = 0; i < o.runs; ++i) runs.push_back(play(""));
    }
    report(o, runs, o.callgrind);
    return 0;
}
