// Plays the first keys of the scripted game through the real binary and writes the
// emulator's screen as it then stands, one cell a line, for the screenshot renderer:
//   ROW COL FG BG CODEPOINTS
// with FG and BG colour numbers (-1 for the terminal's own) and the cell's characters as
// hexadecimal code points joined by '+' ("20" for an empty cell). The resizes of the
// script are left out: the screen keeps the size asked for.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "script.hpp"
#include "terminal.hpp"

namespace {

// The code points of a cell's UTF-8 text.
std::string code_points(const std::string& text)
{
    if (text.empty()) return "20";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unsigned code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%s%x", out.empty() ? "" : "+", code);
        out += hex;
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: quorvel_screen KEYS ROWS COLS\n");
        return 2;
    }
    const std::size_t count = std::strtoul(argv[1], nullptr, 10);
    const std::vector<keystroke>& keys = scripted_game();
    if (count >= keys.size()) {
        std::fprintf(stderr, "quorvel_screen: the script has %zu keys, the last ends the game\n",
                     keys.size());
        return 2;
    }
    launch how({}, std::atoi(argv[2]), std::atoi(argv[3]));
    how.fixed_time = SCRIPT_TIME;
    terminal t{how};
    const milliseconds limit{5000};
    if (!t.wait_for_text(17, 19, "Press the space bar", limit) || !t.wait_idle(limit)) {
        std::fprintf(stderr, "quorvel_screen: the greeting never came\n");
        return 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (keys[i].rows != 0) continue;
        type(t, keys[i]);
        if (!wait_handled(t, keys[i], limit)) {
            std::fprintf(stderr, "quorvel_screen: key %zu was never handled\n", i + 1);
            return 1;
        }
        const std::string wrong = table_mismatch(t, keys[i]);
        if (!wrong.empty()) {
            std::fprintf(stderr, "quorvel_screen: after key %zu the table is not the script's:\n%s",
                         i + 1, wrong.c_str());
            return 1;
        }
    }
    t.settle();
    for (int r = 0; r < t.rows(); ++r)
        for (int c = 0; c < t.cols(); ++c) {
            const screen_cell cell = t.cell(r, c);
            std::printf("%d %d %d %d %s\n", r, c, cell.fg, cell.bg, code_points(cell.text).c_str());
        }
    t.send("q");
    t.wait_exit();
    return 0;
}
