// GetObsidelEditor: the user's text editor, from $VISUAL, then $EDITOR,
// then the system's fallback, in the form that can run here (a terminal
// editor inside a terminal), or none, remembered for OBExecute.
#include <obsidel/api.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "command_words.h"
#include "program_start.h"

namespace obsidel {
namespace {

std::mutex choiceLock;
EditorCommand lastChoice;
ProgramReport reporter = nullptr;

// Editors that draw in a terminal and have no window of their own.
constexpr const char* kTerminalEditors[] = {"vi",  "vim",  "nvim", "nano", "pico", "micro", "joe", "jed",
                                            "ne",  "mg",   "kak",  "hx",   "helix", "ed",  "ex",  "view",
                                            "mcedit", "le", "tilde", "emacs-nox", "vim.tiny", "vim.basic"};

std::string programName(const std::string& editor) {
    const std::vector<std::string> words = splitCommandLine(editor);
    if (words.empty()) return "";
    const std::string& first = words.front();
    const std::size_t cut = first.find_last_of("/\\");
    return cut == std::string::npos ? first : first.substr(cut + 1);
}

bool needsTerminal(const std::string& editor, bool graphical) {
    const std::string name = programName(editor);
    // Emacs opens a window of its own where there is a desktop, unless told not to.
    if (name == "emacs") return !graphical || editor.find("-nw") != std::string::npos;
    return std::any_of(std::begin(kTerminalEditors), std::end(kTerminalEditors),
                       [&](const char* known) { return name == known; });
}

}  // namespace

EditorCommand editorCommand(const std::string& editor, const EditorSurroundings& around) {
    if (!needsTerminal(editor, around.graphical)) return {editor, false, ""};
    if (around.ownTerminal) return {editor, true, ""};
    if (around.graphical && !around.terminalEmulator.empty())
        return {around.terminalEmulator + " -e " + editor, false, ""};
    const std::string why = around.graphical ? "no terminal program was found to run it in (x-terminal-emulator, "
                                               "xterm, ...)"
                                             : "there is no desktop to open a terminal on";
    return {"", false, "the editor \"" + editor + "\" runs in a terminal; the host has none of its own and " + why};
}

EditorCommand lastEditorChoice() {
    std::lock_guard<std::mutex> lock(choiceLock);
    return lastChoice;
}

void rememberEditorChoice(EditorCommand choice) {
    std::lock_guard<std::mutex> lock(choiceLock);
    lastChoice = std::move(choice);
}

void reportProgramsTo(ProgramReport report) { reporter = report; }

void reportProgram(const std::string& text) {
    if (reporter) {
        reporter(text);
        return;
    }
    std::fprintf(stderr, "obsidel: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace obsidel

extern "C" LPSTR GetObsidelEditor(LPSTR buffer) {
    if (!buffer) return buffer;
    std::string editor;
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            editor = value;
            break;
        }
    }
    if (editor.empty()) editor = obsidel::fallbackEditor();
    obsidel::EditorCommand choice = obsidel::editorCommand(editor, obsidel::currentEditorSurroundings());
    // Plug-ins hand a path buffer of MAX_PATH bytes.
    std::size_t length = std::min<std::size_t>(choice.command.size(), MAX_PATH - 1);
    std::memcpy(buffer, choice.command.data(), length);
    buffer[length] = '\0';
    choice.command.assign(buffer, length);
    obsidel::rememberEditorChoice(std::move(choice));
    return buffer;
}
