// X11's primary selection: text selected in one window is what a middle click
// pastes in another, without Ctrl+C and without touching the clipboard.
// Platforms without one (offscreen, Wayland compositors lacking the protocol)
// get nothing, as their users expect.
#pragma once

#include <QString>
#include <functional>

namespace quillet::PrimarySelection {

// Where selected text is offered; views take one so that tests can stand in
// for a platform that has the selection.
using Sink = std::function<void(const QString& text)>;

// The platform's primary selection (QClipboard::Selection) where it supports
// one, otherwise a sink that drops the text.
Sink platform();

}  // namespace quillet::PrimarySelection
