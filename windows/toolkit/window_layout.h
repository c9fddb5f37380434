#pragma once

#include <QColor>

#include <vector>

// A window as a stored layout: what the window and each of its controls are,
// with positions and sizes in twips, relative to the container.
enum class ControlKind { TextBox, CommandButton, Frame, Label };

struct ControlLayout {
    const char *name;
    ControlKind kind;
    const char *container; // empty: the window itself
    int left, top, width, height; // twips
    int tabIndex;
    const char16_t *text; // caption or initial text
    const char16_t *accessibleName;
    bool multiLine = false; // text box only: multi-line, wrapping, no scroll bars
    QColor textColour = {}; // invalid: the kind's default
};

struct WindowLayout {
    const char *name;
    const char16_t *caption;
    int clientWidth, clientHeight; // twips
    std::vector<ControlLayout> controls;
};

// 1440 twips to the inch, 96 dots per inch: 15 twips to the pixel.
constexpr int twipsToPixels(int twips) { return twips / 15; }
