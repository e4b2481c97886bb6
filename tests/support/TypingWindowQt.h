#pragma once

// Runs the typing window as a Qt window on the session's Wayland display.
int runQtTypingWindow(int argc, char** argv);
