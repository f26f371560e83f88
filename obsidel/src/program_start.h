// Starting other programs for plug-ins: GetObsidelEditor (editor.cpp) and
// OBExecute, whose system part lives in linux/ and windows/.
#pragma once

#include <string>

namespace obsidel {

// The editor when neither $VISUAL nor $EDITOR names one.
std::string fallbackEditor();

// What is at hand to run an editor in.
struct EditorSurroundings {
    bool ownTerminal = false;      // the host's own terminal, free for a program to take over
    bool graphical = false;        // a graphical desktop ($DISPLAY or $WAYLAND_DISPLAY)
    std::string terminalEmulator;  // a terminal program that runs a command given after "-e"; empty: none
};
EditorSurroundings currentEditorSurroundings();

// How to run `editor` here: as it is when it opens windows of its own or
// the host's terminal is free, inside the terminal emulator when it needs
// a terminal, else nothing, with `problem` saying why.
struct EditorCommand {
    std::string command;  // empty: the editor cannot run here
    bool inOwnTerminal = false;
    std::string problem;
};
EditorCommand editorCommand(const std::string& editor, const EditorSurroundings& around);

// The editor chosen by the last GetObsidelEditor: OBExecute runs it as
// that choice says, or, when there was none, shows a box that names the
// file and how to choose an editor.
EditorCommand lastEditorChoice();
void rememberEditorChoice(EditorCommand choice);

// Where OBExecute reports what a person must know after the call returned
// (an editor that ended in failure): the host's status text. Unset, such
// reports go to standard error only.
using ProgramReport = void (*)(const std::string& text);
void reportProgramsTo(ProgramReport report);
void reportProgram(const std::string& text);

}  // namespace obsidel
