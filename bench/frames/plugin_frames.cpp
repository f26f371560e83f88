// Loads the plug-in the way the host does and measures its frames:
//
//   plugin_frames paint DISPLAY FRAMES MODULE
//       times FRAMES paints of the plug-in window (the whole WM_PAINT, its
//       present to the display included) and prints the median and the
//       99th percentile in milliseconds;
//   plugin_frames latency DISPLAY STEPS MODULE
//       records from a FIFO of its own, written in real time with silence
//       and a full-scale 1 kHz tone taking turns, and prints the median and
//       the largest time from each rise of the tone to the end of the first
//       paint in which the bars grew, in milliseconds;
//   plugin_frames rate DISPLAY SECONDS MODULE WAVE-IN
//       records from WAVE-IN (a FIFO that something else writes, the sound
//       server) and prints how many paints of the plug-in window a second
//       the message loop dispatched over SECONDS, after 2 s of start-up.
//
// The window's size, motion blur, frame rate and the rest come from the rc
// file beside MODULE; the sound for `paint` is the built-in demo signal.
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <obsidel/api.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "back_end_choice.h"
#include "host_choices.h"
#include "host_paths.h"
#include "host_window.h"
#include "menu_tree.h"
#include "platform.h"
#include "plugin_loader.h"
#include "style.h"

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> values, unsigned percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * percent / 100)];
}

// Writes 44.1 kHz stereo to `fifo` in real time, 10 ms a block: 1 s of
// silence, then 300 ms of tone and 500 to 660 ms of silence taking turns;
// notes when each tone begins.
class StepWriter {
public:
    StepWriter(const std::string& fifo, int steps) : steps_(steps) {
        descriptor_ = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    // Once the plug-in records: sound written before would wait in the
    // FIFO and be read that much later, as the recording keeps real time.
    void start() { thread_ = std::thread([this] { run(); }); }
    ~StepWriter() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (descriptor_ >= 0) close(descriptor_);
    }
    bool ok() const { return descriptor_ >= 0; }
    std::vector<Clock::time_point> rises() {
        std::lock_guard<std::mutex> held(lock_);
        return rises_;
    }

private:
    static constexpr int kToneBlocks = 30, kSilentBlocks = 50, kLeadBlocks = 100;
    // Up to this many blocks more of silence, drawn anew before each tone:
    // the tones then begin at every phase of the device's and the frames'
    // rhythms (which a fixed cycle would meet at the same few phases each
    // time, and so at a latency that says more of the cycle than of them).
    static constexpr int kMostExtraSilentBlocks = 16;

    void run() {
        std::vector<int16_t> block(2 * 441);
        auto due = Clock::now();
        long long frame = 0;
        std::minstd_rand draw(20261211);  // the same phases every run
        int tonesBegun = 0;
        int blocksLeft = kLeadBlocks;  // of the silence or the tone now written
        bool loud = false;
        while (!stop_) {
            if (blocksLeft == 0) {
                loud = !loud && tonesBegun < steps_;
                if (loud) {
                    ++tonesBegun;
                    blocksLeft = kToneBlocks;
                } else {
                    blocksLeft = kSilentBlocks + int(draw() % (kMostExtraSilentBlocks + 1));
                }
            }
            for (int i = 0; i < 441; ++i, ++frame) {
                const double phase = 2 * 3.141592653589793 * 1000.0 * double(frame) / 44100.0;
                block[2 * i] = block[2 * i + 1] = loud ? static_cast<int16_t>(32767 * std::sin(phase)) : int16_t{0};
            }
            if (loud && blocksLeft == kToneBlocks) {
                std::lock_guard<std::mutex> held(lock_);
                rises_.push_back(Clock::now());
            }
            if (write(descriptor_, block.data(), block.size() * sizeof(int16_t)) < 0) {
                // A reader that fell behind loses the block, as from a player.
            }
            --blocksLeft;
            due += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(due);
        }
    }

    int steps_;
    int descriptor_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex lock_;
    std::vector<Clock::time_point> rises_;
};

