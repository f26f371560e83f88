// The term display inside a pseudo-terminal: a child program draws one
// window of known pixels; a small model of the terminal here reads what it
// sent (cursor moves, 24-bit colours, half blocks, modes) and the picture
// and the modes are checked against what the rules give, as are the mouse
// reports sent back and the terminal left behind on every way out.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// What a terminal shows: cells of two pixels (or a character), the screens
// and the modes. Only what the term display sends is understood.
class TerminalModel {
public:
    struct Cell {
        uint32_t top = 0, bottom = 0;
        char text = 0;
    };

    TerminalModel(int columns, int rows) : columns_(columns), rows_(rows) { clear(); }

    void feed(const std::string& bytes) {
        pending_ += bytes;
        size_t i = 0;
        while (i < pending_.size()) {
            const unsigned char c = static_cast<unsigned char>(pending_[i]);
            if (c == 0x1B) {
                if (i + 1 >= pending_.size()) break;
                if (pending_[i + 1] != '[') {
                    i += 2;
                    continue;
                }
                size_t end = i + 2;
                while (end < pending_.size() && !(pending_[end] >= 0x40 && pending_[end] <= 0x7E)) ++end;
                if (end >= pending_.size()) break;
                control(pending_.substr(i + 2, end - i - 2), pending_[end]);
                i = end + 1;
            } else if (c == 0xE2) {
                if (i + 2 >= pending_.size()) break;
                if (pending_.compare(i, 3, "\xE2\x96\x80") == 0) put(Cell{foreground_, background_, 0});
                i += 3;
            } else {
                if (!alternate_) {
                    mainText += static_cast<char>(c);
                } else if (c == ' ') {
                    put(Cell{background_, background_, 0});
                } else if (c >= 0x20 && c < 0x7F) {
                    put(Cell{foreground_, background_, static_cast<char>(c)});
                }
                ++i;
            }
        }
        pending_.erase(0, i);
    }

    const Cell& at(int column, int row) const {
        return cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
    }
    std::string textOfRow(int row) const {
        std::string text;
        for (int column = 0; column < columns_; ++column) text += at(column, row).text ? at(column, row).text : ' ';
        return text;
    }
    bool mode(const std::string& name) const {
        auto found = modes_.find(name);
        return found != modes_.end() && found->second;
    }

    std::string mainText;  // what was written on the main screen

private:
    void clear() { cells_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), Cell{}); }

    void put(const Cell& cell) {
        if (row_ >= 0 && row_ < rows_ && column_ >= 0 && column_ < columns_)
            cells_[static_cast<size_t>(row_) * static_cast<size_t>(columns_) + static_cast<size_t>(column_)] = cell;
        if (column_ < columns_ - 1 || mode("?7")) ++column_;  // without wrap, the last column holds the cursor
    }

    std::vector<int> numbers(const std::string& text) {
        std::vector<int> values;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(';', start);
            if (end == std::string::npos) end = text.size();
            values.push_back(end > start ? std::atoi(text.substr(start, end - start).c_str()) : 0);
            start = end + 1;
        }
        return values;
    }

    void control(const std::string& parameters, char final) {
        if (!parameters.empty() && parameters[0] == '?' && (final == 'h' || final == 'l')) {
            for (int number : numbers(parameters.substr(1))) {
                const std::string name = "?" + std::to_string(number);
                modes_[name] = final == 'h';
                if (number == 1049) {
                    alternate_ = final == 'h';
                    if (alternate_) clear();
                }
            }
            return;
        }
        std::vector<int> values = numbers(parameters);
        switch (final) {
        case 'H':
            row_ = std::max(values[0], 1) - 1;
            column_ = (values.size() > 1 ? std::max(values[1], 1) : 1) - 1;
            break;
        case 'J':
            if (values[0] == 2) clear();
            break;
        case 'm':
            for (size_t i = 0; i < values.size(); ++i) {
                if (values[i] == 0) {
                    foreground_ = 0xFFFFFF;
                    background_ = 0;
                } else if ((values[i] == 38 || values[i] == 48) && i + 4 < values.size() && values[i + 1] == 2) {
                    uint32_t colour = static_cast<uint32_t>((values[i + 2] << 16) | (values[i + 3] << 8) | values[i + 4]);
                    (values[i] == 38 ? foreground_ : background_) = colour;
                    i += 4;
                }
            }
            break;
        default: break;
        }
    }

    int columns_, rows_;
    std::vector<Cell> cells_;
    std::string pending_;
    int row_ = 0, column_ = 0;
    uint32_t foreground_ = 0xFFFFFF, background_ = 0;
    bool alternate_ = false;
    std::map<std::string, bool> modes_{{"?7", true}, {"?25", true}};
};

