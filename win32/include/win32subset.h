/* Calls that only the Win32 subset for Linux offers: choosing the display
 * and wave-in back ends and describing them, writing the screen as PNG, keeping a window on
 * every desktop, letting the program show message boxes, and reading back
 * the message boxes shown. Linux-only callers
 * (the host's Linux files, native tests) include this; Windows has none. */
#ifndef WIN32_SUBSET_EXTENSIONS_H
#define WIN32_SUBSET_EXTENSIONS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back-end choice: "headless[:WIDTHxHEIGHT]", "x11[:DISPLAY]", "term", or
 * NULL/"" for the default (VUMIRA_DISPLAY, else x11 when $DISPLAY answers,
 * else term when standard output is a terminal, else headless). Call before
 * the first window is made. Returns 0, or -1 with a message on standard
 * error. The headless screen is 1280x800 unless its option or the
 * VUMIRA_SCREEN variable (WIDTHxHEIGHT) gives another size. */
int Win32SubsetSetDisplay(const char* choice);
/* The name of the display back end in use ("headless", "x11", "term"). */
const char* Win32SubsetDisplayName(void);

/* What a display back end of this build is, so that a program need not
 * know back ends by name: its kind of screen, what it needs, and the words
 * that explain the default's choice here and now (they read the
 * environment, $DISPLAY say). For `name` NULL, the back end in use (chosen
 * by default when nothing was chosen yet). Returns 0, or -1 when the build
 * has no back end of that name. */
#define WIN32SUBSET_SCREEN_NONE 0       /* windows exist in memory only (headless) */
#define WIN32SUBSET_SCREEN_PIXELS 1     /* windows are shown as pixels (x11) */
#define WIN32SUBSET_SCREEN_TEXT_CELLS 2 /* the screen is character cells (term) */
typedef struct Win32SubsetDisplayFacts {
    const char* name;      /* "x11", "term", "headless" */
    int screen;            /* WIN32SUBSET_SCREEN_* */
    const char* needs;     /* what it needs to open: "an X server ($DISPLAY)" */
    char inUse[256];       /* the display in use, in words: "the X display :0", "using the terminal" */
    char passedOver[512];  /* why the default passed over each back end before it: "no X
                            * display ($DISPLAY is unset) and no terminal"; "" for the first */
} Win32SubsetDisplayFacts;
int Win32SubsetDescribeDisplay(const char* name, Win32SubsetDisplayFacts* facts);

/* Wave-in device for WAVE_MAPPER: "pulse[:SOURCE]", "alsa[:PCM]",
 * "playing", "file:PATH", "raw:PATH[,RATE[,CHANNELS]]", "raw:-", "tone:HZ[+HZ...]",
 * "demo", "none", or NULL/"" for the default (VUMIRA_WAVE_IN, else the
 * first of pulse, alsa, none that answers). Takes effect at the next
 * waveInOpen. Returns 0, or -1 with a message when the text names no device. */
int Win32SubsetSetWaveIn(const char* choice);

/* Which wave-in device the next waveInOpen uses, and who chose it: writes
 * its device text ("tone:440", "pulse", "alsa") into `device` and returns
 * one of the values below. For the default it asks the devices that the
 * default tries, quietly, which of them answers now. */
#define WIN32SUBSET_CHOSEN_BY_PROGRAM 0     /* Win32SubsetSetWaveIn */
#define WIN32SUBSET_CHOSEN_BY_ENVIRONMENT 1 /* VUMIRA_WAVE_IN */
#define WIN32SUBSET_CHOSEN_BY_DEFAULT 2     /* the first default device that answers */
#define WIN32SUBSET_NOTHING_ANSWERS 3       /* the default, and no device answers: "none" */
#define WIN32SUBSET_CHOICE_INVALID 4        /* VUMIRA_WAVE_IN names no device (written as given) */
/* The choice ("playing") finds no source of its own now and records from the
 * first default device that answers, written in `device` ("none": none does). */
#define WIN32SUBSET_FALLS_BACK 5
int Win32SubsetWaveInChoice(char* device, int size);

/* What a recording device has to tell the person while it runs (a source
 * the user named is gone, or back), beyond standard error where it is
 * always printed: each such text, once, to `listener` (NULL: none), from
 * the device's own thread. A program shows it where the person looks. */
typedef void (*Win32SubsetNoticeListener)(const char* text);
void Win32SubsetSetWaveInNoticeListener(Win32SubsetNoticeListener listener);

