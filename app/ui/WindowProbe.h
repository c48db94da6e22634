// Measurements and pictures of a real document window, for the benchmarks and
// the README's screenshot; inert unless the self-test environment asks:
//   QUILLET_SELFTEST_FIRST_PAINT=exit   once the first page is on screen, log
//       "first page painted after N ms" (since the process started) and quit;
//   QUILLET_SELFTEST_SCREENSHOT=<png>   show the thumbnails, wait for the
//       visible pages and thumbnails, save the window's picture and quit;
//   QUILLET_SELFTEST_SCROLL_THROUGH=1   page through the document to its end,
//       log the process's peak memory and close the window;
//   QUILLET_SELFTEST_SEARCH=<text>      once the first page is on screen,
//       search for the text, log the longest and the 99th-percentile gap
//       between the ticks of a 10 ms main-thread timer meanwhile, and quit.
#pragma once

namespace quillet {

class DocumentWindowController;

namespace WindowProbe {

inline constexpr char firstPaintVariable[] = "QUILLET_SELFTEST_FIRST_PAINT";
inline constexpr char screenshotVariable[] = "QUILLET_SELFTEST_SCREENSHOT";
inline constexpr char scrollThroughVariable[] = "QUILLET_SELFTEST_SCROLL_THROUGH";
inline constexpr char searchVariable[] = "QUILLET_SELFTEST_SEARCH";

// Attaches the probes the environment asks for (only in self-test mode).
void attachIfRequested(DocumentWindowController& window);

}  // namespace WindowProbe
}  // namespace quillet