constexpr int kColumns = 20, kRows = 6;

// The child program on a pseudo-terminal of kColumns x kRows.
class TermChild {
public:
    explicit TermChild(const std::string& results) : model(kColumns, kRows) {
        winsize size{};
        size.ws_col = kColumns;
        size.ws_row = kRows;
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
        tcgetattr(slave_, &before);
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            dup2(slave_, 0);
            dup2(slave_, 1);
            dup2(slave_, 2);
            close(master_);
            close(slave_);
            rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            execl(TERM_DISPLAY_CHILD, TERM_DISPLAY_CHILD, results.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TermChild() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    bool started() const { return pid_ > 0; }

    // Reads what the child sends until `done` holds or twenty seconds pass.
    bool readUntil(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            readFor(50);
        }
        return true;
    }

    void send(const std::string& bytes) {
        ssize_t ignored = write(master_, bytes.data(), bytes.size());
        (void)ignored;
    }
    void signal(int number) { kill(pid_, number); }

    // Waits for the child to end (reading all it still sends); its wait status.
    std::optional<int> end() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            readFor(50);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                readFor(100);  // what was still on its way
                return status;
            }
        }
        return std::nullopt;
    }

    termios modesNow() const {
        termios now{};
        tcgetattr(slave_, &now);
        return now;
    }

    TerminalModel model;
    std::string sent;  // every byte the child sent
    termios before{};

private:
    void readFor(int milliseconds) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, milliseconds) <= 0) return;
        char buffer[4096];
        ssize_t got = read(master_, buffer, sizeof buffer);
        if (got > 0) {
            model.feed(std::string(buffer, static_cast<size_t>(got)));
            sent.append(buffer, static_cast<size_t>(got));
        }
    }

    int master_ = -1, slave_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
};

uint32_t rgb(int r, int g, int b) { return static_cast<uint32_t>((r << 16) | (g << 8) | b); }

// The window's picture in cells: it stands at pixel (2, 0), three pixels
// wide and four high, so it covers columns 2 to 4 of cell rows 0 and 1.
struct ExpectedCell {
    int column, row;
    uint32_t top, bottom;
};
const ExpectedCell kPicture[] = {
    {2, 0, rgb(0x10, 0x20, 0x30), rgb(0x40, 0x50, 0x60)}, {3, 0, rgb(0x10, 0x20, 0x30), rgb(0x40, 0x50, 0x60)},
    {4, 0, rgb(0x10, 0x20, 0x30), rgb(0x40, 0x50, 0x60)}, {2, 1, rgb(0xF0, 0x80, 0x00), rgb(0xF0, 0x80, 0x00)},
    {3, 1, rgb(0x00, 0xFF, 0x00), rgb(0x00, 0xFF, 0x00)}, {4, 1, rgb(0x00, 0xFF, 0x00), rgb(0x00, 0xFF, 0x00)},
};

bool showsPicture(const TerminalModel& model) {
    for (const ExpectedCell& cell : kPicture) {
        const TerminalModel::Cell& shown = model.at(cell.column, cell.row);
        if (shown.text || shown.top != cell.top || shown.bottom != cell.bottom) return false;
    }
    return true;
}

std::string fileText(const std::string& path) { return testsupport::readFile(path); }

bool restored(const termios& before, const termios& now) {
    return before.c_lflag == now.c_lflag && before.c_iflag == now.c_iflag && before.c_oflag == now.c_oflag &&
           before.c_cc[VMIN] == now.c_cc[VMIN] && before.c_cc[VSUSP] == now.c_cc[VSUSP];
}

TEST(TermDisplay, DrawsTheScreenInHalfBlocksOnTheAlternateScreenInRawMode) {
    testsupport::TempDir folder;
    const std::string results = folder.file("results.txt");
    TermChild child(results);
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.readUntil([&] { return showsPicture(child.model); }))
        << "the picture did not arrive; results: " << fileText(results);

    // The screen is the terminal: one pixel a column, two a row.
    EXPECT_NE(fileText(results).find("screen 20 12\n"), std::string::npos) << fileText(results);
    // Everything around the window is the black desktop, the bottom row too.
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            if (row < 2 && column >= 2 && column <= 4) continue;
            const TerminalModel::Cell& cell = child.model.at(column, row);
            EXPECT_TRUE(cell.top == 0 && cell.bottom == 0 && !cell.text) << "cell " << column << ", " << row;
        }
    // What the child wrote on standard error before its first frame is not
    // drawn anywhere (the bottom row included, above), nor written while drawing.
    EXPECT_EQ(child.sent.find("child: held"), std::string::npos);
    EXPECT_EQ(child.model.mainText.find("child: held"), std::string::npos);

    EXPECT_TRUE(child.model.mode("?1049"));
    EXPECT_FALSE(child.model.mode("?25"));
    EXPECT_TRUE(child.model.mode("?1006"));
    EXPECT_TRUE(child.model.mode("?1000"));
    const termios during = child.modesNow();
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_NE(during.c_lflag & ISIG, 0u) << "Ctrl+C must stay an interrupt";

    child.send("q");
    std::optional<int> status = child.end();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