/* Whether the device that the next waveInOpen uses records what is playing
 * (1: a sound server's monitor of an output), an input such as a microphone
 * (0), or neither (-1: a file, a test signal, no device). Asks the sound
 * server quietly where it must. */
int Win32SubsetWaveInRecordsWhatPlays(void);

/* What a wave-in device of this build is, for a device text ("alsa",
 * "tone:440"): what it needs, and the words that explain the default's
 * choice. (Whether the device in use records what is playing:
 * Win32SubsetWaveInRecordsWhatPlays.) Returns 0, or -1 when the text names
 * no device of this build. */
typedef struct Win32SubsetWaveInFacts {
    const char* name;        /* "pulse", the text before the colon */
    const char* usage;       /* the forms it takes: "pulse[:SOURCE]" */
    const char* needs;       /* what it needs to record: "a PulseAudio or PipeWire sound server" */
    const char* inUse;       /* as the default's choice, in words: "the sound server's default source" */
    const char* chosenAs;    /* what a choice of it records, in words, or NULL to name it by its
                              * text: "what is playing on the sound server's default output" */
    int recordsNothing;      /* 1 for the device that only gives silence ("none") */
    char passedOver[512];    /* the devices that the default tries before this one, each as it
                              * fails: "no sound server and no ALSA device"; "" for the first */
} Win32SubsetWaveInFacts;
int Win32SubsetDescribeWaveIn(const char* device, Win32SubsetWaveInFacts* facts);

/* The screen as the top-level windows compose it, written as PNG.
 * Returns 0, or -1 with a message on standard error. */
int Win32SubsetWriteScreenPng(const char* path);

/* For a pop-up such as a menu: while `window` (a shown top-level window)
 * holds the grab, pointer and key events anywhere on the screen come to
 * this process, not only those on its own windows; they then take the
 * usual roads (the capture window, the focus window). NULL, or a grab by
 * another window, releases it; so does the window's end. Displays whose
 * input is all the process's anyway (term, headless) need no grab.
 * Returns 0, or -1 when `window` is not a shown top-level window. */
int Win32SubsetGrabInput(HWND window);

/* Text over the term display's picture, for what pixels two to a cell
 * cannot show (menus, boxes): blocks of character cells, each filled with
 * blanks in `backColor`, its text drawn from the block's top-left cell in
 * `textColor`, a line feed starting the next row, each line cut at the
 * block's width and the text at its last row. Cells count from 0; a block
 * may reach beyond the screen, and what does is cut off. Later blocks lie
 * over earlier ones. Each call replaces the blocks shown before (a count of
 * 0 removes them) and copies the texts; the terminal shows them from its
 * next frame. Printable ASCII only: other bytes show as '?'. Returns 0, or
 * -1 when the display in use has no text cells (then nothing is kept). */
typedef struct Win32SubsetTextBlock {
    int column, row;     /* the top-left cell */
    int columns, rows;   /* the block's size in cells */
    COLORREF textColor, backColor;
    const char* text;    /* may be NULL: blanks only */
} Win32SubsetTextBlock;
int Win32SubsetSetTextOverlay(const Win32SubsetTextBlock* blocks, int count);
/* Keeps a top-level window on every desktop (TRUE) or on its own (FALSE,
 * as every window starts). The x11 display says so to the window manager
 * (_NET_WM_STATE_STICKY); the other displays have one desktop. FALSE when
 * the window does not exist. */
BOOL Win32SubsetSetSticky(HWND window, BOOL sticky);

/* Showing message boxes: the subset has no look of its own for them, so a
 * program that has one installs a presenter (NULL removes it). MessageBoxA
 * logs the box, then calls the presenter on its own thread with the same
 * arguments (caption never NULL) and returns its answer (IDOK, ...); the
 * presenter may run a message loop until the box is answered. An answer of
 * 0 means "not shown": the box is then answered with its first button at
 * once, as when no presenter is installed. */
typedef int (*Win32SubsetMessageBoxPresenter)(HWND owner, const char* text, const char* caption, UINT type);
void Win32SubsetSetMessageBoxPresenter(Win32SubsetMessageBoxPresenter presenter);

/* Message boxes shown so far in this process (each also printed to
 * standard error, whether a presenter showed it or not). */
int Win32SubsetMessageBoxCount(void);
const char* Win32SubsetMessageBoxCaption(int index);
const char* Win32SubsetMessageBoxText(int index);
UINT Win32SubsetMessageBoxType(int index);
void Win32SubsetClearMessageBoxes(void);

#ifdef __cplusplus
}
#endif

#endif
