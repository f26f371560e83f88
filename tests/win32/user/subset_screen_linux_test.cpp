// The subset's own calls (Linux only): choosing the display, the headless
// screen written as PNG and read back here with libpng, the log of message
// boxes, and the count of user objects.
#include <windows.h>
#include <win32subset.h>

#include <png.h>
#include <stdlib.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "subset_backends.h"
#include "test_support.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Paints its whole client area red whenever asked.
LRESULT CALLBACK redPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, red);
    DeleteObject(red);
    EndPaint(window, &paint);
    return 0;
}

class SubsetScreen : public ::testing::Test {
protected:
    void SetUp() override {
        struct Class {
            const char* name;
            WNDPROC proc;
        };
        for (const Class& c : {Class{"SubsetScreenPlain", plainProc}, Class{"SubsetScreenRed", redPaintProc}}) {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = c.proc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = c.name;
            ASSERT_NE(RegisterClassA(&windowClass), 0);
        }
    }
    void TearDown() override {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (IsWindow(*it)) DestroyWindow(*it);
        UnregisterClassA("SubsetScreenPlain", GetModuleHandleA(nullptr));
        UnregisterClassA("SubsetScreenRed", GetModuleHandleA(nullptr));
        unsetenv("VUMIRA_SCREEN");
    }

    HWND make(const char* className, DWORD exStyle, DWORD style, int x, int y, int width, int height,
              HWND parent = nullptr) {
        HWND window = CreateWindowExA(exStyle, className, "", style, x, y, width, height, parent, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        if (window) made_.push_back(window);
        return window;
    }

    static void fill(HWND window, RECT area, COLORREF color) {
        HDC dc = GetDC(window);
        ASSERT_TRUE(dc);
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &area, brush);
        DeleteObject(brush);
        ReleaseDC(window, dc);
    }

    std::vector<HWND> made_;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    COLORREF at(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    }
};

bool readPng(const std::string& path, Image& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    return png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) != 0;
}

TEST_F(SubsetScreen, ScreenComposesWindowsInOrderWithColourKeyAndAlpha) {
    ASSERT_EQ(Win32SubsetSetDisplay("headless:64x48"), 0);
    EXPECT_STREQ(Win32SubsetDisplayName(), "headless");
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 64);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 48);
    const COLORREF key = RGB(255, 0, 230);

    // A: plain, painted red through WM_PAINT, with a blue child.
    HWND a = make("SubsetScreenRed", 0, WS_POPUP | WS_VISIBLE, 0, 0, 32, 24);
    ASSERT_TRUE(a);
    UpdateWindow(a);
    HWND child = make("SubsetScreenPlain", 0, WS_CHILD | WS_VISIBLE, 2, 2, 4, 4, a);
    ASSERT_TRUE(child);
    fill(child, {0, 0, 4, 4}, RGB(0, 0, 255));
    // B: layered, its left half the colour key, its right half green.
    HWND b = make("SubsetScreenPlain", WS_EX_LAYERED, WS_POPUP | WS_VISIBLE, 16, 12, 32, 24);
    ASSERT_TRUE(b);
    ASSERT_TRUE(SetLayeredWindowAttributes(b, key, 255, LWA_COLORKEY | LWA_ALPHA));
    fill(b, {0, 0, 16, 24}, key);
    fill(b, {16, 0, 32, 24}, RGB(0, 255, 0));
    // C: white at a constant alpha of 51, partly over B's green.
    HWND c = make("SubsetScreenPlain", WS_EX_LAYERED, WS_POPUP | WS_VISIBLE, 40, 30, 16, 10);
    ASSERT_TRUE(c);
    ASSERT_TRUE(SetLayeredWindowAttributes(c, 0, 51, LWA_ALPHA));
    fill(c, {0, 0, 16, 10}, RGB(255, 255, 255));
    // Windows that show nothing: layered without attributes, and hidden.
    HWND unset = make("SubsetScreenPlain", WS_EX_LAYERED, WS_POPUP | WS_VISIBLE, 56, 0, 8, 8);
    HWND hidden = make("SubsetScreenPlain", 0, WS_POPUP, 0, 40, 8, 8);
    ASSERT_TRUE(unset && hidden);
    fill(unset, {0, 0, 8, 8}, RGB(255, 255, 255));
    fill(hidden, {0, 0, 8, 8}, RGB(255, 255, 255));

    testsupport::TempDir folder;
    std::string path = folder.file("screen.png");
    ASSERT_EQ(Win32SubsetWriteScreenPng(path.c_str()), 0);
    Image image;
    ASSERT_TRUE(readPng(path, image));
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 48);

    struct Pixel {
        const char* what;
        int x, y;
        COLORREF expected;
    };
    const Pixel pixels[] = {
        {"A's red", 0, 0, RGB(255, 0, 0)},
        {"A's child", 3, 3, RGB(0, 0, 255)},
        {"A through B's colour key", 20, 14, RGB(255, 0, 0)},
        {"the desktop through B's colour key", 20, 30, RGB(0, 0, 0)},
        {"B's green over A", 35, 14, RGB(0, 255, 0)},
        {"C's white at alpha 51 over B's green", 42, 32, RGB(51, 255, 51)},
        {"C's white at alpha 51 over the desktop", 50, 38, RGB(51, 51, 51)},
        {"a layered window without attributes", 60, 5, RGB(0, 0, 0)},
        {"a hidden window", 2, 42, RGB(0, 0, 0)},
        {"the bare desktop", 63, 47, RGB(0, 0, 0)},
    };
    for (const Pixel& pixel : pixels) {
        SCOPED_TRACE(pixel.what);
        EXPECT_EQ(image.at(pixel.x, pixel.y), pixel.expected);
    }
}