TEST(TermDisplay, MouseReportsReachTheWindowDrawnUnderThem) {
    testsupport::TempDir folder;
    const std::string results = folder.file("results.txt");
    TermChild child(results);
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.readUntil([&] { return showsPicture(child.model); }));
    // Column 4, row 2 (counted from 1) is pixel (3, 2): client (1, 2) of the window at (2, 0).
    child.send("\x1b[<2;4;2M\x1b[<2;4;2m");
    // A wheel notch away from the user, in two reads.
    child.send("\x1b[<64;4");
    child.send(";2M");
    EXPECT_TRUE(child.readUntil([&] { return fileText(results).find("wheel 120\n") != std::string::npos; }))
        << fileText(results);
    EXPECT_NE(fileText(results).find("rbuttonup 1 2\n"), std::string::npos) << fileText(results);
    // A click beside the window reaches nothing of it.
    child.send("\x1b[<2;10;5M\x1b[<2;10;5m");
    child.send("q");
    ASSERT_TRUE(child.end().has_value());
    const std::string text = fileText(results);
    EXPECT_EQ(text.find("rbuttonup"), text.rfind("rbuttonup")) << text;
}

TEST(TermDisplay, AFrameSendsOnlyTheCellsThatChanged) {
    testsupport::TempDir folder;
    const std::string results = folder.file("results.txt");
    TermChild child(results);
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.readUntil([&] { return showsPicture(child.model); }));
    const size_t before = child.sent.size();
    child.send("r");  // the window's top-left pixel turns white
    ASSERT_TRUE(child.readUntil([&] { return child.model.at(2, 0).top == rgb(0xFF, 0xFF, 0xFF); }));
    const std::string frame = child.sent.substr(before);
    // One half block, at row 1, column 3 (counted from 1), and no clearing.
    size_t blocks = 0;
    for (size_t at = frame.find("\xE2\x96\x80"); at != std::string::npos; at = frame.find("\xE2\x96\x80", at + 1)) ++blocks;
    EXPECT_EQ(blocks, 1u);
    EXPECT_NE(frame.find("\x1b[1;3H"), std::string::npos);
    EXPECT_EQ(frame.find("\x1b[2J"), std::string::npos);
    EXPECT_EQ(child.model.at(2, 0).bottom, rgb(0x40, 0x50, 0x60));
    child.send("q");
    ASSERT_TRUE(child.end().has_value());
}

// Every way out gives the terminal back: modes, main screen, cursor, wrap
// and mouse reporting as they were, and what standard error said.
TEST(TermDisplay, TheTerminalIsGivenBackOnEveryWayOut) {
    struct Case {
        const char* name;
        std::function<void(TermChild&)> end;
        bool exits;             // a normal exit (else death by a signal)
        bool errorTextShown;    // standard error written out afterwards
    };
    const Case cases[] = {
        {"q", [](TermChild& child) { child.send("q"); }, true, true},
        {"Ctrl+C through the program's interrupt handling", [](TermChild& child) { child.send("\x03"); }, true, true},
        {"a termination request through the program's interrupt handling",
         [](TermChild& child) { child.signal(SIGTERM); }, true, true},
        {"a signal nobody handles", [](TermChild& child) { child.signal(SIGQUIT); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir folder;
        const std::string results = folder.file("results.txt");
        TermChild child(results);
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(child.readUntil([&] { return showsPicture(child.model); }));
        c.end(child);
        std::optional<int> status = child.end();
        ASSERT_TRUE(status.has_value()) << "the child did not end";
        if (c.exits) {
            EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
            EXPECT_NE(fileText(results).find("quit 0\n"), std::string::npos) << fileText(results);
        } else {
            EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGQUIT) << *status;
        }
        EXPECT_FALSE(child.model.mode("?1049"));
        EXPECT_TRUE(child.model.mode("?25"));
        EXPECT_TRUE(child.model.mode("?7"));
        EXPECT_FALSE(child.model.mode("?1000"));
        EXPECT_FALSE(child.model.mode("?1002"));
        EXPECT_FALSE(child.model.mode("?1006"));
        EXPECT_TRUE(restored(child.before, child.modesNow()));
        EXPECT_EQ(child.model.mainText.find("child: held while drawing") != std::string::npos, c.errorTextShown)
            << child.model.mainText;
    }
}

}  // namespace
