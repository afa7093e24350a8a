// GET /: the status page. One self-contained HTML document (inline style and script, no
// external script, font or image) laid out like the operator window: progress bar, the
// spoolers with their state, the status line, the job list with the window's columns and
// cell colours (newest row first), the error line (white on red while not empty), then the
// totals since the start.
//
// The page keeps itself current: its script asks for the page again every two seconds with
// the ETag it has (the server answers 304 while nothing changed) and swaps in the new
// content, keeping the scroll position. Without script it reloads itself every ten seconds.
#pragma once

#include <string>

#include "service/status/status_snapshot.h"

namespace plexivar {

// Seconds between two refreshes of the page's script.
inline constexpr int kPageRefreshSeconds = 2;

// `etag` is the entity tag the response carries (quotes included); the page's script
// starts from it.
std::string StatusPage(const StatusSnapshot& snapshot, const ServiceHealth& health,
                       const std::string& etag);

}  // namespace plexivar