TEST_F(SubsetScreen, ScreenSizeComesFromTheOptionOrTheVariable) {
    struct Case {
        const char* what;
        const char* variable;  // VUMIRA_SCREEN, or null for none
        const char* choice;
        int result;
        int width, height;
    };
    const Case cases[] = {
        {"the default", nullptr, "headless", 0, 1280, 800},
        {"the variable", "320x200", "headless", 0, 320, 200},
        {"the variable, chosen as the default", "320x200", nullptr, 0, 320, 200},
        {"an unreadable variable keeps the default", "wide", "headless", 0, 1280, 800},
        {"the option beats the variable", "320x200", "headless:100x50", 0, 100, 50},
        {"an unreadable option fails", nullptr, "headless:0x50", -1, 0, 0},
        {"a display that is not in this build fails", nullptr, "nonesuch", -1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.variable)
            setenv("VUMIRA_SCREEN", c.variable, 1);
        else
            unsetenv("VUMIRA_SCREEN");
        unsetenv("VUMIRA_DISPLAY");
        EXPECT_EQ(Win32SubsetSetDisplay(c.choice), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.height);
    }
}

TEST_F(SubsetScreen, DisplayIsChosenBeforeTheFirstWindow) {
    ASSERT_EQ(Win32SubsetSetDisplay("headless"), 0);
    HWND window = make("SubsetScreenPlain", 0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(window);
    EXPECT_EQ(Win32SubsetSetDisplay("headless:10x10"), -1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    DestroyWindow(window);
    EXPECT_EQ(Win32SubsetSetDisplay("headless:10x10"), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 10);
}

// What the host asks instead of reading back-end names: the kind of screen,
// and the words that explain the default's choice, from the display table.
TEST_F(SubsetScreen, EachDisplayDescribesItselfForTheHost) {
    ASSERT_EQ(Win32SubsetSetDisplay("headless"), 0);
    const char* display = getenv("DISPLAY");
    const std::string saved = display ? display : "";
    const struct {
        const char* display;  // $DISPLAY, null for unset
        const char* name;
        int screen;
        const char* inUse;
        const char* passedOver;
    } cases[] = {
#if SUBSET_HAS_X11
        {":7", "x11", WIN32SUBSET_SCREEN_PIXELS, "the X display :7", ""},
        {":7", "term", WIN32SUBSET_SCREEN_TEXT_CELLS, "using the terminal", "the X display :7 did not answer"},
        {nullptr, "term", WIN32SUBSET_SCREEN_TEXT_CELLS, "using the terminal", "no X display ($DISPLAY is unset)"},
        {nullptr, "headless", WIN32SUBSET_SCREEN_NONE, "windows in memory only (headless)",
         "no X display ($DISPLAY is unset) and no terminal"},
        // null: the display in use.
        {nullptr, nullptr, WIN32SUBSET_SCREEN_NONE, "windows in memory only (headless)",
         "no X display ($DISPLAY is unset) and no terminal"},
#else
        {":7", "term", WIN32SUBSET_SCREEN_TEXT_CELLS, "using the terminal", ""},
        {nullptr, "headless", WIN32SUBSET_SCREEN_NONE, "windows in memory only (headless)", "no terminal"},
        {nullptr, nullptr, WIN32SUBSET_SCREEN_NONE, "windows in memory only (headless)", "no terminal"},
#endif
    };
    for (const auto& row : cases) {
        if (row.display)
            setenv("DISPLAY", row.display, 1);
        else
            unsetenv("DISPLAY");
        Win32SubsetDisplayFacts facts{};
        ASSERT_EQ(Win32SubsetDescribeDisplay(row.name, &facts), 0) << (row.name ? row.name : "(in use)");
        EXPECT_STREQ(facts.name, row.name ? row.name : "headless");
        EXPECT_EQ(facts.screen, row.screen) << facts.name;
        EXPECT_STREQ(facts.inUse, row.inUse) << facts.name;
        EXPECT_STREQ(facts.passedOver, row.passedOver) << facts.name;
        EXPECT_TRUE(facts.needs && *facts.needs) << facts.name;
    }
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    Win32SubsetDisplayFacts facts{};
    EXPECT_EQ(Win32SubsetDescribeDisplay("wayland", &facts), -1);
    EXPECT_EQ(Win32SubsetDescribeDisplay("x11", &facts), SUBSET_HAS_X11 ? 0 : -1);
    EXPECT_EQ(Win32SubsetDescribeDisplay("", &facts), -1);
    // Text over the picture needs a display of text cells.
    const Win32SubsetTextBlock block{0, 0, 4, 1, RGB(255, 255, 255), RGB(0, 0, 0), "menu"};
    EXPECT_EQ(Win32SubsetSetTextOverlay(&block, 1), -1);
}

TEST_F(SubsetScreen, SnapshotToAFolderThatDoesNotExistFails) {
    testsupport::TempDir folder;
    EXPECT_EQ(Win32SubsetWriteScreenPng(folder.file("missing/screen.png").c_str()), -1);
    EXPECT_EQ(Win32SubsetWriteScreenPng(""), -1);
}

TEST_F(SubsetScreen, MessageBoxesAreAnsweredAtOnceAndLogged) {
    Win32SubsetClearMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Error creating window", "Vumira 1.0", 0x40010), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Question", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Again?", "Retry", MB_RETRYCANCEL), IDRETRY);
    ASSERT_EQ(Win32SubsetMessageBoxCount(), 3);
    EXPECT_STREQ(Win32SubsetMessageBoxCaption(0), "Vumira 1.0");
    EXPECT_STREQ(Win32SubsetMessageBoxText(0), "Error creating window");
    EXPECT_EQ(Win32SubsetMessageBoxType(0), 0x40010u);
    EXPECT_STREQ(Win32SubsetMessageBoxText(2), "Again?");
    EXPECT_EQ(Win32SubsetMessageBoxText(3), nullptr);
    EXPECT_EQ(Win32SubsetMessageBoxCaption(-1), nullptr);
    Win32SubsetClearMessageBoxes();
    EXPECT_EQ(Win32SubsetMessageBoxCount(), 0);
}

// A presenter shows the box and gives the answer; one that declines (0)
// leaves the answer to the subset. Every box is logged either way.
struct PresentedBox {
    HWND owner;
    std::string text, caption;
    UINT type;
};
std::vector<PresentedBox> presented;
int presenterAnswer = 0;
int presentBox(HWND owner, const char* text, const char* caption, UINT type) {
    presented.push_back({owner, text, caption, type});
    return presenterAnswer;
}

TEST_F(SubsetScreen, PresenterShowsBoxesAndItsAnswerIsReturned) {
    Win32SubsetClearMessageBoxes();
    presented.clear();
    Win32SubsetSetMessageBoxPresenter(presentBox);
    HWND owner = make("SubsetScreenPlain", 0, WS_POPUP, 0, 0, 10, 10);
    struct Case {
        int answer;  // the presenter's
        UINT type;
        int returned;
    };
    const Case cases[] = {{IDOK, MB_ICONINFORMATION, IDOK},
                          {IDNO, MB_YESNO, IDNO},
                          {0, MB_YESNO, IDYES},  // declined: the first button
                          {0, MB_OK, IDOK}};
    for (const Case& c : cases) {
        presenterAnswer = c.answer;
        EXPECT_EQ(MessageBoxA(owner, "Text", nullptr, c.type), c.returned) << "answer " << c.answer;
    }
    Win32SubsetSetMessageBoxPresenter(nullptr);
    EXPECT_EQ(MessageBoxA(owner, "Unseen", "After", MB_YESNO), IDYES);

    ASSERT_EQ(presented.size(), std::size(cases));
    EXPECT_EQ(presented[0].owner, owner);
    EXPECT_EQ(presented[0].text, "Text");
    EXPECT_EQ(presented[0].caption, "Error");  // a null caption reads as Windows shows it
    EXPECT_EQ(presented[1].type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(Win32SubsetMessageBoxCount(), static_cast<int>(std::size(cases)) + 1);
    EXPECT_STREQ(Win32SubsetMessageBoxText(4), "Unseen");
    DestroyWindow(owner);
    Win32SubsetClearMessageBoxes();
}

TEST_F(SubsetScreen, UserObjectCountFollowsTheWindows) {
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    HWND parent = make("SubsetScreenPlain", 0, WS_POPUP, 0, 0, 10, 10);
    HWND child = make("SubsetScreenPlain", 0, WS_CHILD, 0, 0, 5, 5, parent);
    ASSERT_TRUE(parent && child);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), before + 2);
    DestroyWindow(parent);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), before);
}

}  // namespace