// Pixels of the window that differ from `background`.
int differingPixels(HWND window, const std::vector<COLORREF>& background, std::vector<COLORREF>* capture) {
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int count = 0;
    size_t i = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x, ++i) {
            const COLORREF pixel = GetPixel(dc, x, y);
            if (capture) capture->push_back(pixel);
            else if (i < background.size() && pixel != background[i]) ++count;
        }
    ReleaseDC(window, dc);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const bool rate = argc == 6 && std::string(argv[1]) == "rate";
    if (argc != 5 && !rate) {
        std::fprintf(stderr, "usage: plugin_frames paint|latency DISPLAY COUNT MODULE\n"
                             "       plugin_frames rate DISPLAY SECONDS MODULE WAVE-IN\n");
        return 2;
    }
    const std::string mode = argv[1], display = argv[2], module = argv[4];
    const int count = std::max(1, std::atoi(argv[3]));
    const bool latency = mode == "latency";
    const std::string fifo = module + ".fifo";
    std::unique_ptr<StepWriter> writer;
    if (latency) {
        unlink(fifo.c_str());
        if (mkfifo(fifo.c_str(), 0600) != 0) return 1;
        writer = std::make_unique<StepWriter>(fifo, count);
        if (!writer->ok()) return 1;
    }
    // The host's folder beside the module, away from the user's.
    obsidel::setHomeFolder(module.substr(0, module.find_last_of('/') + 1) + "home");
    if (!obsidel::makeFolder(obsidel::homeFolder())) return 1;
    obsidel::HostChoices choices;
    choices.display = {display, obsidel::ChoiceOrigin::CommandLine, "--display"};
    choices.waveIn = {rate ? argv[5] : latency ? "raw:" + fifo : "demo", obsidel::ChoiceOrigin::CommandLine, "--wave-in"};
    std::string playingHint;
    if (obsidel::selectBackEnds(choices, playingHint) != 0) return 1;
    if (!obsidel::loadStartupStyle("")) return 1;
    if (!obsidel::createHostWindow(GetModuleHandleA(nullptr))) return 1;
    if (!obsidel::loadPlugin(module, nullptr)) return 1;
    const std::vector<HWND> registered = obsidel::windowsRegisteredFor(OBM_BROADCAST);
    if (registered.empty()) return 1;
    const HWND plugin = registered.front();
    if (writer) writer->start();

    if (rate) {
        const auto counting = Clock::now() + std::chrono::seconds(2);
        const auto end = counting + std::chrono::seconds(count);
        long paintsCounted = 0;
        // A tick that ends the count even when nothing paints.
        const UINT_PTR tick = SetTimer(nullptr, 0, 250, nullptr);
        MSG message{};
        while (Clock::now() < end && GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_PAINT && message.hwnd == plugin && Clock::now() >= counting) ++paintsCounted;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        KillTimer(nullptr, tick);
        obsidel::unloadPlugins();
        obsidel::clearMenus();
        obsidel::destroyHostWindow();
        std::printf("%.1f\n", double(paintsCounted) / count);
        return 0;
    }

    std::vector<double> paints, delays;
    std::vector<COLORREF> background;
    int lastBars = 0;
    size_t risesMatched = 0;
    const auto giveUp = Clock::now() + std::chrono::seconds(latency ? 5 + count : 60);
    MSG message{};
    while (Clock::now() < giveUp && GetMessageA(&message, nullptr, 0, 0) > 0) {
        const bool pluginPaint = message.message == WM_PAINT && message.hwnd == plugin;
        const auto start = Clock::now();
        TranslateMessage(&message);
        DispatchMessageA(&message);
        const auto end = Clock::now();
        if (!pluginPaint) continue;
        if (!latency) {
            paints.push_back(milliseconds(end - start));
            if (paints.size() >= static_cast<size_t>(count)) break;
            continue;
        }
        // The first frame, in the lead-in silence, is the picture without bars.
        if (background.empty()) {
            differingPixels(plugin, background, &background);
            continue;
        }
        const int bars = differingPixels(plugin, background, nullptr);
        const std::vector<Clock::time_point> rises = writer->rises();
        if (risesMatched < rises.size() && rises[risesMatched] < start && bars > lastBars) {
            delays.push_back(milliseconds(end - rises[risesMatched]));
            std::fprintf(stderr, "step %zu: %.1f ms\n", risesMatched + 1, delays.back());
            ++risesMatched;
        }
        // A rise whose tone ended without a frame that grew is left out.
        while (risesMatched + 1 < rises.size() && end - rises[risesMatched] > std::chrono::milliseconds(300)) {
            ++risesMatched;
        }
        lastBars = bars;
        if (static_cast<int>(rises.size()) >= count && risesMatched >= rises.size()) break;
    }
    obsidel::unloadPlugins();
    obsidel::clearMenus();
    obsidel::destroyHostWindow();
    writer.reset();
    if (latency) unlink(fifo.c_str());

    const std::vector<double>& figures = latency ? delays : paints;
    if (figures.empty()) {
        std::printf("- | - | 0\n");
        return 1;
    }
    if (latency)
        std::printf("%.1f | %.1f | %zu\n", percentile(figures, 50), percentile(figures, 100), figures.size());
    else
        std::printf("%.3f | %.3f | %zu\n", percentile(figures, 50), percentile(figures, 99), figures.size());
    return 0;
}
