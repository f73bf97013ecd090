#pragma once

// The primary screen's vertical pixels per inch, taken once, at the first call early in
// start-up, and kept for the run: the stored font sizes, the designed layouts and the
// exported sizes all convert through this one figure.
int screenPpi();
