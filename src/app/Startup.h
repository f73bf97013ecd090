#pragma once

// The program's start-up, shared by main() and the tests that start the window.
namespace Startup {

// Before the application object exists: picks the windowing platform.
void choosePlatform();

// Sets the application title and help file, and keeps modal windows from staying
// minimised, before any window is made.
void initialiseApplication();

// Creates the windows, shows the main one and runs until it closes.
int run();

} // namespace Startup
